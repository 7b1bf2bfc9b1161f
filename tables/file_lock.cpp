#include "tables/file_lock.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "tables/dbase_io.h"

namespace nox::tables {

std::string TableFileName(const std::filesystem::path& path) {
  return path.filename().string();
}

namespace {

// Open-file-description locks over the whole file: owned by the open file, as flock's are, but a
// shared lock turns into an exclusive one atomically or not at all. With flock the shared lock is
// dropped first, and another writer could slip in between and be overwritten.
bool SetLock(int fd, short type) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  int result;
  do {
    result = ::fcntl(fd, F_OFD_SETLK, &lock);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

std::string ReadOnlyMessage(const std::filesystem::path& path) {
  return "Table '" + TableFileName(path) + "' is read-only and cannot be changed";
}

}  // namespace

FileLock::FileLock(const std::filesystem::path& path, OpenMode mode) : path_(path) {
  // An exclusive lock needs a descriptor open for writing.
  fd_ = dbase_io::OpenRegularFile(path, O_RDWR);
  if (fd_ < 0 && (errno == EACCES || errno == EROFS)) {
    fd_ = dbase_io::OpenRegularFile(path, O_RDONLY);
    readOnly_ = fd_ >= 0;
  }
  if (fd_ < 0) {
    if (errno == ENOENT || errno == ENOTDIR) {
      throw TableError("Table '" + path.string() + "' does not exist");
    }
    throw TableError("Cannot open table '" + path.string() + "': " + std::strerror(errno));
  }
  exclusive_ = mode == OpenMode::Exclusive;
  if (exclusive_ && readOnly_) {
    ::close(fd_);
    fd_ = -1;
    throw TableError(ReadOnlyMessage(path));
  }
  if (!SetLock(fd_, exclusive_ ? F_WRLCK : F_RDLCK)) {
    ::close(fd_);
    fd_ = -1;
    throw TableError("Table '" + TableFileName(path) + "' is locked by another program");
  }
}

FileLock::FileLock(FileLock&& other) noexcept
    : path_(std::move(other.path_)),
      fd_(std::exchange(other.fd_, -1)),
      exclusive_(other.exclusive_),
      readOnly_(other.readOnly_) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    path_ = std::move(other.path_);
    fd_ = std::exchange(other.fd_, -1);
    exclusive_ = other.exclusive_;
    readOnly_ = other.readOnly_;
  }
  return *this;
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);  // closing the only descriptor releases the lock
}

void FileLock::makeExclusive() {
  if (exclusive_) return;
  if (readOnly_) throw TableError(ReadOnlyMessage(path_));
  if (!SetLock(fd_, F_WRLCK)) {
    // The shared lock is kept: readers stay excluded from writers as before.
    throw TableError("Table '" + TableFileName(path_) +
                     "' is locked by another program and cannot be changed");
  }
  exclusive_ = true;
}

}  // namespace nox::tables
