#include "tables/paradox_memo.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "tables/dbase_io.h"
#include "tables/storage.h"

namespace nox::tables::paradox {
namespace {

using dbase_io::GetU16;
using dbase_io::GetU32;
using dbase_io::PutU16;
using dbase_io::PutU32;

constexpr std::uint64_t kChunk = 4096;
constexpr std::size_t kSingleHeader = 9;  // type, chunks, length, modification number
constexpr std::size_t kSubHeader = 12;    // before the slot table of a suballocated block
constexpr std::size_t kSubSlots = 64;
constexpr int kSubFirstChunk = 0x150 / 16;  // data of a suballocated block starts after the slots
constexpr std::size_t kSubThreshold = 2048;
constexpr unsigned char kHeaderBlock = 0;
constexpr unsigned char kSingleBlock = 2;
constexpr unsigned char kSubBlock = 3;

}  // namespace

MemoFile::MemoFile(std::filesystem::path path, int fd, bool writable)
    : path_(std::move(path)), name_(path_.filename().string()), fd_(fd), writable_(writable) {}

MemoFile::~MemoFile() {
  if (fd_ >= 0) ::close(fd_);
}

std::unique_ptr<MemoFile> MemoFile::Open(const std::filesystem::path& path, bool writable) {
  const int fd = dbase_io::OpenRegularFile(path, writable ? O_RDWR : O_RDONLY);
  if (fd < 0) {
    throw TableError("Memo file '" + path.filename().string() +
                     "' cannot be opened: " + std::strerror(errno));
  }
  std::unique_ptr<MemoFile> memo(new MemoFile(path, fd, writable));
  const std::uint64_t size = dbase_io::FileSize(fd, memo->name_);
  unsigned char head[3] = {};
  if (size < kChunk || dbase_io::ReadAt(fd, head, sizeof head, 0, memo->name_) != sizeof head ||
      head[0] != kHeaderBlock) {
    throw TableError("'" + memo->name_ + "' is not a Paradox memo file");
  }
  memo->size_ = size;
  memo->end_ =
      (size + kChunk - 1) / kChunk * kChunk;  // other writers may leave the last block short
  return memo;
}

std::unique_ptr<MemoFile> MemoFile::Create(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    throw TableError("Memo file '" + path.filename().string() +
                     "' cannot be created: " + std::strerror(errno));
  }
  std::unique_ptr<MemoFile> memo(new MemoFile(path, fd, true));
  memo->writeHeader();
  return memo;
}

void MemoFile::writeHeader() {
  unsigned char header[kChunk] = {};
  header[0] = kHeaderBlock;
  PutU16(header + 1, 1);
  PutU16(header + 3, modificationNumber());
  PutU16(header + 0x0B, kChunk);
  PutU16(header + 0x0D, kChunk);
  header[0x10] = 16;
  PutU16(header + 0x11, kSubSlots);
  PutU16(header + 0x13, kSubThreshold);
  dbase_io::WriteAt(fd_, header, sizeof header, 0, name_);
  dbase_io::Truncate(fd_, kChunk, name_);
  end_ = size_ = kChunk;
  subBlockOffset_ = 0;
}

