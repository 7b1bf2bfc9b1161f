#include "tests/support/dbase_bytes.h"

#include <fstream>
#include <iterator>

namespace nox::test {
namespace {

void PutLittleEndian(std::string& out, std::size_t at, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i)
    out[at + i] = static_cast<char>(value >> (8 * i));
}

}  // namespace

std::string DbaseFileBytes::bytes() const {
  std::size_t headerLength = 32 + 32 * fields.size() + 1;
  std::size_t recordLength = 1;
  for (const auto& field : fields)
    recordLength += static_cast<std::size_t>(field.width);
  std::string out(headerLength, '\0');
  out[0] = static_cast<char>(version);
  out[1] = 124;  // 2024-05-06
  out[2] = 5;
  out[3] = 6;
  auto count = headerCount < 0 ? records.size() : static_cast<std::size_t>(headerCount);
  PutLittleEndian(out, 4, static_cast<std::uint32_t>(count), 4);
  PutLittleEndian(out, 8, static_cast<std::uint32_t>(headerLength), 2);
  PutLittleEndian(out, 10, static_cast<std::uint32_t>(recordLength), 2);
  out[29] = static_cast<char>(languageDriver);
  for (std::size_t i = 0; i < fields.size(); ++i) {
    std::size_t at = 32 + 32 * i;
    out.replace(at, fields[i].name.size(), fields[i].name);
    out[at + 11] = fields[i].code;
    out[at + 16] = static_cast<char>(fields[i].width);
    out[at + 17] = static_cast<char>(fields[i].decimals);
  }
  out[headerLength - 1] = 0x0D;
  for (const auto& record : records)
    out += record;
  if (endOfFileMarker) out += '\x1A';
  return out;
}

void DbaseFileBytes::write(const std::filesystem::path& path) const {
  WriteFileBytes(path, bytes());
}

std::string ReadFileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

}  // namespace nox::test
