#pragma once
// A rollback journal for a table file changed in place. Before a page that the file held when the
// change began is overwritten for the first time, its old bytes go into a journal file beside the
// table ("NAME-journal") and are made durable; bytes beyond the old end need no copy, the old
// length is kept instead. When the change is complete and synced (the table's flush), the journal
// is emptied. A journal found with content when the table is next opened means its writer stopped
// in the middle: replaying it puts the file back as it was at the last flush, so a kill can leave
// neither a block half new and half old nor blocks written but never linked.

#include <sys/uio.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <unordered_set>
#include <vector>

#include "tables/file_lock.h"

namespace nox::tables {

class RollbackJournal {
 public:
  static std::filesystem::path PathFor(const std::filesystem::path& table);

  // When the table has a journal with content, puts the table's bytes back as it recorded them;
  // the journal is removed in any case (also when the table no longer exists). The caller holds the
  // table exclusively. Raises TableError naming the table when the journal cannot be applied (a
  // read-only file, an I/O error).
  static void Recover(const std::filesystem::path& table);

  // Locks a table as the mode asks, or exclusively when an unfinished change must be undone
  // first; the lock then stays exclusive, so nobody changes the table between its repair and
  // the caller's reading.
  static FileLock LockAndRecover(const std::filesystem::path& table, OpenMode mode);

  // Journals changes to the table file open as fd (which the caller keeps open).
  RollbackJournal(std::filesystem::path table, int fd);
  ~RollbackJournal();  // removes the journal unless it holds an unfinished change
  RollbackJournal(const RollbackJournal&) = delete;
  RollbackJournal& operator=(const RollbackJournal&) = delete;

  // Keeps the old bytes of a range about to be overwritten, not yet durable: a batch of writes
  // saves every range first, then the first write makes them durable with one sync.
  void save(std::uint64_t offset, std::size_t size);
  // Writes into the table file once the old bytes of the range are durable in the journal.
  void writeAt(const void* data, std::size_t size, std::uint64_t offset,
               const std::string& context);
  // The same for neighbouring pieces written one after another from offset, in one system call
  // where the system allows.
  void writeAt(std::span<const iovec> pieces, std::uint64_t offset, const std::string& context);
  // The change is complete and synced in the table file: the journal is emptied.
  void commit();

 private:
  void begin();
  void sync();

  std::filesystem::path table_;
  std::filesystem::path path_;
  std::string name_;
  int tableFd_ = -1;
  int fd_ = -1;
  bool active_ = false;        // a change has begun since the last commit
  std::uint64_t oldSize_ = 0;  // the table file's size when the change began
  std::uint64_t journalSize_ = 0;
  std::unordered_set<std::uint64_t> savedPages_;
  std::vector<unsigned char> pending_;  // entries not yet in the journal file
};

}  // namespace nox::tables
