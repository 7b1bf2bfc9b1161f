#include "tables/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <utility>

#include "tables/dbase_io.h"

namespace nox::tables {

std::string TableFileName(const std::filesystem::path& path) {
  return path.filename().string();
}

FileLock::FileLock(const std::filesystem::path& path, OpenMode mode) : path_(path) {
  fd_ = dbase_io::OpenRegularFile(path, O_RDONLY);
  if (fd_ < 0) {
    if (errno == ENOENT || errno == ENOTDIR) {
      throw TableError("Table '" + path.string() + "' does not exist");
    }
    throw TableError("Cannot open table '" + path.string() + "': " + std::strerror(errno));
  }
  exclusive_ = mode == OpenMode::Exclusive;
  int result;
  do {
    result = ::flock(fd_, (exclusive_ ? LOCK_EX : LOCK_SH) | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result != 0) {
    ::close(fd_);
    fd_ = -1;
    throw TableError("Table '" + TableFileName(path) + "' is locked by another program");
  }
}

FileLock::FileLock(FileLock&& other) noexcept
    : path_(std::move(other.path_)),
      fd_(std::exchange(other.fd_, -1)),
      exclusive_(other.exclusive_) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    path_ = std::move(other.path_);
    fd_ = std::exchange(other.fd_, -1);
    exclusive_ = other.exclusive_;
  }
  return *this;
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);  // closing the only descriptor releases the lock
}

void FileLock::makeExclusive() {
  if (exclusive_) return;
  if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
    exclusive_ = true;
    return;
  }
  // The kernel may drop the shared lock while converting; take it back so readers stay excluded
  // from writers as before.
  ::flock(fd_, LOCK_SH | LOCK_NB);
  throw TableError("Table '" + TableFileName(path_) +
                   "' is in use by another program and cannot be changed");
}

}  // namespace nox::tables
