#pragma once
// noxconv --info and --dump: a table's structure and its records, for inspecting tables.

#include <iosfwd>
#include <string>

namespace nox::cli {

// Type, fields (name, type name, size), key fields and record count of the table at a path (its
// type from the extension). Gives the exit status; errors go to `err`.
int RunTableInfo(const std::string& path, std::ostream& out, std::ostream& err);
// The records in index order as CSV: a header of field names, then one line per record; dates
// yyyy-mm-dd, time stamps yyyy-mm-dd hh:mm:ss, "." as decimal separator, booleans T/F, texts as
// UTF-8 from Windows-1257, or with `raw` as the bytes stored (so the dump holds every byte).
int RunTableDump(const std::string& path, bool raw, std::ostream& out, std::ostream& err);

}  // namespace nox::cli
