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

  std::vector<unsigned char> out(kIndexHeaderSize, 0);
  std::uint32_t totalRecords = 0;
  std::uint16_t blockCount = 0;
  int levels = 0;
  std::vector<IndexEntry> level = blocks;
  while (!level.empty()) {
    ++levels;
    std::vector<IndexEntry> upper;
    const std::size_t levelBlocks = (level.size() + perBlock - 1) / perBlock;
    if (blockCount + levelBlocks > 0xFFFF) throw TableError("Primary index is too large");
    for (std::size_t b = 0; b < levelBlocks; ++b) {
      const auto number = static_cast<std::uint16_t>(blockCount + 1 + b);
      const std::size_t first = b * perBlock;
      const std::size_t count = std::min(perBlock, level.size() - first);
      std::vector<unsigned char> block(blockSize, 0);
      const std::uint16_t next = b + 1 < levelBlocks ? number + 1 : 0;
      const std::uint16_t prev = b > 0 ? number - 1 : 0;
      WriteBlockHeader(block.data(), next, prev, count, recordSize);
      std::uint32_t sum = 0;
      for (std::size_t i = 0; i < count; ++i) {
        const IndexEntry& entry = level[first + i];
        unsigned char* rec = block.data() + kBlockHeaderSize + i * recordSize;
        std::memcpy(rec, entry.firstKey.data(), std::min(keySize, entry.firstKey.size()));
        PutShortField(rec + keySize, static_cast<std::int16_t>(entry.block));
        PutShortField(rec + keySize + 2,
                      static_cast<std::int16_t>(std::min(entry.count, kMaxStatistic)));
        PutShortField(rec + keySize + 4, 0);
        sum += entry.count;
      }
      out.insert(out.end(), block.begin(), block.end());
      upper.push_back({level[first].firstKey, number, sum});
    }
    totalRecords += static_cast<std::uint32_t>(level.size());
    blockCount = static_cast<std::uint16_t>(blockCount + levelBlocks);
    if (levelBlocks == 1) break;
    level = std::move(upper);
  }

  unsigned char* p = out.data();
  PutU16(p + 0x00, static_cast<std::uint16_t>(recordSize));
  PutU16(p + 0x02, kIndexHeaderSize);
  p[0x04] = kFileIndex;
  p[0x05] = table.maxTableSize;
  PutU32(p + 0x06, totalRecords);
  PutU16(p + 0x0A, blockCount);
  PutU16(p + 0x0C, blockCount);
  PutU16(p + 0x0E, blockCount > 0 ? 1 : 0);
  PutU16(p + 0x10, blockCount);
  PutU16(p + 0x1E, blockCount);  // the root is written last
  p[0x20] = static_cast<unsigned char>(levels);
  PutU16(p + 0x21, table.keyFields);
  p[0x29] = table.sortOrder;
  p[0x39] = table.fileVersion;
  PutU16(p + 0x3A, blockCount);
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
