#include "tables/rollback_journal.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstring>

#include "tables/dbase_io.h"
#include "tables/file_lock.h"
#include "tables/storage.h"

namespace nox::tables {
namespace {

// The journal: a header (magic, the table's old size, the device and inode of the table file it
// belongs to: a table replaced by a rename is another file, which the journal must not touch),
// then entries (offset, length, checksum, the old bytes). Entries are only ever appended; one cut
// short or not matching its checksum was never synced, so the table write it guarded never happened
// and replay stops there.
constexpr std::array<unsigned char, 8> kMagic = {'N', 'O', 'X', 'J', 'R', 'N', 'L', '1'};
constexpr std::size_t kHeaderSize = 32;
constexpr std::size_t kEntryHeaderSize = 16;
constexpr std::uint64_t kPage = 4096;

std::uint64_t GetU64(const unsigned char* p) {
  return std::uint64_t{dbase_io::GetU32(p)} | std::uint64_t{dbase_io::GetU32(p + 4)} << 32;
}
void PutU64(unsigned char* p, std::uint64_t v) {
  dbase_io::PutU32(p, static_cast<std::uint32_t>(v));
  dbase_io::PutU32(p + 4, static_cast<std::uint32_t>(v >> 32));
}

// FNV-1a over the entry's offset, length and bytes.
std::uint32_t Checksum(const unsigned char* head, const unsigned char* data, std::size_t size) {
  std::uint32_t hash = 2166136261u;
  auto add = [&](const unsigned char* p, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i)
      hash = (hash ^ p[i]) * 16777619u;
  };
  add(head, 12);
  add(data, size);
  return hash;
}

struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
};

FileIdentity IdentityOf(int fd, const std::string& context) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) throw TableError(context + ": " + std::strerror(errno));
  return {static_cast<std::uint64_t>(status.st_dev), static_cast<std::uint64_t>(status.st_ino)};
}

void SyncDirectory(const std::filesystem::path& file) {
  const auto directory = file.has_parent_path() ? file.parent_path() : ".";
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;  // not every file system lets a directory be opened; the file is synced
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

std::filesystem::path RollbackJournal::PathFor(const std::filesystem::path& table) {
  std::filesystem::path path = table;
  path += "-journal";
  return path;
}

void RollbackJournal::Recover(const std::filesystem::path& table) {
  const std::filesystem::path path = PathFor(table);
  std::error_code error;
  if (!std::filesystem::exists(path, error)) return;
  const std::string name = TableFileName(table);
  const std::string context = "Table '" + name + "' has an unfinished change that cannot be undone";
  const int journal = dbase_io::OpenRegularFile(path, O_RDONLY);
  if (journal < 0) throw TableError(context + ": " + std::strerror(errno));
  int fd = -1;
  try {
    unsigned char header[kHeaderSize] = {};
    if (dbase_io::ReadAt(journal, header, sizeof header, 0, context) == sizeof header &&
        std::equal(kMagic.begin(), kMagic.end(), header)) {
      fd = dbase_io::OpenRegularFile(table, O_RDWR);
      if (fd < 0 && errno != ENOENT) throw TableError(context + ": " + std::strerror(errno));
    }
    if (fd >= 0) {
      const std::uint64_t oldSize = GetU64(header + 8);
      const FileIdentity identity = IdentityOf(fd, context);
      const bool sameFile =
          identity.device == GetU64(header + 16) && identity.inode == GetU64(header + 24);
      // Nothing to undo in another file than the journal's (a table replaced by a rename), nor
      // in a file shorter than the change found it: only emptying shortens a table, as the last
      // step of its change, so the file is then already as the change meant it.
      const bool finished = !sameFile || dbase_io::FileSize(fd, context) < oldSize;
      std::uint64_t at = kHeaderSize;
      std::vector<unsigned char> data;
      while (!finished) {
        unsigned char head[kEntryHeaderSize];
        if (dbase_io::ReadAt(journal, head, sizeof head, at, context) != sizeof head) break;
        const std::uint32_t length = dbase_io::GetU32(head + 8);
        if (length > kPage) break;
        data.resize(length);
        if (dbase_io::ReadAt(journal, data.data(), length, at + sizeof head, context) != length ||
            Checksum(head, data.data(), length) != dbase_io::GetU32(head + 12)) {
          break;
        }
        dbase_io::WriteAt(fd, data.data(), length, GetU64(head), context);
        at += sizeof head + length;
      }
      if (!finished && dbase_io::FileSize(fd, context) > oldSize) {
        dbase_io::Truncate(fd, oldSize, context);
      }
      dbase_io::Sync(fd, context);
      ::close(fd);
      fd = -1;
    }
  } catch (...) {
    if (fd >= 0) ::close(fd);
    ::close(journal);
    throw;
  }
  ::close(journal);
  std::filesystem::remove(path, error);
  if (error) throw TableError(context + ": " + error.message());
}

FileLock RollbackJournal::LockAndRecover(const std::filesystem::path& table, OpenMode mode) {
  std::error_code error;
  if (!std::filesystem::exists(PathFor(table), error)) return FileLock(table, mode);
  FileLock lock(table, OpenMode::Exclusive);
  Recover(table);
  return lock;
}

RollbackJournal::RollbackJournal(std::filesystem::path table, int fd)
    : table_(std::move(table)),
      path_(PathFor(table_)),
      name_(TableFileName(table_)),
      tableFd_(fd) {}

RollbackJournal::~RollbackJournal() {
  if (fd_ < 0) return;
  ::close(fd_);
  // An empty journal means nothing; removing it is tidiness, and a left one is ignored at open.
  std::error_code ignored;
  if (!active_) std::filesystem::remove(path_, ignored);
}

void RollbackJournal::begin() {
  if (active_) return;
  const std::string context = "Journal of table '" + name_ + "' cannot be written";
  if (fd_ < 0) {
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) throw TableError(context + ": " + std::strerror(errno));
    SyncDirectory(path_);
  }
  oldSize_ = dbase_io::FileSize(tableFd_, context);
  pending_.assign(kHeaderSize, 0);
  std::copy(kMagic.begin(), kMagic.end(), pending_.begin());
  PutU64(pending_.data() + 8, oldSize_);
  const FileIdentity identity = IdentityOf(tableFd_, context);
  PutU64(pending_.data() + 16, identity.device);
  PutU64(pending_.data() + 24, identity.inode);
  journalSize_ = 0;
  savedPages_.clear();
  active_ = true;
}

