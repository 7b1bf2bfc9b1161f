#pragma once
// Table paths written on Windows: descriptions name CUSTOMER.DB where the file here is
// customer.db, and hold Windows-1257 bytes where file names here are UTF-8.

#include <filesystem>

namespace nox::tables {

// The path as written when it exists. Otherwise the existing path whose every part equals the
// written part without regard to letter case (ASCII and the Windows-1257 letters), the written
// bytes being taken as they are or as Windows-1257 text in its UTF-8 spelling; the path as written
// when there is none.
std::filesystem::path ExistingSpelling(const std::filesystem::path& path);

}  // namespace nox::tables
