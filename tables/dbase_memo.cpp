#include "tables/dbase_memo.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

#include "tables/dbase_io.h"
#include "tables/storage.h"

namespace nox::tables {
namespace {

constexpr std::size_t kHeaderSize = 512;
constexpr unsigned char kTerminator = 0x1A;
constexpr std::array<unsigned char, 4> kBlockSignature = {0xFF, 0xFF, 0x08, 0x00};
constexpr std::size_t kBlockHeaderSize = 8;

}  // namespace

DbaseMemoFile::DbaseMemoFile(const std::filesystem::path& path, DbaseMemoFormat format,
                             bool writable)
    : path_(path), format_(format) {
  fd_ = dbase_io::OpenRegularFile(path, writable ? O_RDWR : O_RDONLY);
  if (fd_ < 0 && writable && errno == EACCES) fd_ = dbase_io::OpenRegularFile(path, O_RDONLY);
  if (fd_ < 0) {
    if (errno == ENOENT) fail("does not exist");
    fail(std::string("cannot be opened: ") + std::strerror(errno));
  }
  fileSize_ = dbase_io::FileSize(fd_, "Memo file '" + path_.string() + "'");
  std::array<unsigned char, 32> header{};
  if (dbase_io::ReadAt(fd_, header.data(), header.size(), 0, path_.string()) < header.size()) {
    ::close(fd_);
    fd_ = -1;
    fail("is too short to be a memo file");
  }
  if (format_ == DbaseMemoFormat::DBase4) {
    std::uint16_t size = dbase_io::GetU16(&header[20]);
    if (size != 0) blockSize_ = size;
    if (blockSize_ < kBlockHeaderSize) {
      ::close(fd_);
      fd_ = -1;
      fail("has an invalid block size " + std::to_string(blockSize_));
    }
  }
  // A writer killed after adding a value but before updating the header leaves the header's
  // next free block too low; never hand out blocks the file already uses.
  std::uint64_t usedBlocks =
      (std::max<std::uint64_t>(fileSize_, kHeaderSize) + blockSize_ - 1) / blockSize_;
  nextFree_ = static_cast<std::uint32_t>(
      std::max<std::uint64_t>(dbase_io::GetU32(header.data()), usedBlocks));
}

DbaseMemoFile::~DbaseMemoFile() {
  if (fd_ >= 0) ::close(fd_);
}

void DbaseMemoFile::fail(const std::string& what) const {
  throw TableError("Memo file '" + path_.string() + "' " + what);
}

void DbaseMemoFile::Create(const std::filesystem::path& path, DbaseMemoFormat format) {
  std::array<unsigned char, kHeaderSize> header{};
  dbase_io::PutU32(header.data(), 1);
  if (format == DbaseMemoFormat::DBase4) {
    std::string stem = path.stem().string().substr(0, 8);
    std::copy(stem.begin(), stem.end(), header.begin() + 8);
    dbase_io::PutU16(&header[20], kDefaultBlockSize);
  } else {
    header[16] = 0x03;  // dBase III memo version byte
  }
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    throw TableError("Cannot create memo file '" + path.string() + "': " + std::strerror(errno));
  }
  try {
    dbase_io::WriteAt(fd, header.data(), header.size(), 0, "Cannot write '" + path.string() + "'");
    dbase_io::Sync(fd, "Cannot write '" + path.string() + "'");
  } catch (...) {
    ::close(fd);
    throw;
  }
  ::close(fd);
}