void RollbackJournal::save(std::uint64_t offset, std::size_t size) {
  begin();
  if (size == 0) return;
  const std::string context = "Table '" + name_ + "' cannot be read";
  for (std::uint64_t page = offset / kPage; page <= (offset + size - 1) / kPage; ++page) {
    const std::uint64_t start = page * kPage;
    if (start >= oldSize_) break;
    if (!savedPages_.insert(page).second) continue;
    const auto length = static_cast<std::uint32_t>(std::min(kPage, oldSize_ - start));
    const std::size_t at = pending_.size();
    pending_.resize(at + kEntryHeaderSize + length);
    unsigned char* head = pending_.data() + at;
    PutU64(head, start);
    dbase_io::PutU32(head + 8, length);
    const std::size_t got =
        dbase_io::ReadAt(tableFd_, head + kEntryHeaderSize, length, start, context);
    std::fill(head + kEntryHeaderSize + got, head + kEntryHeaderSize + length, 0);
    dbase_io::PutU32(head + 12, Checksum(head, head + kEntryHeaderSize, length));
  }
}

void RollbackJournal::sync() {
  if (pending_.empty()) return;
  const std::string context = "Journal of table '" + name_ + "' cannot be written";
  dbase_io::WriteAt(fd_, pending_.data(), pending_.size(), journalSize_, context);
  journalSize_ += pending_.size();
  pending_.clear();
  dbase_io::Sync(fd_, context);
}

void RollbackJournal::writeAt(const void* data, std::size_t size, std::uint64_t offset,
                              const std::string& context) {
  save(offset, size);
  sync();
  dbase_io::WriteAt(tableFd_, data, size, offset, context);
}

void RollbackJournal::writeAt(std::span<const iovec> pieces, std::uint64_t offset,
                              const std::string& context) {
  std::size_t size = 0;
  for (const iovec& piece : pieces)
    size += piece.iov_len;
  save(offset, size);
  sync();
  std::vector<iovec> rest(pieces.begin(), pieces.end());
  std::size_t first = 0;
  while (first < rest.size()) {
    const int count = static_cast<int>(std::min<std::size_t>(rest.size() - first, IOV_MAX));
    const ssize_t put = ::pwritev(tableFd_, rest.data() + first, count, static_cast<off_t>(offset));
    if (put < 0) {
      if (errno == EINTR) continue;
      throw TableError(context + ": " + std::strerror(errno));
    }
    if (put == 0) throw TableError(context + ": nothing could be written");  // else no end
    offset += static_cast<std::uint64_t>(put);
    // A short write leaves the rest of its pieces for the next call.
    for (auto done = static_cast<std::size_t>(put); done > 0;) {
      iovec& piece = rest[first];
      const std::size_t step = std::min(done, piece.iov_len);
      piece.iov_base = static_cast<char*>(piece.iov_base) + step;
      piece.iov_len -= step;
      done -= step;
      if (piece.iov_len == 0) ++first;
    }
    while (first < rest.size() && rest[first].iov_len == 0)
      ++first;
  }
}

void RollbackJournal::commit() {
  if (!active_) return;
  const std::string context = "Journal of table '" + name_ + "' cannot be written";
  pending_.clear();
  dbase_io::Truncate(fd_, 0, context);
  dbase_io::Sync(fd_, context);
  active_ = false;
}

}  // namespace nox::tables
