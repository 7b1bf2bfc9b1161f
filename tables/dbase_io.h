#pragma once
// Small file helpers shared by the dBase table and memo files: whole reads and writes at an
// offset, retried across interruptions, and little-endian numbers in byte buffers.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace nox::tables::dbase_io {

// Opens an existing file (flags as for open(2)) without ever blocking: a FIFO, device or
// directory of that name raises TableError "'NAME' is not a regular file". Gives -1 with errno set
// when the file cannot be opened.
int OpenRegularFile(const std::filesystem::path& path, int flags);

// Reads up to size bytes at offset; gives how many were read (fewer only at the end of the file).
// Raises TableError with the context on an I/O error.
std::size_t ReadAt(int fd, void* buffer, std::size_t size, std::uint64_t offset,
                   const std::string& context);
// Writes all bytes at offset or raises TableError with the context.
void WriteAt(int fd, const void* data, std::size_t size, std::uint64_t offset,
             const std::string& context);
void Truncate(int fd, std::uint64_t size, const std::string& context);
void Sync(int fd, const std::string& context);
std::uint64_t FileSize(int fd, const std::string& context);
// Creates `to`, which must not exist, with the permission bits of the file open as `like`, and
// writes `size` bytes into it.
void CreateLike(int like, const std::filesystem::path& to, const void* data, std::size_t size,
                const std::string& context);
// Runs flush, then closes the descriptor (set to -1) whether or not flush raised; raises flush's
// error. A closed descriptor does nothing.
void FlushAndClose(int& fd, const std::function<void()>& flush);
// The same for a destructor, which cannot raise: the error is reported through host::ShowMessage.
void FlushAndCloseInDestructor(int& fd, const std::function<void()>& flush) noexcept;

inline std::uint32_t GetU32(const unsigned char* p) {
  return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 |
         std::uint32_t{p[3]} << 24;
}
inline std::uint16_t GetU16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
inline void PutU32(unsigned char* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    p[i] = static_cast<unsigned char>(v >> (8 * i));
}
inline void PutU16(unsigned char* p, std::uint16_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}

}  // namespace nox::tables::dbase_io