void DbaseMemoFile::read(std::uint32_t block, std::string& out) const {
  out.clear();
  if (block == 0) return;
  std::uint64_t offset = std::uint64_t{block} * blockSize_;
  if (offset >= fileSize_) fail("has no block " + std::to_string(block));
  std::uint64_t available = fileSize_ - offset;
  if (format_ == DbaseMemoFormat::DBase4) {
    std::array<unsigned char, kBlockHeaderSize> head{};
    if (dbase_io::ReadAt(fd_, head.data(), head.size(), offset, path_.string()) == head.size() &&
        std::equal(kBlockSignature.begin(), kBlockSignature.end(), head.begin())) {
      std::uint32_t length = dbase_io::GetU32(&head[4]);
      if (length < kBlockHeaderSize || length > available) {
        fail("is damaged: block " + std::to_string(block) + " has an invalid length");
      }
      out.resize(length - kBlockHeaderSize);
      std::size_t got =
          dbase_io::ReadAt(fd_, out.data(), out.size(), offset + kBlockHeaderSize, path_.string());
      if (got != out.size()) fail("is damaged: block " + std::to_string(block) + " is cut short");
      return;
    }
    // Some writers label dBase IV tables but store terminated values; read those as dBase III.
  }
  std::vector<char> chunk(blockSize_);
  while (available > 0) {
    std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), available));
    std::size_t got = dbase_io::ReadAt(fd_, chunk.data(), want, offset, path_.string());
    if (got == 0) break;
    auto end = std::find(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(got),
                         static_cast<char>(kTerminator));
    out.append(chunk.begin(), end);
    if (end != chunk.begin() + static_cast<std::ptrdiff_t>(got)) return;
    offset += got;
    available -= got;
  }
}

std::uint32_t DbaseMemoFile::write(std::string_view data) {
  std::vector<char> bytes;
  if (format_ == DbaseMemoFormat::DBase4) {
    if (data.size() > 0xFFFFFFFFu - kBlockHeaderSize) fail("cannot hold a value that long");
    bytes.resize(kBlockHeaderSize);
    std::copy(kBlockSignature.begin(), kBlockSignature.end(), bytes.begin());
    dbase_io::PutU32(reinterpret_cast<unsigned char*>(&bytes[4]),
                     static_cast<std::uint32_t>(data.size() + kBlockHeaderSize));
    bytes.insert(bytes.end(), data.begin(), data.end());
  } else {
    if (data.find(static_cast<char>(kTerminator)) != std::string_view::npos) {
      fail("(dBase III) cannot hold a value containing the byte 0x1A");
    }
    bytes.assign(data.begin(), data.end());
    bytes.push_back(static_cast<char>(kTerminator));
    bytes.push_back(static_cast<char>(kTerminator));
  }
  std::uint64_t blocks = (bytes.size() + blockSize_ - 1) / blockSize_;
  if (nextFree_ + blocks > 0xFFFFFFFFu) fail("is full");
  bytes.resize(blocks * blockSize_, '\0');
  std::uint32_t block = nextFree_;
  std::uint64_t offset = std::uint64_t{block} * blockSize_;
  writeAt(offset, bytes.data(), bytes.size());
  nextFree_ += static_cast<std::uint32_t>(blocks);
  fileSize_ = std::max(fileSize_, offset + bytes.size());
  headerDirty_ = true;
  return block;
}

void DbaseMemoFile::clear() {
  nextFree_ = (kHeaderSize + blockSize_ - 1) / blockSize_;
  std::array<unsigned char, 4> next{};
  dbase_io::PutU32(next.data(), nextFree_);
  writeAt(0, next.data(), next.size());
  std::uint64_t size = std::uint64_t{nextFree_} * blockSize_;
  dbase_io::Truncate(fd_, size, "Cannot empty memo file '" + path_.string() + "'");
  fileSize_ = size;
  headerDirty_ = false;
}

void DbaseMemoFile::writeCleared(const std::filesystem::path& to) const {
  const std::string context = "Cannot copy memo file '" + path_.string() + "'";
  std::vector<char> kept((kHeaderSize + blockSize_ - 1) / blockSize_ * blockSize_);
  kept.resize(dbase_io::ReadAt(fd_, kept.data(), kept.size(), 0, context));
  dbase_io::CreateLike(fd_, to, kept.data(), kept.size(), context);
}

void DbaseMemoFile::flush(bool sync) {
  if (headerDirty_) {
    std::array<unsigned char, 4> next{};
    dbase_io::PutU32(next.data(), nextFree_);
    writeAt(0, next.data(), next.size());
    headerDirty_ = false;
  }
  if (sync && changed_) {
    dbase_io::Sync(fd_, "Cannot write memo file '" + path_.string() + "'");
    changed_ = false;
  }
}

void DbaseMemoFile::writeAt(std::uint64_t offset, const void* data, std::size_t size) {
  dbase_io::WriteAt(fd_, data, size, offset, "Cannot write memo file '" + path_.string() + "'");
  changed_ = true;
}

}  // namespace nox::tables
