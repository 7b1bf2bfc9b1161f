// Paradox tables (.db with .px primary index and .mb memo file) as TableStorage.
//
// The data blocks form a chain in key order (keyed tables) or posting order. The chain, each
// block's record count and, for a keyed table, each block's first key are held in memory; records
// stay on disk behind a bounded block cache. A keyed insert goes into the block its key belongs
// to; a full block splits in two (or, at the end of the table, a new block starts).
//
// Crash safety: every write into the .db goes through a rollback journal, so a writer killed
// between flushes leaves, once the journal is replayed at the next open, the table exactly as its
// last flush left it: no block half written (a 4 KiB block after a 2 KiB header spans two memory
// pages), no block written but never linked. Changed blocks are written at flush (or when the cache
// is full) in runs of neighbouring blocks, one system call a run; a table being filled at its end
// writes the full blocks it has moved past as they gather, and keeps only its last ones in memory.
// An edit that moves a record and a delete still write their block at once. The header counters
// and the primary index are written at flush. Opening walks the block chain and
// checks it against the header; a table where they disagree is read as far as the chain goes and
// refuses changes.

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <optional>
#include <span>

#include "tables/dbase_io.h"
#include "tables/file_lock.h"
#include "tables/paradox_format.h"
#include "tables/paradox_index.h"
#include "tables/paradox_memo.h"
#include "tables/path_lookup.h"
#include "tables/rollback_journal.h"
#include "tables/storage.h"
#include "tables/value_convert.h"

