// Reads every record of an arbitrary Paradox table: the input up to a 0xFF 0xFE 0xFD 0xFC marker
// is the .db, what follows is the .mb memo file (a second marker starts the .px, which the reader
// must ignore). Any outcome but a clean read or a TableError is a bug.

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "tables/storage.h"

namespace {

constexpr std::string_view kMarker("\xFF\xFE\xFD\xFC", 4);

void WriteFile(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The next part of the input, up to the marker or the end; empty parts are absent files.
std::string_view NextPart(std::string_view& rest, bool& present) {
  present = !rest.empty();
  const std::size_t marker = rest.find(kMarker);
  const std::string_view part = rest.substr(0, marker);
  rest = marker == std::string_view::npos ? std::string_view() : rest.substr(marker + 4);
  return part;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::filesystem::path dir = [] {
    auto path =
        std::filesystem::temp_directory_path() / ("nox-fuzz-paradox-" + std::to_string(::getpid()));
    std::filesystem::create_directories(path);
    return path;
  }();
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  bool present = false;
  WriteFile(dir / "t.db", NextPart(rest, present));
  for (const char* companion : {"t.mb", "t.px"}) {
    const std::string_view part = NextPart(rest, present);
    if (present) {
      WriteFile(dir / companion, part);
    } else {
      std::filesystem::remove(dir / companion);
    }
  }
  try {
    auto storage = nox::tables::OpenParadoxStorage(dir / "t.db", nox::tables::OpenMode::Shared);
    nox::tables::Record record;
    for (std::size_t i = 0; i < storage->recordCount() && i < 10000; ++i) {
      try {
        storage->readRecord(i, record);
      } catch (const nox::tables::TableError&) {
        // A damaged memo in one record; the next may be fine.
      }
    }
  } catch (const nox::tables::TableError&) {
  }
  return 0;
}
