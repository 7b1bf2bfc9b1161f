#include "tables/paradox_index.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "tables/dbase_io.h"
#include "tables/storage.h"

namespace nox::tables::paradox {
namespace {

constexpr std::size_t kIndexHeaderSize = 0x800;
constexpr std::uint32_t kMaxStatistic = 32767;  // the count is a signed short

}  // namespace

std::vector<unsigned char> BuildPrimaryIndex(const TableHeader& table, std::string_view tableName,
                                             const std::vector<IndexEntry>& blocks) {
  using dbase_io::PutU16;
  using dbase_io::PutU32;
  const std::size_t keySize = table.keySize();
  const std::size_t recordSize = keySize + 6;
  const std::size_t blockSize = table.blockSize();
  const std::size_t perBlock = (blockSize - kBlockHeaderSize) / recordSize;

  // The blocks of every level in one chain from the root down, numbered in chain order: the root
  // is block 1 and the header's record count is what a walk along the chain finds, as in a table.
  std::vector<std::size_t> levelSizes;  // blocks per level, lowest first
  for (std::size_t entries = blocks.size(); entries > 0;) {
    const std::size_t size = (entries + perBlock - 1) / perBlock;
    levelSizes.push_back(size);
    if (size == 1) break;
    entries = size;
  }
  std::size_t blockCount = 0;
  for (std::size_t size : levelSizes)
    blockCount += size;
  if (blockCount > 0xFFFF) throw TableError("Primary index is too large");
  const int levels = static_cast<int>(levelSizes.size());

  std::vector<unsigned char> out(kIndexHeaderSize + blockCount * blockSize, 0);
  std::uint32_t totalRecords = 0;
  std::size_t firstOfLevel = blockCount + 1;  // the lowest level takes the last numbers
  std::vector<IndexEntry> level = blocks;
  for (std::size_t size : levelSizes) {
    firstOfLevel -= size;
    std::vector<IndexEntry> upper;
    for (std::size_t b = 0; b < size; ++b) {
      const auto number = static_cast<std::uint16_t>(firstOfLevel + b);
      const std::size_t first = b * perBlock;
      const std::size_t count = std::min(perBlock, level.size() - first);
      unsigned char* block = out.data() + kIndexHeaderSize + (number - 1u) * blockSize;
      const auto next = static_cast<std::uint16_t>(number < blockCount ? number + 1 : 0);
      WriteBlockHeader(block, next, static_cast<std::uint16_t>(number - 1), count, recordSize);
      std::uint32_t sum = 0;
      for (std::size_t i = 0; i < count; ++i) {
        const IndexEntry& entry = level[first + i];
        unsigned char* rec = block + kBlockHeaderSize + i * recordSize;
        std::memcpy(rec, entry.firstKey.data(), std::min(keySize, entry.firstKey.size()));
        PutShortField(rec + keySize, static_cast<std::int16_t>(entry.block));
        PutShortField(rec + keySize + 2,
                      static_cast<std::int16_t>(std::min(entry.count, kMaxStatistic)));
        PutShortField(rec + keySize + 4, 0);
        sum += entry.count;
      }
      upper.push_back({level[first].firstKey, number, sum});
    }
    totalRecords += static_cast<std::uint32_t>(level.size());
    level = std::move(upper);
  }
  const auto root = static_cast<std::uint16_t>(blockCount > 0 ? 1 : 0);

  unsigned char* p = out.data();
  PutU16(p + 0x00, static_cast<std::uint16_t>(recordSize));
  PutU16(p + 0x02, kIndexHeaderSize);
  p[0x04] = kFileIndex;
  p[0x05] = table.maxTableSize;
  PutU32(p + 0x06, totalRecords);
  PutU16(p + 0x0A, static_cast<std::uint16_t>(blockCount));
  PutU16(p + 0x0C, static_cast<std::uint16_t>(blockCount));
  PutU16(p + 0x0E, root);
  PutU16(p + 0x10, static_cast<std::uint16_t>(blockCount));
  PutU16(p + 0x1E, root);
  p[0x20] = static_cast<unsigned char>(levels);
  PutU16(p + 0x21, table.keyFields);
  p[0x29] = table.sortOrder;
  p[0x39] = table.fileVersion;
  PutU16(p + 0x3A, static_cast<std::uint16_t>(blockCount));
  p[0x3E] = 0x1F;
  p[0x3F] = 0x0F;
  std::size_t pos = 0x58;
  for (std::size_t i = 0; i < table.keyFields; ++i) {
    p[pos++] = table.fields[i].code;
    p[pos++] = table.fields[i].sizeByte;
  }
  pos += 4;
  std::memcpy(p + pos, tableName.data(), std::min<std::size_t>(tableName.size(), 78));
  return out;
}

void WritePrimaryIndex(const std::filesystem::path& path, const TableHeader& table,
                       std::string_view tableName, const std::vector<IndexEntry>& blocks) {
  const std::vector<unsigned char> data = BuildPrimaryIndex(table, tableName, blocks);
  std::filesystem::path temporary = path;
  temporary += ".tmp";
  const std::string name = path.filename().string();
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw TableError("Index '" + name + "' cannot be written: " + std::strerror(errno));
  try {
    dbase_io::WriteAt(fd, data.data(), data.size(), 0, name);
    dbase_io::Sync(fd, name);
  } catch (...) {
    ::close(fd);
    std::filesystem::remove(temporary);
    throw;
  }
  ::close(fd);
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) throw TableError("Index '" + name + "' cannot be written: " + error.message());
}

}  // namespace nox::tables::paradox
