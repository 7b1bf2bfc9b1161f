#include "tables/dbase_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <exception>
#include <utility>

#include "host/messages.h"
#include "tables/storage.h"

namespace nox::tables::dbase_io {
namespace {

[[noreturn]] void Fail(const std::string& context) {
  throw TableError(context + ": " + std::strerror(errno));
}

}  // namespace

int OpenRegularFile(const std::filesystem::path& path, int flags) {
  // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come.
  const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat status {};
  if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
    ::close(fd);
    throw TableError("'" + path.filename().string() + "' is not a regular file");
  }
  return fd;
}

std::size_t ReadAt(int fd, void* buffer, std::size_t size, std::uint64_t offset,
                   const std::string& context) {
  auto* out = static_cast<char*>(buffer);
  std::size_t done = 0;
  while (done < size) {
    ssize_t got = ::pread(fd, out + done, size - done, static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR) continue;
      Fail(context);
    }
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  return done;
}

void WriteAt(int fd, const void* data, std::size_t size, std::uint64_t offset,
             const std::string& context) {
  const auto* in = static_cast<const char*>(data);
  std::size_t done = 0;
  while (done < size) {
    ssize_t put = ::pwrite(fd, in + done, size - done, static_cast<off_t>(offset + done));
    if (put < 0) {
      if (errno == EINTR) continue;
      Fail(context);
    }
    if (put == 0) throw TableError(context + ": nothing could be written");  // else no end
    done += static_cast<std::size_t>(put);
  }
}

void Truncate(int fd, std::uint64_t size, const std::string& context) {
  if (::ftruncate(fd, static_cast<off_t>(size)) != 0) Fail(context);
}

void Sync(int fd, const std::string& context) {
  if (::fdatasync(fd) != 0) Fail(context);
}

std::uint64_t FileSize(int fd, const std::string& context) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) Fail(context);
  return static_cast<std::uint64_t>(info.st_size);
}

void CreateLike(int like, const std::filesystem::path& to, const void* data, std::size_t size,
                const std::string& context) {
  struct stat info {};
  if (::fstat(like, &info) != 0) Fail(context);
  const int fd = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, info.st_mode & 07777);
  if (fd < 0) Fail(context);
  int closing = fd;
  FlushAndClose(closing, [&] {
    if (::fchmod(fd, info.st_mode & 07777) != 0) Fail(context);  // the umask took some away
    WriteAt(fd, data, size, 0, context);
  });
}

void FlushAndClose(int& fd, const std::function<void()>& flush) {
  if (fd < 0) return;
  struct Release {
    int& fd;
    ~Release() { ::close(std::exchange(fd, -1)); }
  } release{fd};
  flush();
}

void FlushAndCloseInDestructor(int& fd, const std::function<void()>& flush) noexcept {
  try {
    FlushAndClose(fd, flush);
  } catch (const std::exception& error) {
    host::ShowMessage(host::MessageKind::Error, error.what());
  }
}

}  // namespace nox::tables::dbase_io