namespace nox::tables {
namespace {

using namespace paradox;

constexpr std::size_t kCacheBytes = std::size_t{64} << 20;
constexpr std::size_t kRunBlocks = 256;     // blocks written by one system call at most
constexpr std::size_t kReadRunBlocks = 64;  // blocks read by one system call at most at open
constexpr std::size_t kSpareBuffers = 256;  // buffers of blocks that left the cache, for reuse
constexpr std::uint8_t kBlockSizeCode = 4;  // 4 KiB blocks

std::string Upper(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

// A companion file (.px, .mb) beside the table, in the case of the table's own extension; an
// existing file of that name in any letter case is taken as well.
std::filesystem::path Companion(const std::filesystem::path& table, std::string_view lowerExt) {
  const std::string ext = table.extension().string();
  const bool upper = ext.size() > 1 && ext == Upper(ext);
  std::filesystem::path preferred = table;
  preferred.replace_extension(upper ? Upper(std::string(lowerExt)) : std::string(lowerExt));
  return ExistingSpelling(preferred);
}

// Files a table of this name may have beside it: index and memo files, secondary indexes
// (.Xnn, .Ynn, .XGn, .YGn) and validity checks (.VAL).
bool IsCompanionExtension(const std::string& extension) {
  const std::string ext = Upper(extension);
  if (ext == ".PX" || ext == ".MB" || ext == ".VAL") return true;
  return ext.size() == 4 && (ext[1] == 'X' || ext[1] == 'Y') &&
         std::isalnum(static_cast<unsigned char>(ext[2])) &&
         std::isalnum(static_cast<unsigned char>(ext[3]));
}

bool KeyedTypeAllowed(std::uint8_t code) {
  return !IsBlobCode(code) && code != kBytes;
}

bool NeedsLevel7(std::uint8_t code) {
  return code == kLong || code == kLogical || code == kTime || code == kTimestamp ||
         code == kAutoInc || code == kBcd || code == kBytes;
}

class ParadoxStorage final : public TableStorage {
 public:
  // Opens an existing table.
  ParadoxStorage(const std::filesystem::path& path, OpenMode mode)
      : path_(path), name_(TableFileName(path)) {
    const bool recovering = std::filesystem::exists(RollbackJournal::PathFor(path));
    lock_.emplace(RollbackJournal::LockAndRecover(path, mode));
    openFile();
    try {
      readHeader();
      openMemo();
      readChain();
      // The undone change may have replaced the index already; it follows the table again.
      if (recovering && keyed() && !readOnly_ && faults_.empty()) writeIndex();
    } catch (...) {
      ::close(fd_);
      throw;
    }
  }

  // Creates a table, replacing one of that name.
  ParadoxStorage(const std::filesystem::path& path, const std::vector<FieldDef>& fields,
                 const std::vector<IndexDef>& indexes)
      : path_(path), name_(TableFileName(path)) {
    header_ = headerForDefinitions(fields, indexes);
    std::error_code error;
    if (std::filesystem::exists(path_, error)) {
      lock_.emplace(path_, OpenMode::Exclusive);  // refuses a table someone else has open
    }
    RollbackJournal::Recover(path_);  // a journal left there belongs to the old table
    removeCompanions();
    const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) fail("cannot be created");
    fd_ = fd;
    journal_.emplace(path_, fd_);
    try {
      create(indexes);
    } catch (...) {
      ::close(fd_);
      throw;
    }
  }

  ~ParadoxStorage() override {
    dbase_io::FlushAndCloseInDestructor(fd_, [this] { flush(); });
  }

  void close() override {
    dbase_io::FlushAndClose(fd_, [this] { flush(); });
  }

  void prepareWrite() override { beginChange(); }

  TableType type() const override { return TableType::Paradox; }
  std::string formatLevel() const override { return ParadoxLevelName(header_.fileVersion); }
  std::string faults() const override { return faults_; }
  const std::filesystem::path& path() const override { return path_; }
  const std::vector<FieldDef>& fieldDefs() const override { return fieldDefs_; }
  const std::vector<IndexDef>& indexDefs() const override { return indexDefs_; }
  std::size_t recordCount() const override { return recordCount_; }

 private:
  void create(const std::vector<IndexDef>& indexes) {
    if (!lock_) lock_.emplace(path_, OpenMode::Exclusive);
    headerBytes_ = BuildTableHeader(header_, path_.stem().string());
    header_.headerSize = static_cast<std::uint16_t>(headerBytes_.size());
    dbase_io::WriteAt(fd_, headerBytes_.data(), headerBytes_.size(), 0, name_);
    fileSize_ = headerBytes_.size();
    setUpLayout();
    if (hasBlobs_) memo_ = MemoFile::Create(Companion(path_, ".mb"));
    for (const auto& index : indexes) {
      if ((index.options & ixPrimary) == 0) indexDefs_.push_back(index);
    }
    if (keyed()) WritePrimaryIndex(indexPath(), header_, path_.stem().string(), {});
    dbase_io::Sync(fd_, name_);
  }

 public:
  void readRecord(std::size_t position, Record& out) override {
    const unsigned char* record = recordAt(position, out);
    for (std::size_t i = 0; i < header_.fields.size(); ++i) {
      const FieldLayout& field = header_.fields[i];
      DecodeField(field, record + field.offset, memo_.get(), name_, out[i]);
    }
  }

  void readFields(std::size_t position, std::span<const int> fields, Record& out) override {
    const unsigned char* record = recordAt(position, out);
    auto wanted = fields.begin();
    for (std::size_t i = 0; i < header_.fields.size(); ++i) {
      const FieldLayout& field = header_.fields[i];
      if (wanted != fields.end() && static_cast<std::size_t>(*wanted) == i) {
        DecodeField(field, record + field.offset, memo_.get(), name_, out[i]);
        ++wanted;
      } else if (IsBlobCode(field.code)) {
        // Only a blob's reading can fail (its memo file); it is read for that error alone.
        DecodeField(field, record + field.offset, memo_.get(), name_, checked_);
      }
    }
  }

  std::size_t appendRecord(const Record& record) override {
    beginChange();
    std::vector<unsigned char>& bytes = newRecord_;
    bytes.assign(header_.recordSize, 0);
    std::int64_t autoValue = encodeFixed(record, nullptr, bytes.data());
    std::size_t index = 0, slot = 0;
    if (keyed()) {
      if (findKey(bytes.data(), index, slot)) throw KeyViolation();
    } else if (!order_.empty()) {
      index = order_.size() - 1;
      slot = count_[order_[index]];
    }
    encodeBlobs(record, nullptr, bytes.data());
    const std::size_t position = insertAt(index, slot, bytes.data());
    header_.autoInc = static_cast<std::uint32_t>(
        std::max<std::int64_t>(header_.autoInc, std::max<std::int64_t>(autoValue, 0)));
    return position;
  }

  std::size_t updateRecord(std::size_t position, const Record& record) override {
    beginChange();
    const auto [index, slot] = locate(position);
    const std::uint16_t number = order_[index];
    std::vector<unsigned char> old(header_.recordSize);
    std::memcpy(old.data(), block(number) + kBlockHeaderSize + slot * header_.recordSize,
                old.size());
    std::vector<unsigned char> bytes(header_.recordSize, 0);
    encodeFixed(record, old.data(), bytes.data());
    if (!keyed() || std::memcmp(bytes.data(), old.data(), keySize_) == 0) {
      encodeBlobs(record, old.data(), bytes.data());
      std::memcpy(block(number) + kBlockHeaderSize + slot * header_.recordSize, bytes.data(),
                  bytes.size());
      cached(number).dirty = true;
      changed_ = true;
      return position;
    }
    std::size_t newIndex = 0, newSlot = 0;
    if (findKey(bytes.data(), newIndex, newSlot)) throw KeyViolation();
    encodeBlobs(record, old.data(), bytes.data());
    // Moving a record to another place: the new copy reaches the disk before the old one goes.
    const std::size_t newPosition = insertAt(newIndex, newSlot, bytes.data());
    const auto [insertedIndex, insertedSlot] = locate(newPosition);
    writeBlockNow(order_[insertedIndex]);
    const std::size_t oldPosition = newPosition <= position ? position + 1 : position;
    removeAt(oldPosition);
    return newPosition < oldPosition ? newPosition : newPosition - 1;
  }

  void deleteRecord(std::size_t position) override {
    beginChange();
    removeAt(position);
  }

  void emptyTable() override {
    beginChange();
    flush();  // what came before is one change, emptying the next
    header_.numRecords = 0;
    header_.usedBlocks = header_.fileBlocks = header_.firstBlock = header_.lastBlock = 0;
    StoreHeaderCounters(header_, headerBytes_.data());
    journal_->writeAt(headerBytes_.data(), headerBytes_.size(), 0, name_);
    dbase_io::Sync(fd_, name_);
    dbase_io::Truncate(fd_, header_.headerSize, name_);
    fileSize_ = header_.headerSize;
    dbase_io::Sync(fd_, name_);
    journal_->commit();
    dropCache();
    linkDirty_.clear();
    sealed_.clear();
    order_.clear();
    freeBlocks_.clear();
    pendingFree_.clear();
    fileBlocks_ = 0;
    next_.assign(1, 0);
    prev_.assign(1, 0);
    count_.assign(1, 0);
    firstKeys_.assign(keySize_, 0);
    cache_.resize(1);
    recordCount_ = 0;
    treeValid_ = false;
    if (memo_) memo_->empty();
    changed_ = true;
    flush();
  }

  // The header counting no records: the copy opens sound, and emptyTable() writes the rest. A
  // damaged table is copied whole, so that emptying the copy is refused as it is here.
  void writeEmptied(const std::filesystem::path& directory) const override {
    if (!faults_.empty()) return;
    TableHeader counters = header_;
    counters.numRecords = 0;
    counters.usedBlocks = counters.fileBlocks = counters.firstBlock = counters.lastBlock = 0;
    std::vector<unsigned char> bytes = headerBytes_;
    StoreHeaderCounters(counters, bytes.data());
    dbase_io::CreateLike(fd_, directory / path_.filename(), bytes.data(), bytes.size(), name_);
    if (memo_) memo_->writeEmptied(directory / Companion(path_, ".mb").filename());
  }

  void flush() override {
    if (!changed_) return;
    writeBack();
    header_.numRecords = static_cast<std::uint32_t>(recordCount_);
    header_.usedBlocks = static_cast<std::uint16_t>(order_.size());
    header_.fileBlocks = fileBlocks_;
    header_.firstBlock = order_.empty() ? 0 : order_.front();
    header_.lastBlock = order_.empty() ? 0 : order_.back();
    StoreHeaderCounters(header_, headerBytes_.data());
    dbase_io::Sync(fd_, name_);  // blocks before the header that counts them
    journal_->writeAt(headerBytes_.data(), std::min<std::size_t>(0x58, headerBytes_.size()), 0,
                      name_);
    dbase_io::Sync(fd_, name_);
    if (memo_) memo_->flush();
    if (keyed()) writeIndex();
    journal_->commit();
    freeBlocks_.insert(freeBlocks_.end(), pendingFree_.begin(), pendingFree_.end());
    pendingFree_.clear();
    changed_ = false;
  }

 private:
  struct CachedBlock {
    std::vector<unsigned char> data;
    bool dirty = false;
  };

  const unsigned char* firstKey(std::uint16_t number) const {
    return firstKeys_.data() + std::size_t{number} * keySize_;
  }
  void setFirstKey(std::uint16_t number, const unsigned char* key) {
    std::memcpy(firstKeys_.data() + std::size_t{number} * keySize_, key, keySize_);
  }

  void writeIndex() {
    std::vector<IndexEntry> entries;
    entries.reserve(order_.size());
    for (std::uint16_t number : order_) {
      entries.push_back(
          {std::string_view(reinterpret_cast<const char*>(firstKey(number)), keySize_), number,
           count_[number]});
    }
    WritePrimaryIndex(indexPath(), header_, path_.stem().string(), entries);
  }

  [[noreturn]] void fail(const std::string& what) const {
    throw TableError("Table '" + name_ + "' " + what + ": " + std::strerror(errno));
  }
  [[noreturn]] void damaged(const std::string& what) const {
    throw TableError("Table '" + name_ + "' is damaged: " + what);
  }

  bool keyed() const { return header_.keyFields > 0; }
  std::filesystem::path indexPath() const { return Companion(path_, ".px"); }
  std::uint64_t blockOffset(std::uint16_t number) const {
    return header_.headerSize + std::uint64_t{number - 1u} * blockSize_;
  }

  static TableHeader headerForDefinitions(const std::vector<FieldDef>& fields,
                                          const std::vector<IndexDef>& indexes) {
    TableHeader header;
    header.maxTableSize = kBlockSizeCode;
    header.fileVersion = kVersion4;
    if (fields.empty() || fields.size() > 255) {
      throw TableError("A Paradox table needs 1 to 255 fields");
    }
    std::size_t offset = 0;
    for (const auto& def : fields) {
      FieldLayout field = LayoutForDefinition(def);
      for (const auto& earlier : header.fields) {
        if (Upper(earlier.def.name) == Upper(def.name)) {
          throw TableError("Field '" + def.name + "' is defined twice");
        }
      }
      if (NeedsLevel7(field.code)) header.fileVersion = kVersion7;
      field.offset = offset;
      offset += field.width;
      header.fields.push_back(field);
    }
    if (offset > header.blockSize() - kBlockHeaderSize) {
      throw TableError("Record too large for a Paradox table");
    }
    header.recordSize = static_cast<std::uint16_t>(offset);
    for (const auto& index : indexes) {
      if ((index.options & ixPrimary) == 0) continue;
      std::size_t count = 0;
      std::string_view rest = index.fields;
      while (!rest.empty()) {
        const std::size_t cut = rest.find(';');
        const std::string name(rest.substr(0, cut));
        rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
        if (count >= header.fields.size() || Upper(header.fields[count].def.name) != Upper(name)) {
          throw TableError("Primary key field '" + name +
                           "' must be one of the first fields of a Paradox table, in order");
        }
        if (!KeyedTypeAllowed(header.fields[count].code)) {
          throw TableError("Field '" + name + "' cannot be part of a primary key");
        }
        ++count;
      }
      header.keyFields = static_cast<std::uint16_t>(count);
    }
    header.fileType = header.keyFields > 0 ? kFileKeyed : kFileUnkeyed;
    return header;
  }

  void removeCompanions() {
    std::error_code error;
    const auto directory = path_.has_parent_path() ? path_.parent_path() : ".";
    const std::string stem = Upper(path_.stem().string());
    for (const auto& entry : std::filesystem::directory_iterator(directory, error)) {
      const auto& candidate = entry.path();
      if (Upper(candidate.stem().string()) == stem &&
          IsCompanionExtension(candidate.extension().string())) {
        std::filesystem::remove(candidate, error);
      }
    }
  }

  void openFile() {
    fd_ = dbase_io::OpenRegularFile(path_, O_RDWR);
    if (fd_ < 0 && (errno == EACCES || errno == EROFS)) {
      fd_ = dbase_io::OpenRegularFile(path_, O_RDONLY);
      readOnly_ = true;
    }
    if (fd_ < 0) fail("cannot be opened");
    journal_.emplace(path_, fd_);
  }

  void readHeader() {
    const std::uint64_t size = dbase_io::FileSize(fd_, name_);
    std::vector<unsigned char> start(std::min<std::uint64_t>(size, 0x10000));
    const std::size_t got = dbase_io::ReadAt(fd_, start.data(), start.size(), 0, name_);
    header_ = ParseTableHeader(start.data(), got, name_);
    headerBytes_.assign(start.begin(), start.begin() + header_.headerSize);
    fileSize_ = size;
    setUpLayout();
    for (std::size_t i = 0; i < header_.keyFields; ++i) {
      if (!KeyedTypeAllowed(header_.fields[i].code)) damaged("invalid key field");
    }
  }

  void setUpLayout() {
    blockSize_ = header_.blockSize();
    capacity_ = (blockSize_ - kBlockHeaderSize) / header_.recordSize;
    cacheLimit_ = std::max<std::size_t>(16, kCacheBytes / blockSize_);
    indexDefs_.clear();
    if (keyed()) {
      std::string fields;
      for (std::size_t i = 0; i < header_.keyFields; ++i) {
        if (i > 0) fields += ';';
        fields += header_.fields[i].def.name;
      }
      indexDefs_.push_back({"", fields, ixPrimary | ixUnique});
    }
    keySize_ = header_.keySize();
    fieldDefs_.clear();
    fixedFields_.clear();
    blobFields_.clear();
    for (std::size_t i = 0; i < header_.fields.size(); ++i) {
      fieldDefs_.push_back(header_.fields[i].def);
      (IsBlobCode(header_.fields[i].code) ? blobFields_ : fixedFields_).push_back(i);
    }
    hasBlobs_ = !blobFields_.empty();
    next_.assign(1, 0);
    prev_.assign(1, 0);
    count_.assign(1, 0);
    firstKeys_.assign(keySize_, 0);
    cache_.resize(1);
  }

  void openMemo() {
    if (!hasBlobs_) return;
    const auto memoPath = Companion(path_, ".mb");
    std::error_code error;
    if (std::filesystem::exists(memoPath, error)) {
      memo_ = MemoFile::Open(memoPath, !readOnly_);
    }
    // Without a memo file, blobs held in their records still read; others name the missing file.
  }

  void growArrays(std::size_t blocks) {
    next_.resize(blocks + 1, 0);
    prev_.resize(blocks + 1, 0);
    count_.resize(blocks + 1, 0);
    firstKeys_.resize((blocks + 1) * keySize_);
    cache_.resize(blocks + 1);
  }

  // Walks the block chain from the first block, checking every link and count. A chain that runs
  // on through neighbouring blocks is read in growing runs of them, one system call a run.
  void readChain() {
    const std::uint64_t dataBytes =
        fileSize_ > header_.headerSize ? fileSize_ - header_.headerSize : 0;
    fileBlocks_ =
        static_cast<std::uint16_t>(std::min<std::uint64_t>(dataBytes / blockSize_, 0xFFFF));
    growArrays(fileBlocks_);
    std::vector<bool> seen(fileBlocks_ + 1u, false);
    const std::size_t mostAhead = std::clamp<std::size_t>(fileBlocks_, 1, kReadRunBlocks);
    const auto run = std::make_unique_for_overwrite<unsigned char[]>(mostAhead * blockSize_);
    std::size_t runFirst = 0, runBlocks = 0, ahead = 1;
    auto headOf = [&](std::uint16_t number) -> const unsigned char* {
      if (number < runFirst || number >= runFirst + runBlocks) {
        ahead = number == runFirst + runBlocks ? std::min(ahead * 2, mostAhead) : 1;
        runFirst = number;
        runBlocks = std::min<std::size_t>(ahead, fileBlocks_ - number + 1u);
        const std::size_t got =
            dbase_io::ReadAt(fd_, run.get(), runBlocks * blockSize_, blockOffset(number), name_);
        runBlocks = got / blockSize_;
        if (runBlocks == 0) {
          if (got < kBlockHeaderSize + keySize_) damaged("a data block is cut short");
          runBlocks = 1;  // the last block, cut short after its first record's key
        }
      }
      return run.get() + (number - runFirst) * blockSize_;
    };
    std::uint16_t number = header_.firstBlock;
    std::uint16_t previous = 0;
    while (number != 0) {
      if (number > fileBlocks_) {
        fault("its block chain leads to block " + std::to_string(number) +
              " past the end of the file");
        break;
      }
      if (seen[number]) damaged("its block chain loops");
      seen[number] = true;
      const unsigned char* head = headOf(number);
      const BlockHeader block = ReadBlockHeader(head);
      const long count = block.lastOffset < 0 ? 0 : block.lastOffset / header_.recordSize + 1;
      if (static_cast<std::size_t>(count) > capacity_) damaged("a data block overflows");
      if (count > 0) {
        count_[number] = static_cast<std::uint16_t>(count);
        prev_[number] = previous;
        if (previous != 0) next_[previous] = number;
        if (keyed()) {
          setFirstKey(number, head + kBlockHeaderSize);
        }
        order_.push_back(number);
        recordCount_ += static_cast<std::size_t>(count);
        previous = number;
      }
      number = block.next;
    }
    for (std::uint16_t b = 1; b <= fileBlocks_; ++b) {
      if (!seen[b]) freeBlocks_.push_back(b);
    }
    if (header_.numRecords != recordCount_) {
      fault("its header counts " + std::to_string(header_.numRecords) +
            " records but its blocks hold " + std::to_string(recordCount_));
    }
    if (header_.fileBlocks > fileBlocks_) {
      fault("its header counts " + std::to_string(header_.fileBlocks) +
            " blocks but the file holds " + std::to_string(fileBlocks_));
    }
    if (const std::uint64_t rest = dataBytes % blockSize_; rest != 0) {
      fault(std::to_string(rest) + " bytes follow its last whole block");
    }
  }

  void fault(const std::string& what) { faults_ += (faults_.empty() ? "" : "; ") + what; }

  // Before the first change: the table must be writable and held by us alone.
  void beginChange() {
    if (readOnly_) throw TableError("Table '" + name_ + "' is read-only");
    if (!faults_.empty()) throw TableError("Table '" + name_ + "' cannot be changed: " + faults_);
    if (!lock_->exclusive()) lock_->makeExclusive();
    if (hasBlobs_ && !memo_) memo_ = MemoFile::Create(Companion(path_, ".mb"));
    trimCache();
  }

  // Keeps the block cache bounded; called only between operations, so no block pointer an
  // operation holds can go stale.
  void trimCache() {
    if (sealed_.size() >= kRunBlocks) writeSealed();
    if (cachedBlocks_ < cacheLimit_) return;
    writeBack();
    dropCache();
  }

  bool isCached(std::uint16_t number) const { return !cache_[number].data.empty(); }

  // A cache entry for a block, its buffer zeroed (a spare one when there is).
  CachedBlock& cacheEntry(std::uint16_t number) {
    CachedBlock& entry = cache_[number];
    if (entry.data.empty()) {
      ++cachedBlocks_;
      if (!spare_.empty()) {
        entry.data = std::move(spare_.back());
        spare_.pop_back();
      }
    }
    entry.data.assign(blockSize_, 0);
    return entry;
  }

  void evict(std::uint16_t number) {
    CachedBlock& entry = cache_[number];
    if (entry.data.empty()) return;
    if (spare_.size() < kSpareBuffers) spare_.push_back(std::move(entry.data));
    entry = CachedBlock();
    --cachedBlocks_;
  }

  void dropCache() {
    for (std::size_t number = 1; number < cache_.size(); ++number)
      evict(static_cast<std::uint16_t>(number));
  }

  // A block's cache entry, read from the file when it is not cached yet.
  CachedBlock& cached(std::uint16_t number) {
    if (isCached(number)) return cache_[number];
    CachedBlock& entry = cacheEntry(number);
    if (number <= fileBlocks_ && blockOffset(number) < fileSize_) {
      dbase_io::ReadAt(fd_, entry.data.data(), blockSize_, blockOffset(number), name_);
    }
    return entry;
  }

  unsigned char* block(std::uint16_t number) { return cached(number).data.data(); }

  void writeBlockNow(std::uint16_t number) {
    block(number);
    journal_->save(blockOffset(number), blockSize_);
    writeRuns(std::span<const std::uint16_t>(&number, 1));
  }

  // Writes cached blocks, listed in ascending order, in runs of neighbouring blocks; their old
  // bytes are saved in the journal already.
  void writeRuns(std::span<const std::uint16_t> numbers) {
    std::vector<iovec>& pieces = pieces_;
    for (std::size_t first = 0; first < numbers.size();) {
      pieces.clear();
      std::size_t end = first;
      do {
        const std::uint16_t number = numbers[end];
        unsigned char* data = cache_[number].data.data();
        WriteBlockHeader(data, next_[number], prev_[number], count_[number], header_.recordSize);
        pieces.push_back({data, blockSize_});
        ++end;
      } while (end < numbers.size() && numbers[end] == numbers[end - 1] + 1 &&
               end - first < kRunBlocks);
      const std::uint64_t offset = blockOffset(numbers[first]);
      journal_->writeAt(pieces, offset, name_);
      fileSize_ = std::max<std::uint64_t>(fileSize_, offset + pieces.size() * blockSize_);
      for (; first < end; ++first)
        cache_[numbers[first]].dirty = false;  // only once they are written
    }
  }

  void writeBack() {
    std::vector<std::uint16_t> dirty;
    for (std::size_t number = 1; number < cache_.size(); ++number) {
      if (cache_[number].dirty) dirty.push_back(static_cast<std::uint16_t>(number));
    }
    // A block written whole carries its links.
    std::sort(linkDirty_.begin(), linkDirty_.end());
    linkDirty_.erase(std::unique(linkDirty_.begin(), linkDirty_.end()), linkDirty_.end());
    std::erase_if(linkDirty_, [&](std::uint16_t number) {
      return std::binary_search(dirty.begin(), dirty.end(), number);
    });
    // The old bytes of every block rewritten here reach the journal with one sync.
    for (std::uint16_t number : dirty)
      journal_->save(blockOffset(number), blockSize_);
    for (std::uint16_t number : linkDirty_)
      journal_->save(blockOffset(number), kBlockHeaderSize);
    writeRuns(dirty);
    for (std::uint16_t number : linkDirty_) {
      // A block that emptied before it was ever written goes to the file whole, empty.
      const bool inFile = blockOffset(number) + blockSize_ <= fileSize_;
      std::vector<unsigned char> head(inFile ? kBlockHeaderSize : blockSize_, 0);
      WriteBlockHeader(head.data(), next_[number], prev_[number], count_[number],
                       header_.recordSize);
      journal_->writeAt(head.data(), head.size(), blockOffset(number), name_);
      fileSize_ = std::max<std::uint64_t>(fileSize_, blockOffset(number) + head.size());
    }
    linkDirty_.clear();
    sealed_.clear();
  }

  // The full blocks that appends at the end have moved past go to disk and leave the cache.
  void writeSealed() {
    std::sort(sealed_.begin(), sealed_.end());
    std::erase_if(sealed_, [&](std::uint16_t number) {
      if (cache_[number].dirty) return false;
      evict(number);
      return true;
    });
    for (std::uint16_t number : sealed_)
      journal_->save(blockOffset(number), blockSize_);
    writeRuns(sealed_);
    for (std::uint16_t number : sealed_)
      evict(number);
    sealed_.clear();
  }

  // A block's links changed: written with the block when it is cached, else on their own.
  void linksChanged(std::uint16_t number) {
    if (isCached(number)) {
      cache_[number].dirty = true;
    } else {
      linkDirty_.push_back(number);
    }
  }

  std::uint16_t allocateBlock() {
    std::uint16_t number = 0;
    if (!freeBlocks_.empty()) {
      number = freeBlocks_.back();
      freeBlocks_.pop_back();
    } else {
      if (fileBlocks_ == 0xFFFF) throw TableError("Table '" + name_ + "' is full");
      number = ++fileBlocks_;
      growArrays(fileBlocks_);
    }
    cacheEntry(number).dirty = true;
    count_[number] = 0;
    return number;
  }

  // Puts a new block into the chain after the one at index (or first when index is npos).
  void linkAfter(std::size_t index, std::uint16_t number) {
    const std::uint16_t before = index == npos ? 0 : order_[index];
    const std::uint16_t after =
        index == npos ? (order_.empty() ? 0 : order_.front()) : next_[before];
    next_[number] = after;
    prev_[number] = before;
    if (before != 0) next_[before] = number, linksChanged(before);
    if (after != 0) prev_[after] = number, linksChanged(after);
    const std::size_t at = index == npos ? 0 : index + 1;
    order_.insert(order_.begin() + static_cast<std::ptrdiff_t>(at), number);
    if (after == 0 && treeValid_) {
      treeAppend(count_[number]);
    } else {
      treeValid_ = false;
    }
  }

  std::size_t insertAt(std::size_t index, std::size_t slot, const unsigned char* record) {
    const std::size_t size = header_.recordSize;
    changed_ = true;
    if (order_.empty()) {
      const std::uint16_t number = allocateBlock();
      count_[number] = 0;
      linkAfter(npos, number);
      index = 0;
      slot = 0;
    }
    std::uint16_t number = order_[index];
    if (count_[number] == capacity_) {
      const std::uint16_t fresh = allocateBlock();
      unsigned char* full = block(number);
      unsigned char* target = block(fresh);
      if (index + 1 == order_.size() && slot == capacity_) {
        linkAfter(index, fresh);  // the end of the table: start a new block
        sealed_.push_back(number);
        index += 1;
        slot = 0;
      } else {
        const std::size_t keep = capacity_ / 2;
        const std::size_t moved = capacity_ - keep;
        std::memcpy(target + kBlockHeaderSize, full + kBlockHeaderSize + keep * size, moved * size);
        count_[fresh] = static_cast<std::uint16_t>(moved);
        count_[number] = static_cast<std::uint16_t>(keep);
        if (keyed()) setFirstKey(fresh, target + kBlockHeaderSize);
        linkAfter(index, fresh);
        if (treeValid_) treeAdd(index, -static_cast<long>(moved));
        cached(number).dirty = true;
        if (slot > keep) {
          index += 1;
          slot -= keep;
        }
      }
      number = order_[index];
    }
    unsigned char* data = block(number) + kBlockHeaderSize;
    const std::size_t count = count_[number];
    std::memmove(data + (slot + 1) * size, data + slot * size, (count - slot) * size);
    std::memcpy(data + slot * size, record, size);
    count_[number] = static_cast<std::uint16_t>(count + 1);
    cached(number).dirty = true;
    if (keyed() && slot == 0) {
      setFirstKey(number, record);
    }
    ++recordCount_;
    if (treeValid_) treeAdd(index, 1);
    return prefix(index) + slot;
  }

  void removeAt(std::size_t position) {
    const auto [index, slot] = locate(position);
    const std::uint16_t number = order_[index];
    const std::size_t size = header_.recordSize;
    unsigned char* data = block(number) + kBlockHeaderSize;
    const std::size_t count = count_[number];
    changed_ = true;
    std::memmove(data + slot * size, data + (slot + 1) * size, (count - slot - 1) * size);
    count_[number] = static_cast<std::uint16_t>(count - 1);
    --recordCount_;
    if (count == 1) {
      // An empty block leaves the chain and becomes a free one, its header saying so; it is reused
      // only after the next flush has written the links that no longer point to it.
      const std::uint16_t before = prev_[number], after = next_[number];
      if (before != 0) next_[before] = after, linksChanged(before);
      if (after != 0) prev_[after] = before, linksChanged(after);
      next_[number] = prev_[number] = 0;
      evict(number);
      linkDirty_.push_back(number);
      order_.erase(order_.begin() + static_cast<std::ptrdiff_t>(index));
      pendingFree_.push_back(number);
      treeValid_ = false;
      return;
    }
    if (keyed() && slot == 0) {
      setFirstKey(number, data);
    }
    writeBlockNow(number);
    if (treeValid_) treeAdd(index, -1);
  }

  // The block index and slot of the first record whose key is not below the record's key; true
  // when that record has the same key.
  bool findKey(const unsigned char* record, std::size_t& index, std::size_t& slot) {
    index = 0;
    slot = 0;
    if (order_.empty()) return false;
    // Records arriving in key order go after the last one: no search.
    const std::uint16_t lastBlock = order_.back();
    if (const std::size_t lastCount = count_[lastBlock]; lastCount > 0) {
      const unsigned char* last =
          block(lastBlock) + kBlockHeaderSize + (lastCount - 1) * header_.recordSize;
      if (std::memcmp(last, record, keySize_) < 0) {
        index = order_.size() - 1;
        slot = lastCount;
        return false;
      }
    }
    auto it = std::upper_bound(order_.begin(), order_.end(), record,
                               [&](const unsigned char* key, std::uint16_t b) {
                                 return std::memcmp(key, firstKey(b), keySize_) < 0;
                               });
    index = it == order_.begin() ? 0 : static_cast<std::size_t>(it - order_.begin()) - 1;
    const std::uint16_t number = order_[index];
    const unsigned char* data = block(number) + kBlockHeaderSize;
    std::size_t low = 0, high = count_[number];
    while (low < high) {
      const std::size_t mid = (low + high) / 2;
      if (std::memcmp(data + mid * header_.recordSize, record, keySize_) < 0) {
        low = mid + 1;
      } else {
        high = mid;
      }
    }
    slot = low;
    return low < count_[number] &&
           std::memcmp(data + low * header_.recordSize, record, keySize_) == 0;
  }

  // Encodes every field but the blobs, converting values to the field types. An empty
  // auto-increment field takes the next number (on update: keeps the old one). Gives the
  // auto-increment value stored.
  std::int64_t encodeFixed(const Record& record, const unsigned char* old, unsigned char* out) {
    if (record.size() != header_.fields.size()) {
      throw TableError("Table '" + name_ + "': record has the wrong number of fields");
    }
    std::int64_t autoValue = 0;
    for (std::size_t i : fixedFields_) {
      const FieldLayout& field = header_.fields[i];
      unsigned char* target = out + field.offset;
      if (field.code != kAutoInc && HoldsFieldValue(field.def, record[i])) {
        EncodeField(field, record[i], target);  // converted already, as the table's fields do
        continue;
      }
      Value value = ConvertForField(field.def, record[i]);
      if (field.code == kAutoInc) {
        if (value.isNull() && old != nullptr) {
          std::memcpy(target, old + field.offset, field.width);
          continue;
        }
        if (value.isNull()) value = Value::Integer(std::int64_t{header_.autoInc} + 1);
        autoValue = std::max(autoValue, value.integer());
      }
      EncodeField(field, value, target);
    }
    return autoValue;
  }

  // Encodes the blob fields; an unchanged blob keeps its place in the memo file.
  void encodeBlobs(const Record& record, const unsigned char* old, unsigned char* out) {
    for (std::size_t i : blobFields_) {
      const FieldLayout& field = header_.fields[i];
      const Value value = ConvertForField(field.def, record[i]);
      if (old != nullptr) {
        Value previous;
        DecodeField(field, old + field.offset, memo_.get(), name_, previous);
        if (previous == value) {
          std::memcpy(out + field.offset, old + field.offset, field.width);
          continue;
        }
      }
      EncodeBlob(field, value, memo_.get(), name_, out + field.offset);
    }
  }

  // Record positions: a Fenwick tree over the blocks' counts in chain order.
  void rebuildTree() {
    tree_.assign(order_.size() + 1, 0);
    for (std::size_t i = 0; i < order_.size(); ++i) {
      tree_[i + 1] += count_[order_[i]];
      const std::size_t parent = (i + 1) + ((i + 1) & (~(i + 1) + 1));
      if (parent <= order_.size()) tree_[parent] += tree_[i + 1];
    }
    treeValid_ = true;
  }

  // A block joined the end of the chain.
  void treeAppend(std::size_t count) {
    const std::size_t i = tree_.size();
    std::size_t sum = count;
    for (std::size_t j = i - 1, low = i - (i & (~i + 1)); j > low; j -= j & (~j + 1))
      sum += tree_[j];
    tree_.push_back(sum);
  }

  void treeAdd(std::size_t index, long delta) {
    for (std::size_t i = index + 1; i < tree_.size(); i += i & (~i + 1)) {
      tree_[i] = static_cast<std::size_t>(static_cast<long>(tree_[i]) + delta);
    }
  }

  std::size_t prefix(std::size_t index) {
    if (!treeValid_) rebuildTree();
    std::size_t sum = 0;
    for (std::size_t i = index; i > 0; i -= i & (~i + 1))
      sum += tree_[i];
    return sum;
  }

  // The bytes of the record at a position, out sized for its values.
  const unsigned char* recordAt(std::size_t position, Record& out) {
    const auto [index, slot] = locate(position);
    trimCache();
    out.resize(header_.fields.size());
    return block(order_[index]) + kBlockHeaderSize + slot * header_.recordSize;
  }

  std::pair<std::size_t, std::size_t> locate(std::size_t position) {
    if (position >= recordCount_) {
      throw TableError("Table '" + name_ + "': record " + std::to_string(position) +
                       " does not exist");
    }
    if (!treeValid_) rebuildTree();
    std::size_t index = 0;
    std::size_t rest = position;
    std::size_t step = 1;
    while (step * 2 < tree_.size())
      step *= 2;
    for (; step > 0; step /= 2) {
      if (index + step < tree_.size() && tree_[index + step] <= rest) {
        index += step;
        rest -= tree_[index];
      }
    }
    return {index, rest};
  }

  static constexpr std::size_t npos = static_cast<std::size_t>(-1);

  std::filesystem::path path_;
  std::string name_;
  std::optional<FileLock> lock_;
  int fd_ = -1;
  std::optional<RollbackJournal> journal_;  // set once fd_ is open
  std::string faults_;
  bool readOnly_ = false;
  bool changed_ = false;
  TableHeader header_;
  std::vector<unsigned char> headerBytes_;
  std::vector<FieldDef> fieldDefs_;
  std::vector<IndexDef> indexDefs_;
  bool hasBlobs_ = false;
  std::vector<std::size_t> fixedFields_, blobFields_;  // field numbers
  std::size_t keySize_ = 0;
  std::unique_ptr<MemoFile> memo_;
  std::size_t blockSize_ = 0;
  std::size_t capacity_ = 0;
  std::uint64_t fileSize_ = 0;

  // The chain: block numbers in order, and per block number its links, count and first key (keyed
  // tables; the keys side by side, keySize_ bytes each).
  std::vector<std::uint16_t> order_;
  std::vector<std::uint16_t> next_, prev_, count_;
  std::vector<unsigned char> firstKeys_;
  std::uint16_t fileBlocks_ = 0;
  std::vector<std::uint16_t> freeBlocks_, pendingFree_;
  std::vector<std::uint16_t> linkDirty_;
  std::size_t recordCount_ = 0;
  std::vector<std::size_t> tree_;
  bool treeValid_ = false;

  std::vector<CachedBlock> cache_;  // by block number; an empty one holds no block
  std::size_t cachedBlocks_ = 0;
  std::vector<std::vector<unsigned char>> spare_;  // buffers of blocks that left the cache
  std::vector<std::uint16_t> sealed_;  // full blocks appends moved past, written in runs
  std::vector<iovec> pieces_;          // the blocks of the run being written
  std::size_t cacheLimit_ = 0;
  Value checked_;                         // a value read only for its error
  std::vector<unsigned char> newRecord_;  // the bytes of the record being appended
};

}  // namespace

std::unique_ptr<TableStorage> OpenParadoxStorage(const std::filesystem::path& path, OpenMode mode) {
  return std::make_unique<ParadoxStorage>(path, mode);
}

std::unique_ptr<TableStorage> CreateParadoxStorage(const std::filesystem::path& path,
                                                   const std::vector<FieldDef>& fields,
                                                   const std::vector<IndexDef>& indexes) {
  return std::make_unique<ParadoxStorage>(path, fields, indexes);
}

}  // namespace nox::tables
