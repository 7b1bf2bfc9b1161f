#pragma once
// Hand-made dBase files for tests: a header with the given fields and records as raw bytes, so
// tests can hold kinds of files (other versions, deleted records, damaged headers) that the
// storage itself never writes.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace nox::test {

struct DbaseFieldBytes {
  std::string name;
  char code;
  int width;
  int decimals = 0;
};

struct DbaseFileBytes {
  unsigned char version = 0x03;
  unsigned char languageDriver = 0x57;
  std::vector<DbaseFieldBytes> fields;
  std::vector<std::string> records;  // each with its deletion flag, exactly one record long
  long long headerCount = -1;        // the count the header claims; -1 for records.size()
  bool endOfFileMarker = true;

  std::string bytes() const;
  void write(const std::filesystem::path& path) const;
};

std::string ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes);

}  // namespace nox::test
