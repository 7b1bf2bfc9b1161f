#pragma once
// The gallery's data: the bundled example, copied into a working directory and converted there, so
// that the gallery shows the tables a conversion leaves (keyed clients, orders with the Latvian
// letters in Windows-1257) and whatever the user does in it never touches the shipped files.

#include <filesystem>
#include <optional>
#include <vector>

namespace nox::gallery {

// The files of the example the gallery copies.
const std::vector<std::filesystem::path>& ExampleFiles();

// The first directory holding the example: the current directory, the program's own directory,
// or the installed data folder (<program dir>/../share/nox/examples). Nothing when none does.
std::optional<std::filesystem::path> FindExampleDirectory(const std::filesystem::path& programFile);

// Copies the example into `work` and, with `work` as the current directory (the descriptions name
// their tables without one), runs customers.cnv and orders.cnv there. Raises std::runtime_error
// naming the file or the description that failed; a failed run also showed its message.
void PrepareWorkingCopy(const std::filesystem::path& example, const std::filesystem::path& work);

}  // namespace nox::gallery
