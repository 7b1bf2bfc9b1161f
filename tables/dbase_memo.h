#pragma once
// The memo file (.dbt) beside a dBase table: texts and binary values in numbered blocks. dBase III
// ends a value with 0x1A; dBase IV puts its length in an 8-byte block header. Changed values always
// go to new blocks at the end, so a record never points at a half-written value.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace nox::tables {

enum class DbaseMemoFormat { DBase3, DBase4 };

class DbaseMemoFile {
 public:
  static constexpr std::uint32_t kDefaultBlockSize = 512;

  // Opens an existing memo file; raises TableError naming it when missing or damaged.
  DbaseMemoFile(const std::filesystem::path& path, DbaseMemoFormat format, bool writable);
  DbaseMemoFile(const DbaseMemoFile&) = delete;
  DbaseMemoFile& operator=(const DbaseMemoFile&) = delete;
  ~DbaseMemoFile();

  // Writes an empty memo file (header block only).
  static void Create(const std::filesystem::path& path, DbaseMemoFormat format);

  // The value starting at a block; block 0 is no value. A block outside the file or a damaged
  // block header raises TableError.
  void read(std::uint32_t block, std::string& out) const;
  // Stores a value in new blocks and gives the first block's number.
  std::uint32_t write(std::string_view data);
  // Drops every value.
  void clear();
  // Writes, as `to`, the part of the file clear() keeps.
  void writeCleared(const std::filesystem::path& to) const;
  // Writes the header's next-free-block number; with sync, makes the file durable.
  void flush(bool sync);

  const std::filesystem::path& path() const { return path_; }

 private:
  [[noreturn]] void fail(const std::string& what) const;
  void writeAt(std::uint64_t offset, const void* data, std::size_t size);

  std::filesystem::path path_;
  DbaseMemoFormat format_;
  int fd_ = -1;
  std::uint32_t blockSize_ = kDefaultBlockSize;
  std::uint32_t nextFree_ = 1;
  std::uint64_t fileSize_ = 0;
  bool headerDirty_ = false;
  bool changed_ = false;
};

}  // namespace nox::tables
