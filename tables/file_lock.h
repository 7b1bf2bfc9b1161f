#pragma once
// Advisory whole-file locks between programs that open the same table. A shared lock lets other
// readers in; an exclusive lock keeps everyone else out. Locks never wait: a table someone else
// holds is reported at once. The kernel drops the lock when its holder ends, however it ends.
// Whoever reads a table's counts under a shared lock can rely on them until it lets go: nobody
// else can change the file meanwhile, and turning the lock exclusive never lets go of it.

#include <filesystem>

#include "tables/storage.h"

namespace nox::tables {

class FileLock {
 public:
  // Locks an existing file as the mode asks. Raises TableError "Table 'PATH' does not exist" for
  // a missing file, "Table 'NAME' is locked by another program" when the lock is refused and
  // "Table 'NAME' is read-only and cannot be changed" for an exclusive lock on a file that cannot
  // be written.
  FileLock(const std::filesystem::path& path, OpenMode mode);
  FileLock(FileLock&& other) noexcept;
  FileLock& operator=(FileLock&& other) noexcept;
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  ~FileLock();

  bool exclusive() const { return exclusive_; }

  // Turns a shared lock into an exclusive one before the first change to the table, atomically.
  // Raises TableError "Table 'NAME' is locked by another program and cannot be changed" when
  // another program holds the file (the shared lock is kept then), and the read-only message for
  // a file that cannot be written.
  void makeExclusive();

 private:
  std::filesystem::path path_;
  int fd_ = -1;
  bool exclusive_ = false;
  bool readOnly_ = false;
};

// The file-name part of a path, as messages name a table.
std::string TableFileName(const std::filesystem::path& path);

}  // namespace nox::tables
