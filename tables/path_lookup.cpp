#include "tables/path_lookup.h"

#include <optional>
#include <string>
#include <system_error>

#include "host/code_pages.h"
#include "tables/value_convert.h"

namespace nox::tables {
namespace {

// A file name as Windows-1257 bytes: a UTF-8 name that code page can write is written in it; any
// other name stays as it is.
std::string Windows1257Form(const std::string& name) {
  return host::EncodeUtf8(host::CodePage::Windows1257, name).value_or(name);
}

// The entry of the directory that is the written name; nothing when there is none.
std::optional<std::filesystem::path> FindEntry(const std::filesystem::path& directory,
                                               const std::string& written) {
  std::error_code error;
  const std::filesystem::path direct = directory / written;
  if (std::filesystem::exists(direct, error)) return direct;
  const std::filesystem::path utf8 =
      directory / host::DecodeToUtf8(host::CodePage::Windows1257, written);
  if (std::filesystem::exists(utf8, error)) return utf8;
  const std::filesystem::path searched = directory.empty() ? "." : directory;
  const std::string wanted = Windows1257Form(written);
  for (std::filesystem::directory_iterator it(searched, error), end; !error && it != end;
       it.increment(error)) {
    const std::filesystem::path name = it->path().filename();
    if (EqualNoCase(Windows1257Form(name.string()), wanted)) return directory / name;
  }
  return std::nullopt;
}

}  // namespace

std::filesystem::path ExistingSpelling(const std::filesystem::path& path) {
  std::error_code error;
  if (path.empty() || std::filesystem::exists(path, error)) return path;
  std::filesystem::path found = path.root_path();
  for (const std::filesystem::path& part : path.relative_path()) {
    const std::string written = part.string();
    if (written == "." || written == ".." || written.empty()) {
      found /= part;
      continue;
    }
    const std::optional<std::filesystem::path> entry = FindEntry(found, written);
    if (!entry) return path;
    found = *entry;
  }
  return found;
}

}  // namespace nox::tables