std::string MemoFile::read(std::uint32_t pointer, std::uint32_t length) {
  const std::uint64_t offset = pointer & ~0xFFu;
  const unsigned index = pointer & 0xFFu;
  auto damaged = [&]() -> TableError {
    return TableError("Memo file '" + name_ + "' is damaged at offset " + std::to_string(offset));
  };
  if (offset < kChunk || offset >= size_) throw damaged();
  unsigned char head[kSubHeader + kSubSlots * 5] = {};
  if (dbase_io::ReadAt(fd_, head, sizeof head, offset, name_) < kSubHeader) throw damaged();
  const std::uint64_t chunks = GetU16(head + 1);
  std::uint64_t start = 0;
  if (head[0] == kSingleBlock && index == 0xFF) {
    if (GetU32(head + 3) != length || kSingleHeader + std::uint64_t{length} > chunks * kChunk ||
        offset + kSingleHeader + length > size_) {
      throw damaged();
    }
    start = offset + kSingleHeader;
  } else if (head[0] == kSubBlock && index < kSubSlots) {
    const unsigned char* slot = head + kSubHeader + 5 * index;
    const std::uint32_t stored = (slot[1] - 1u) * 16u + slot[4];
    if (slot[0] == 0 || slot[1] == 0 || slot[4] == 0 || slot[4] > 16 || stored != length ||
        slot[0] * 16u + length > kChunk || offset + slot[0] * 16u + length > size_) {
      throw damaged();
    }
    start = offset + slot[0] * 16u;
  } else {
    throw damaged();
  }
  std::string data(length, '\0');
  if (dbase_io::ReadAt(fd_, data.data(), length, start, name_) != length) throw damaged();
  return data;
}

std::uint32_t MemoFile::write(std::string_view data) {
  if (!writable_) throw TableError("Memo file '" + name_ + "' is read-only");
  if (data.size() < kSubThreshold) {
    const int chunks = static_cast<int>((data.size() + 15) / 16);
    if (subBlockOffset_ == 0 || subNextSlot_ < 0 || subNextChunk_ + chunks > 256) {
      subBlock_.assign(kChunk, 0);
      subBlock_[0] = kSubBlock;
      PutU16(subBlock_.data() + 1, 1);
      subBlockOffset_ = end_;
      end_ += kChunk;
      subNextSlot_ = kSubSlots - 1;  // slots are taken from the last one down
      subNextChunk_ = kSubFirstChunk;
    }
    const int slot = subNextSlot_--;
    unsigned char* entry = subBlock_.data() + kSubHeader + 5 * slot;
    entry[0] = static_cast<unsigned char>(subNextChunk_);
    entry[1] = static_cast<unsigned char>(chunks);
    PutU16(entry + 2, modificationNumber());
    entry[4] = static_cast<unsigned char>(data.size() - (chunks - 1) * 16u);
    std::memcpy(subBlock_.data() + subNextChunk_ * 16, data.data(), data.size());
    subNextChunk_ += chunks;
    dbase_io::WriteAt(fd_, subBlock_.data(), subBlock_.size(), subBlockOffset_, name_);
    size_ = std::max(size_, subBlockOffset_ + kChunk);
    return static_cast<std::uint32_t>(subBlockOffset_) | static_cast<std::uint32_t>(slot);
  }
  const std::uint64_t chunks = (data.size() + kSingleHeader + kChunk - 1) / kChunk;
  if (chunks > 0xFFFF || end_ + chunks * kChunk > 0xFFFFFF00u) {
    throw TableError("Memo file '" + name_ + "' is full");
  }
  std::vector<unsigned char> block(chunks * kChunk, 0);
  block[0] = kSingleBlock;
  PutU16(block.data() + 1, static_cast<std::uint16_t>(chunks));
  PutU32(block.data() + 3, static_cast<std::uint32_t>(data.size()));
  PutU16(block.data() + 7, modificationNumber());
  std::memcpy(block.data() + kSingleHeader, data.data(), data.size());
  const std::uint64_t offset = end_;
  dbase_io::WriteAt(fd_, block.data(), block.size(), offset, name_);
  end_ += block.size();
  size_ = end_;
  return static_cast<std::uint32_t>(offset) | 0xFFu;
}

void MemoFile::empty() {
  writeHeader();
}

void MemoFile::writeEmptied(const std::filesystem::path& to) const {
  std::vector<unsigned char> header(kChunk);
  header.resize(dbase_io::ReadAt(fd_, header.data(), header.size(), 0, name_));
  dbase_io::CreateLike(fd_, to, header.data(), header.size(), name_);
}

void MemoFile::flush() {
  if (writable_) dbase_io::Sync(fd_, name_);
}

}  // namespace nox::tables::paradox
