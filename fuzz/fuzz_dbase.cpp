// Reads every record of an arbitrary .dbf (the input up to a 0xFF 0xFE 0xFD 0xFC marker) with an
// arbitrary .dbt (what follows the marker). Any outcome but a clean read or a TableError is a bug.

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "tables/storage.h"

namespace {

void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::filesystem::path dir = [] {
    auto path =
        std::filesystem::temp_directory_path() / ("nox-fuzz-dbase-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
    return path;
  }();
  std::string_view input(reinterpret_cast<const char*>(data), size);
  std::size_t marker = input.find("\xFF\xFE\xFD\xFC");
  WriteFile(dir / "t.dbf", input.substr(0, marker));
  if (marker != std::string_view::npos) {
    WriteFile(dir / "t.dbt", input.substr(marker + 4));
  } else {
    std::filesystem::remove(dir / "t.dbt");
  }
  try {
    auto storage = nox::tables::OpenDbaseStorage(dir / "t.dbf", nox::tables::OpenMode::Shared);
    nox::tables::Record record;
    for (std::size_t i = 0; i < storage->recordCount() && i < 10000; ++i) {
      try {
        storage->readRecord(i, record);
      } catch (const nox::tables::TableError&) {
        // A bad value in one record; the next may be fine.
      }
    }
  } catch (const nox::tables::TableError&) {
  }
  return 0;
}
