#pragma once
// The memo file (.mb) of a Paradox table: blob contents too long for their record. A 4 KiB header
// block is followed by blocks of whole 4 KiB chunks: one blob per block for long blobs, up to 64
// small blobs in one suballocated block. A record points to its blob by the block's file offset
// with the low byte giving the slot in a suballocated block (0xFF for a block of its own).

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace nox::tables::paradox {

class MemoFile {
 public:
  // Opens an existing memo file; raises TableError naming it when it is missing or not one.
  static std::unique_ptr<MemoFile> Open(const std::filesystem::path& path, bool writable);
  // Creates an empty memo file, replacing any file of that name.
  static std::unique_ptr<MemoFile> Create(const std::filesystem::path& path);
  ~MemoFile();
  MemoFile(const MemoFile&) = delete;
  MemoFile& operator=(const MemoFile&) = delete;

  // The blob a record points to; raises TableError naming the file when the pointer or the
  // block is damaged.
  std::string read(std::uint32_t pointer, std::uint32_t length);
  // Stores a blob and gives the pointer a record keeps.
  std::uint32_t write(std::string_view data);
  std::uint16_t modificationNumber() const { return 1; }
  // Drops every blob.
  void empty();
  // Writes, as `to`, what empty() needs of the file: its header block.
  void writeEmptied(const std::filesystem::path& to) const;
  // Makes the written blobs durable.
  void flush();

 private:
  MemoFile(std::filesystem::path path, int fd, bool writable);
  void writeHeader();

  std::filesystem::path path_;
  std::string name_;
  int fd_ = -1;
  bool writable_ = false;
  std::uint64_t size_ = 0;  // bytes in the file
  std::uint64_t end_ = 0;   // where the next block goes, a multiple of 4 KiB
  // The suballocated block that takes the next small blobs (offset 0: none yet).
  std::uint64_t subBlockOffset_ = 0;
  std::vector<unsigned char> subBlock_;
  int subNextSlot_ = 0;
  int subNextChunk_ = 0;
};

}  // namespace nox::tables::paradox
