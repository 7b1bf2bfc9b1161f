// dBase tables (.dbf, memo values in .dbt): dBase III+, IV, 5 and 7 headers, with the binary field
// types of dBase 7 and Visual FoxPro read and written in place.
//
// Crash safety: records reach the file before the header's record count, and every write into
// the .dbf goes through a rollback journal, so a writer killed at any moment leaves, once the
// journal is replayed at the next open, the table as its last flush left it. A file whose header
// count and length disagree otherwise (cut short, or records nothing counts) is read as far as
// both go and refuses changes, so nothing the header does not count is ever overwritten.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <ctime>
#include <limits>
#include <optional>
#include <span>
#include <string_view>

#include "host/date_time.h"
#include "host/messages.h"
#include "host/number_format.h"
#include "tables/dbase_io.h"
#include "tables/dbase_memo.h"
#include "tables/file_lock.h"
#include "tables/path_lookup.h"
#include "tables/rollback_journal.h"
#include "tables/storage.h"

namespace nox::tables {
namespace {

namespace io = dbase_io;

constexpr std::size_t kHeaderPrefixSize = 32;
constexpr std::size_t kDescriptorSize = 32;
constexpr std::size_t kDbase7HeaderPrefixSize = 68;
constexpr std::size_t kDbase7DescriptorSize = 48;
constexpr char kDescriptorEnd = 0x0D;
constexpr char kEndOfFile = 0x1A;
constexpr char kDeleted = '*';
constexpr char kLive = ' ';
constexpr std::size_t kMaxNameLength = 10;
// New tables declare Windows-1257 (Baltic), the code page of the data this program keeps.
constexpr unsigned char kNewTableLanguageDriver = 0xCC;
constexpr unsigned char kVersionNoMemo = 0x03;
constexpr unsigned char kVersionDbase4Memo = 0x8B;
constexpr std::size_t kBufferBytes = std::size_t{1} << 20;
// The engine's day 0 (30 December 1899) as a Julian day number.
constexpr std::int64_t kJulianDayOfDayZero = 2415019;
constexpr double kMillisecondsPerDay = 86400000.0;

enum class Codec : std::uint8_t {
  Text,            // C: bytes, blank-padded
  Integer,         // N/F without decimals, narrow enough for a 32-bit integer
  Number,          // N/F otherwise
  Date,            // D: YYYYMMDD
  Logical,         // L
  Memo,            // M/B/G: block number of the memo file
  Int32LE,         // I/+ of Visual FoxPro
  Int32Dbase7,     // I/+ of dBase 7: big-endian, sign bit flipped
  DoubleLE,        // B of Visual FoxPro, O outside dBase 7
  DoubleDbase7,    // O of dBase 7: big-endian, ordered as bytes
  Currency,        // Y: 64-bit integer of ten-thousandths
  DateTimeLE,      // T/@: Julian day and milliseconds, two little-endian 32-bit numbers
  DateTimeDbase7,  // @ of dBase 7: the same two numbers big-endian
  Raw,             // anything else: the bytes as they stand
};

struct Column {
  Codec codec = Codec::Raw;
  char code = 0;
  std::uint32_t offset = 0;  // from the record's start; byte 0 is the deletion flag
  std::uint32_t width = 0;
  int decimals = 0;
};

bool IsFoxPro(unsigned char version) {
  return version == 0x30 || version == 0x31 || version == 0x32;
}

std::string DbaseLevelName(unsigned char version) {
  if (IsFoxPro(version)) return "Visual FoxPro";
  switch (version & 0x07) {
    case 3:
      return "dBase III+";
    case 4:
      return "dBase 7";
    case 5:
      return "dBase 5";
    default:
      return "dBase";
  }
}

// Whether a field's bytes can be invalid (a decoding error); the others always read.
bool CanBeInvalid(Codec codec) {
  switch (codec) {
    case Codec::Text:
    case Codec::Logical:
    case Codec::Raw:
    case Codec::Int32LE:
    case Codec::Int32Dbase7:
    case Codec::DoubleLE:
    case Codec::DoubleDbase7:
    case Codec::Currency:
      return false;
    default:
      return true;
  }
}

bool IsBlank(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](char c) { return c == ' ' || c == '\0'; });
}

// The calendar date of a date field's eight digits (YYYYMMDD); nothing when they are no digits or
// no date.
std::optional<host::CivilDate> DateOfDigits(const char* p) {
  int digits[8];
  for (int i = 0; i < 8; ++i) {
    if (p[i] < '0' || p[i] > '9') return std::nullopt;
    digits[i] = p[i] - '0';
  }
  const host::CivilDate date{digits[0] * 1000 + digits[1] * 100 + digits[2] * 10 + digits[3],
                             digits[4] * 10 + digits[5], digits[6] * 10 + digits[7]};
  if (!host::IsValidDate(date)) return std::nullopt;
  return date;
}

std::string_view Trim(std::string_view text) {
  auto blank = [](char c) { return c == ' ' || c == '\0'; };
  while (!text.empty() && blank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && blank(text.back()))
    text.remove_suffix(1);
  return text;
}

std::string NativeTypeText(const Column& column) {
  std::string text(1, column.code);
  text += "(" + std::to_string(column.width);
  if (column.decimals > 0) text += "," + std::to_string(column.decimals);
  return text + ")";
}

std::string NumberText(double number) {
  std::array<char, 64> buffer{};
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), number);
  return std::string(buffer.data(), result.ptr);
}

// Rounds a plain decimal number ("-12.345") to the given places, halves away from zero, as the
// digits a user sees would round; pads with zeros. "-0.00" becomes "0.00".
void RoundDecimalText(std::string& text, int decimals) {
  std::size_t point = text.find('.');
  if (point == std::string::npos) {
    point = text.size();
    text += '.';
  }
  auto places = static_cast<std::size_t>(decimals);
  std::size_t fraction = text.size() - point - 1;
  if (fraction < places) text.append(places - fraction, '0');
  if (fraction > places) {
    bool up = text[point + 1 + places] >= '5';
    text.resize(point + 1 + places);
    for (std::size_t i = text.size(); up && i-- > 0;) {
      if (text[i] == '.') continue;
      if (text[i] == '-') {
        text.insert(i + 1, "1");
        up = false;
      } else if (text[i] == '9') {
        text[i] = '0';
      } else {
        ++text[i];
        up = false;
      }
    }
    if (up) text.insert(0, "1");
  }
  if (decimals == 0) text.pop_back();
  if (text.front() == '-' && text.find_first_not_of("-0.") == std::string::npos) text.erase(0, 1);
}

constexpr std::size_t kFixedTextSize = 48;

// What RoundDecimalText makes of a number's shortest digits, written directly where that is
// certain: a whole number, or a double that is the nearest one to a decimal of at most `decimals`
// places and below 2^50 once scaled (no other such decimal is that near, so the shortest digits
// are that decimal's). Gives the text in out, or an empty view for the general way.
std::string_view FixedDecimals(const Value& value, int decimals, char* out) {
  static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  constexpr double kExactLimit = 0x1p50;
  if (decimals < 0 || decimals > 15) return {};
  std::int64_t scaled = 0;
  bool whole = value.kind() == Value::Kind::Integer;
  if (whole) {
    scaled = value.integer();
  } else {
    const double number = value.number();
    const double power = kPowers[decimals];
    const double candidate = std::nearbyint(number * power);
    if (!(std::fabs(candidate) < kExactLimit) || candidate / power != number) return {};
    scaled = static_cast<std::int64_t>(candidate);
  }
  char* at = out;
  if (scaled < 0) *at++ = '-';
  char digits[24];
  const std::uint64_t magnitude =
      scaled < 0 ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
  const auto length =
      static_cast<int>(std::to_chars(digits, digits + sizeof digits, magnitude).ptr - digits);
  if (whole) {
    at = std::copy(digits, digits + length, at);
    if (decimals > 0) {
      *at++ = '.';
      at = std::fill_n(at, decimals, '0');
    }
    return {out, static_cast<std::size_t>(at - out)};
  }
  // A scaled value of fewer digits than decimals gets its leading zeros.
  const int padded = std::max(length, decimals + 1);
  for (int i = 0; i < padded; ++i) {
    if (i == padded - decimals) *at++ = '.';
    const int from = i - (padded - length);
    *at++ = from < 0 ? '0' : digits[from];
  }
  return {out, static_cast<std::size_t>(at - out)};
}

std::string ValueText(const Value& value) {
  switch (value.kind()) {
    case Value::Kind::Null:
      return "null";
    case Value::Kind::Text:
      return host::QuotedInput(value.text());
    case Value::Kind::Integer:
      return std::to_string(value.integer());
    case Value::Kind::Boolean:
      return value.boolean() ? "true" : "false";
    case Value::Kind::Float:
    case Value::Kind::Currency:
    case Value::Kind::Date:
      return NumberText(value.number());
  }
  return {};
}

std::uint32_t GetU32BigEndian(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | b[3];
}

void PutU32BigEndian(char* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i)
    p[i] = static_cast<char>(v >> (24 - 8 * i));
}

std::uint64_t GetU64(const char* p, bool bigEndian) {
  std::uint64_t v = 0;
  for (int i = 0; i < 8; ++i) {
    auto byte = static_cast<unsigned char>(p[bigEndian ? i : 7 - i]);
    v = v << 8 | byte;
  }
  return v;
}

void PutU64(char* p, std::uint64_t v, bool bigEndian) {
  for (int i = 0; i < 8; ++i) {
    p[bigEndian ? 7 - i : i] = static_cast<char>(v >> (8 * i));
  }
}

// Today's date for the header's last-update bytes.
std::array<unsigned char, 3> TodayForHeader() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {static_cast<unsigned char>(std::clamp(local.tm_year, 0, 255)),
          static_cast<unsigned char>(local.tm_mon + 1), static_cast<unsigned char>(local.tm_mday)};
}

// The memo file beside a table: same name, extension ".dbt" in any case (files from DOS carry
// upper-case names); ".dbt" in the table extension's case when none exists yet.
std::filesystem::path MemoPathFor(const std::filesystem::path& table) {
  std::string extension = table.extension().string();
  bool upper = !extension.empty() && std::isupper(static_cast<unsigned char>(extension.back()));
  std::filesystem::path preferred = table;
  preferred.replace_extension(upper ? ".DBT" : ".dbt");
  return ExistingSpelling(preferred);
}

// How a field of a given code and width reads, and the type the engine reports for it.
struct FieldMapping {
  Codec codec;
  FieldType type;
  int size;
};

std::optional<FieldMapping> MapField(char code, std::uint32_t width, int decimals,
                                     unsigned char version, bool dbase7) {
  switch (code) {
    case 'C':
      if (width == 0) return std::nullopt;
      return FieldMapping{Codec::Text, FieldType::String, static_cast<int>(width)};
    case 'N':
    case 'F':
      if (width == 0 || width > 254) return std::nullopt;
      if (decimals == 0 && width < 5) return FieldMapping{Codec::Integer, FieldType::SmallInt, 0};
      if (decimals == 0 && width < 10) return FieldMapping{Codec::Integer, FieldType::Integer, 0};
      return FieldMapping{Codec::Number, FieldType::Float, 0};
    case 'D':
      if (width != 8) return std::nullopt;
      return FieldMapping{Codec::Date, FieldType::Date, 0};
    case 'L':
      if (width != 1) return std::nullopt;
      return FieldMapping{Codec::Logical, FieldType::Boolean, 0};
    case 'M':
      if (width != 10) return std::nullopt;
      return FieldMapping{Codec::Memo, FieldType::Memo, 0};
    case 'B':
      if (IsFoxPro(version) && width == 8)
        return FieldMapping{Codec::DoubleLE, FieldType::Float, 0};
      if (width != 10) return std::nullopt;
      return FieldMapping{Codec::Memo, FieldType::Blob, 0};
    case 'G':
      if (width != 10) return std::nullopt;
      return FieldMapping{Codec::Memo, FieldType::Graphic, 0};
    case 'I':
    case '+':
      if (width != 4) return std::nullopt;
      return FieldMapping{dbase7 ? Codec::Int32Dbase7 : Codec::Int32LE,
                          code == '+' ? FieldType::AutoInc : FieldType::Integer, 0};
    case 'O':
      if (width != 8) return std::nullopt;
      return FieldMapping{dbase7 ? Codec::DoubleDbase7 : Codec::DoubleLE, FieldType::Float, 0};
    case 'Y':
      if (width != 8) return std::nullopt;
      return FieldMapping{Codec::Currency, FieldType::Currency, 0};
    case '@':
    case 'T':
      if (width != 8) return std::nullopt;
      return FieldMapping{dbase7 && code == '@' ? Codec::DateTimeDbase7 : Codec::DateTimeLE,
                          FieldType::DateTime, 0};
    default:
      if (width == 0) return std::nullopt;
      return FieldMapping{Codec::Raw, FieldType::Bytes, static_cast<int>(width)};
  }
}

// The stored form chosen for a field created from its engine type alone.
struct NativeField {
  char code;
  int width;
  int decimals;
};

NativeField DefaultNativeField(const FieldDef& def, const std::string& table) {
  switch (def.type) {
    case FieldType::String:
      return {'C', def.size, 0};
    case FieldType::SmallInt:
    case FieldType::Word:
      return {'N', 6, 0};
    case FieldType::Integer:
    case FieldType::AutoInc:
      return {'N', 11, 0};
    case FieldType::Float:
    case FieldType::Currency:
    case FieldType::BCD:
      return {'N', 20, 4};
    case FieldType::Boolean:
      return {'L', 1, 0};
    case FieldType::Date:
      return {'D', 8, 0};
    case FieldType::Memo:
    case FieldType::FmtMemo:
      return {'M', 10, 0};
    case FieldType::Blob:
    case FieldType::Ole:
      return {'B', 10, 0};
    case FieldType::Graphic:
      return {'G', 10, 0};
    default: {
      std::string name(FieldTypeListName(def.type));
      throw TableError(
          "Field '" + def.name + "' of table '" + table + "' has a type (" +
          (name.empty() ? "code " + std::to_string(static_cast<int>(def.type)) : name) +
          ") that dBase tables cannot store");
    }
  }
}

class DbaseStorage final : public TableStorage {
 public:
  DbaseStorage(const std::filesystem::path& path, FileLock lock);
  ~DbaseStorage() override;

  TableType type() const override { return TableType::DBase; }
  std::string formatLevel() const override;
  std::string faults() const override { return faults_; }
  const std::filesystem::path& path() const override { return path_; }
  const std::vector<FieldDef>& fieldDefs() const override { return defs_; }
  const std::vector<IndexDef>& indexDefs() const override { return indexDefs_; }
  std::size_t recordCount() const override { return liveCount_; }
  void readRecord(std::size_t position, Record& out) override;
  void readFields(std::size_t position, std::span<const int> fields, Record& out) override;
  std::size_t appendRecord(const Record& record) override;
  std::size_t updateRecord(std::size_t position, const Record& record) override;
  void deleteRecord(std::size_t position) override;
  void emptyTable() override;
  void writeEmptied(const std::filesystem::path& directory) const override;
  void flush() override;
  void prepareWrite() override;
  void close() override;

 private:
  [[noreturn]] void damaged(const std::string& what) const;
  void readHeader();
  void scanDeleted();
  std::size_t physicalPosition(std::size_t position) const;
  const char* recordBytes(std::size_t physical);
  const char* liveRecord(std::size_t position, std::size_t& physical, Record& out);
  void decodeField(std::size_t index, const char* record, Value& out, std::size_t physical);
  bool readsWithoutError(std::size_t index, const char* record) const;
  void encodeFields(const Record& record, char* out, bool memos);
  void encodeField(std::size_t index, const Value& value, char* out);
  [[noreturn]] void doesNotFit(std::size_t index, const Value& value) const;
  void writePending();
  void writeHeaderCount();
  void fault(const std::string& what) { faults_ += (faults_.empty() ? "" : "; ") + what; }
  std::uint64_t recordOffset(std::size_t physical) const {
    return headerLength_ + std::uint64_t{physical} * recordLength_;
  }

  std::filesystem::path path_;
  std::string name_;
  FileLock lock_;
  int fd_ = -1;
  std::optional<RollbackJournal> journal_;  // set once fd_ is open
  std::string faults_;
  bool readOnlyFile_ = false;
  unsigned char version_ = 0;
  bool dbase7_ = false;
  std::uint32_t headerLength_ = 0;
  std::uint32_t recordLength_ = 0;
  std::vector<Column> columns_;
  std::vector<FieldDef> defs_;
  std::vector<IndexDef> indexDefs_;
  std::unique_ptr<DbaseMemoFile> memo_;

  std::size_t diskCount_ = 0;  // whole records in the file (live and deleted)
  std::size_t liveCount_ = 0;
  // For the i-th deleted record (in file order), its physical position minus i; empty when no
  // record is deleted. A live position p is at physical p + (entries <= p).
  std::vector<std::size_t> deletedShift_;

  std::vector<char> readBuffer_;
  std::size_t bufferFirst_ = 0;
  std::size_t bufferCount_ = 0;
  std::vector<char> pending_;  // appended records not yet written
  std::size_t pendingCount_ = 0;
  std::vector<char> scratch_;
  std::string memoText_;
  Value checked_;  // a value decoded only to see that it can be

  bool writable_ = false;     // lock made exclusive and the file trimmed to its records
  bool headerDirty_ = false;  // records changed since the header was last written
  bool needsSync_ = false;
};

std::string DbaseStorage::formatLevel() const {
  // dBase IV marks itself by its memo format on a level-3 version byte.
  if ((version_ & 0x07) == 3 && (version_ & 0x08) != 0) return "dBase IV";
  return DbaseLevelName(version_);
}

DbaseStorage::DbaseStorage(const std::filesystem::path& path, FileLock lock)
    : path_(path), name_(TableFileName(path)), lock_(std::move(lock)) {
  fd_ = io::OpenRegularFile(path, O_RDWR);
  if (fd_ < 0 && (errno == EACCES || errno == EROFS)) {
    fd_ = io::OpenRegularFile(path, O_RDONLY);
    readOnlyFile_ = true;
  }
  if (fd_ < 0) {
    throw TableError("Cannot open table '" + path.string() + "': " + std::strerror(errno));
  }
  journal_.emplace(path_, fd_);
  try {
    readHeader();
    scanDeleted();
  } catch (...) {
    ::close(fd_);
    throw;
  }
}

DbaseStorage::~DbaseStorage() {
  io::FlushAndCloseInDestructor(fd_, [this] { flush(); });
}

void DbaseStorage::close() {
  io::FlushAndClose(fd_, [this] { flush(); });
}

void DbaseStorage::damaged(const std::string& what) const {
  throw TableError("Table '" + name_ + "' is not a valid dBase table: " + what);
}

void DbaseStorage::readHeader() {
  std::uint64_t fileSize = io::FileSize(fd_, "Cannot read table '" + name_ + "'");
  std::array<unsigned char, kHeaderPrefixSize> prefix{};
  if (io::ReadAt(fd_, prefix.data(), prefix.size(), 0, "Cannot read table '" + name_ + "'") <
      prefix.size()) {
    damaged("the file is too short");
  }
  version_ = prefix[0];
  int level = version_ & 0x07;
  if (!IsFoxPro(version_) && level != 3 && level != 4 && level != 5) {
    damaged("unknown version byte " + std::to_string(version_));
  }
  dbase7_ = !IsFoxPro(version_) && level == 4;
  std::uint32_t headerRecordCount = io::GetU32(&prefix[4]);
  headerLength_ = io::GetU16(&prefix[8]);
  recordLength_ = io::GetU16(&prefix[10]);
  std::size_t first = dbase7_ ? kDbase7HeaderPrefixSize : kHeaderPrefixSize;
  std::size_t descriptorSize = dbase7_ ? kDbase7DescriptorSize : kDescriptorSize;
  std::size_t nameSize = dbase7_ ? 32 : 11;
  if (headerLength_ < first + descriptorSize || headerLength_ > fileSize) {
    damaged("header length " + std::to_string(headerLength_) + " is invalid");
  }
  if (recordLength_ < 2) damaged("record length " + std::to_string(recordLength_) + " is invalid");

  std::vector<char> header(headerLength_);
  if (io::ReadAt(fd_, header.data(), header.size(), 0, "Cannot read table '" + name_ + "'") <
      header.size()) {
    damaged("the header is cut short");
  }
  std::uint32_t offset = 1;
  std::size_t at = first;
  for (; at + descriptorSize <= header.size() && header[at] != kDescriptorEnd;
       at += descriptorSize) {
    const char* descriptor = &header[at];
    std::string_view name(descriptor, nameSize);
    name = name.substr(0, name.find('\0'));
    while (!name.empty() && name.back() == ' ')
      name.remove_suffix(1);
    std::size_t typeAt = dbase7_ ? 32 : 11;
    char code = descriptor[typeAt];
    auto width = static_cast<unsigned char>(descriptor[typeAt + 1 + (dbase7_ ? 0 : 4)]);
    auto decimals = static_cast<unsigned char>(descriptor[typeAt + 2 + (dbase7_ ? 0 : 4)]);
    std::string fieldName(name);
    if (fieldName.empty()) damaged("field " + std::to_string(columns_.size() + 1) + " has no name");
    auto mapping = MapField(code, width, decimals, version_, dbase7_);
    if (!mapping) {
      damaged("field '" + fieldName + "' of type '" + std::string(1, code) + "' has width " +
              std::to_string(width));
    }
    if (decimals > width) damaged("field '" + fieldName + "' has more decimals than digits");
    columns_.push_back({mapping->codec, code, offset, width, decimals});
    FieldDef def;
    def.name = std::move(fieldName);
    def.type = mapping->type;
    def.size = mapping->size;
    def.nativeType = code;
    def.nativeWidth = width;
    def.nativeDecimals = decimals;
    defs_.push_back(std::move(def));
    offset += width;
  }
  if (columns_.empty()) damaged("it has no fields");
  if (offset > recordLength_) {
    damaged("record length " + std::to_string(recordLength_) + " is shorter than its fields");
  }

  // Read the records both the header's count and the file's length account for; anything else
  // (a file cut short, records or bytes the header does not count) is reported.
  std::uint64_t wholeRecords = (fileSize - headerLength_) / recordLength_;
  diskCount_ = static_cast<std::size_t>(std::min<std::uint64_t>(headerRecordCount, wholeRecords));
  if (headerRecordCount > wholeRecords) {
    fault("its header counts " + std::to_string(headerRecordCount) +
          " records but the file holds only " + std::to_string(wholeRecords));
  } else if (headerRecordCount < wholeRecords) {
    fault("its header counts " + std::to_string(headerRecordCount) +
          " records but the file holds " + std::to_string(wholeRecords));
  } else if (std::uint64_t rest = fileSize - recordOffset(diskCount_); rest > 0) {
    char last = 0;
    io::ReadAt(fd_, &last, 1, fileSize - 1, "Cannot read table '" + name_ + "'");
    if (rest > 1 || last != kEndOfFile) {
      fault(std::to_string(rest) + " bytes follow its last record");
    }
  }

  bool hasMemo = std::any_of(columns_.begin(), columns_.end(),
                             [](const Column& c) { return c.codec == Codec::Memo; });
  if (hasMemo) {
    auto format = (version_ & 0x08) != 0 ? DbaseMemoFormat::DBase4 : DbaseMemoFormat::DBase3;
    memo_ = std::make_unique<DbaseMemoFile>(MemoPathFor(path_), format, !readOnlyFile_);
  }
}

void DbaseStorage::scanDeleted() {
  readBuffer_.resize(std::max<std::size_t>(kBufferBytes / recordLength_, 1) * recordLength_);
  std::size_t perBuffer = readBuffer_.size() / recordLength_;
  std::size_t deleted = 0;
  for (std::size_t physical = 0; physical < diskCount_; physical += perBuffer) {
    std::size_t count = std::min(perBuffer, diskCount_ - physical);
    std::size_t bytes = count * recordLength_;
    if (io::ReadAt(fd_, readBuffer_.data(), bytes, recordOffset(physical),
                   "Cannot read table '" + name_ + "'") < bytes) {
      damaged("records are cut short");
    }
    for (std::size_t i = 0; i < count; ++i) {
      if (readBuffer_[i * recordLength_] == kDeleted) {
        deletedShift_.push_back(physical + i - deleted);
        ++deleted;
      }
    }
    bufferFirst_ = physical;
    bufferCount_ = count;
  }
  liveCount_ = diskCount_ - deleted;
}

std::size_t DbaseStorage::physicalPosition(std::size_t position) const {
  if (deletedShift_.empty()) return position;
  auto skipped = std::upper_bound(deletedShift_.begin(), deletedShift_.end(), position) -
                 deletedShift_.begin();
  return position + static_cast<std::size_t>(skipped);
}

const char* DbaseStorage::recordBytes(std::size_t physical) {
  if (physical >= diskCount_) return pending_.data() + (physical - diskCount_) * recordLength_;
  if (physical < bufferFirst_ || physical >= bufferFirst_ + bufferCount_) {
    std::size_t perBuffer = readBuffer_.size() / recordLength_;
    std::size_t count = std::min(perBuffer, diskCount_ - physical);
    std::size_t bytes = count * recordLength_;
    if (io::ReadAt(fd_, readBuffer_.data(), bytes, recordOffset(physical),
                   "Cannot read table '" + name_ + "'") < bytes) {
      damaged("records are cut short");
    }
    bufferFirst_ = physical;
    bufferCount_ = count;
  }
  return readBuffer_.data() + (physical - bufferFirst_) * recordLength_;
}

// The bytes of a live record, out sized for its values.
const char* DbaseStorage::liveRecord(std::size_t position, std::size_t& physical, Record& out) {
  if (position >= liveCount_) {
    throw TableError("Table '" + name_ + "' has no record at position " + std::to_string(position));
  }
  physical = physicalPosition(position);
  out.resize(columns_.size());
  return recordBytes(physical);
}

void DbaseStorage::readRecord(std::size_t position, Record& out) {
  std::size_t physical = 0;
  const char* record = liveRecord(position, physical, out);
  for (std::size_t i = 0; i < columns_.size(); ++i)
    decodeField(i, record, out[i], physical);
}

void DbaseStorage::readFields(std::size_t position, std::span<const int> fields, Record& out) {
  std::size_t physical = 0;
  const char* record = liveRecord(position, physical, out);
  auto wanted = fields.begin();
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    if (wanted != fields.end() && static_cast<std::size_t>(*wanted) == i) {
      decodeField(i, record, out[i], physical);
      ++wanted;
    } else if (CanBeInvalid(columns_[i].codec) && !readsWithoutError(i, record)) {
      decodeField(i, record, checked_, physical);  // read only for its error
    }
  }
}

// Whether a field surely reads without error, told without making its value (a scan reading a
// few fields checks the others this way); false leaves the question to the full reading.
bool DbaseStorage::readsWithoutError(std::size_t index, const char* record) const {
  const Column& column = columns_[index];
  const char* p = record + column.offset;
  const std::string_view bytes(p, column.width);
  switch (column.codec) {
    case Codec::Integer:
    case Codec::Number: {
      std::string_view text = Trim(bytes);
      if (text.empty() || text.front() == '*') return true;
      if (text.front() == '+') text.remove_prefix(1);
      double number = 0;
      return host::ReadPlainDecimal(text, number);
    }
    case Codec::Date:
      return IsBlank(bytes) || bytes == "00000000" || DateOfDigits(p).has_value();
    default:
      return false;
  }
}

void DbaseStorage::decodeField(std::size_t index, const char* record, Value& out,
                               std::size_t physical) {
  const Column& column = columns_[index];
  const char* p = record + column.offset;
  std::string_view bytes(p, column.width);
  auto invalid = [&](const char* what) {
    throw TableError("Field '" + defs_[index].name + "' of record " + std::to_string(physical + 1) +
                     " of table '" + name_ + "' holds an invalid " + what + " '" +
                     std::string(bytes) + "'");
  };
  switch (column.codec) {
    case Codec::Text: {
      std::size_t length = bytes.size();
      while (length > 0 && (p[length - 1] == ' ' || p[length - 1] == '\0'))
        --length;
      out.setText(bytes.substr(0, length));
      return;
    }
    case Codec::Integer:
    case Codec::Number: {
      std::string_view text = Trim(bytes);
      if (text.empty() || text.front() == '*') {
        out = Value();
        return;
      }
      if (text.front() == '+') text.remove_prefix(1);
      const char* end = text.data() + text.size();
      if (column.codec == Codec::Integer) {
        std::int64_t integer = 0;
        auto result = std::from_chars(text.data(), end, integer);
        if (result.ec == std::errc() && result.ptr == end) {
          out = Value::Integer(integer);
          return;
        }
      }
      double number = 0;
      if (!host::ReadPlainDecimal(text, number)) {
        auto result = std::from_chars(text.data(), end, number);
        if (result.ec != std::errc() || result.ptr != end || !std::isfinite(number)) {
          invalid("number");
        }
      }
      // A fraction in a field declared without decimals is kept rather than rounded away.
      if (column.codec == Codec::Integer && number == std::trunc(number)) {
        out = Value::Integer(static_cast<std::int64_t>(number));
      } else {
        out = Value::Float(number);
      }
      return;
    }
    case Codec::Date: {
      if (IsBlank(bytes) || bytes == "00000000") {
        out = Value();
        return;
      }
      const std::optional<host::CivilDate> date = DateOfDigits(p);
      if (!date) invalid("date");
      out = Value::Date(host::EncodeDate(*date));
      return;
    }
    case Codec::Logical:
      switch (p[0]) {
        case 'T':
        case 't':
        case 'Y':
        case 'y':
          out = Value::Boolean(true);
          return;
        case 'F':
        case 'f':
        case 'N':
        case 'n':
          out = Value::Boolean(false);
          return;
        default:
          out = Value();
          return;
      }
    case Codec::Memo: {
      std::string_view text = Trim(bytes);
      std::uint32_t block = 0;
      if (!text.empty()) {
        auto result = std::from_chars(text.data(), text.data() + text.size(), block);
        if (result.ec != std::errc() || result.ptr != text.data() + text.size()) {
          invalid("memo block number");
        }
      }
      memo_->read(block, memoText_);
      out.setText(memoText_);
      return;
    }
    case Codec::Int32LE:
      out = Value::Integer(
          static_cast<std::int32_t>(io::GetU32(reinterpret_cast<const unsigned char*>(p))));
      return;
    case Codec::Int32Dbase7: {
      std::uint32_t stored = GetU32BigEndian(p);
      if (stored == 0) {
        out = Value();
      } else {
        out = Value::Integer(static_cast<std::int32_t>(stored ^ 0x80000000u));
      }
      return;
    }
    case Codec::DoubleLE:
      out = Value::Float(std::bit_cast<double>(GetU64(p, false)));
      return;
    case Codec::DoubleDbase7: {
      std::uint64_t stored = GetU64(p, true);
      if (stored == 0) {
        out = Value();
        return;
      }
      constexpr std::uint64_t kSign = std::uint64_t{1} << 63;
      std::uint64_t bits = (stored & kSign) != 0 ? stored ^ kSign : ~stored;
      out = Value::Float(std::bit_cast<double>(bits));
      return;
    }
    case Codec::Currency:
      out = Value::Currency(static_cast<double>(static_cast<std::int64_t>(GetU64(p, false))) /
                            10000.0);
      return;
    case Codec::DateTimeLE:
    case Codec::DateTimeDbase7: {
      bool big = column.codec == Codec::DateTimeDbase7;
      auto day = static_cast<std::int32_t>(
          big ? GetU32BigEndian(p) : io::GetU32(reinterpret_cast<const unsigned char*>(p)));
      auto msec = static_cast<std::int32_t>(
          big ? GetU32BigEndian(p + 4) : io::GetU32(reinterpret_cast<const unsigned char*>(p + 4)));
      if (day == 0 && msec == 0) {
        out = Value();
        return;
      }
      if (msec < 0 || msec >= 86400000) invalid("time");
      out =
          Value::Date(static_cast<double>(day - kJulianDayOfDayZero) + msec / kMillisecondsPerDay);
      return;
    }
    case Codec::Raw:
      out.setText(bytes);
      return;
  }
}

void DbaseStorage::doesNotFit(std::size_t index, const Value& value) const {
  throw RecordRefused("Value " + ValueText(value) + " does not fit field '" + defs_[index].name +
                      "' " + NativeTypeText(columns_[index]) + " of table '" + name_ + "'");
}

void DbaseStorage::encodeField(std::size_t index, const Value& value, char* out) {
  const Column& column = columns_[index];
  char* p = out + column.offset;
  auto kind = value.kind();
  bool numeric =
      kind == Value::Kind::Integer || kind == Value::Kind::Float || kind == Value::Kind::Currency;
  auto asDouble = [&] {
    return kind == Value::Kind::Integer ? static_cast<double>(value.integer()) : value.number();
  };
  switch (column.codec) {
    case Codec::Text:
    case Codec::Raw: {
      std::string written;
      std::string_view text;
      if (kind == Value::Kind::Text) {
        text = value.text();
      } else if (kind == Value::Kind::Integer) {
        text = written = std::to_string(value.integer());
      } else if (kind == Value::Kind::Float || kind == Value::Kind::Currency) {
        text = written = NumberText(value.number());
      } else if (kind != Value::Kind::Null) {
        doesNotFit(index, value);
      }
      if (text.size() > column.width) doesNotFit(index, value);
      std::copy(text.begin(), text.end(), p);  // text may be an empty view without storage
      std::memset(p + text.size(), ' ', column.width - text.size());
      return;
    }
    case Codec::Integer:
    case Codec::Number: {
      std::memset(p, ' ', column.width);
      if (kind == Value::Kind::Null) return;
      if (!numeric) doesNotFit(index, value);
      if (kind != Value::Kind::Integer && !std::isfinite(value.number())) doesNotFit(index, value);
      std::array<char, kFixedTextSize> fixed{};
      std::string_view text = FixedDecimals(value, column.decimals, fixed.data());
      std::string rounded;
      if (text.empty()) {  // the general way: the shortest digits of the number, then rounded
        std::array<char, 400> buffer{};
        auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value.number(),
                                    std::chars_format::fixed);
        if (result.ec != std::errc()) doesNotFit(index, value);
        rounded.assign(buffer.data(), result.ptr);
        RoundDecimalText(rounded, column.decimals);
        text = rounded;
      }
      if (text.size() > column.width) doesNotFit(index, value);
      std::memcpy(p + column.width - text.size(), text.data(), text.size());
      return;
    }
    case Codec::Date: {
      std::memset(p, ' ', column.width);
      if (kind == Value::Kind::Null) return;
      // Beyond about 8,000 years either way no calendar date fits eight digits.
      if (kind != Value::Kind::Date || !(std::abs(value.number()) < 3.0e6)) {
        doesNotFit(index, value);
      }
      host::CivilDate date = host::DecodeDate(value.number());
      if (date.year < 1 || date.year > 9999) doesNotFit(index, value);
      // YYYYMMDD, digit by digit: this runs once per date field of every record written.
      const auto digits = [](char* at, int number, int count) {
        for (int i = count - 1; i >= 0; --i, number /= 10)
          at[i] = static_cast<char>('0' + number % 10);
      };
      digits(p, date.year, 4);
      digits(p + 4, date.month, 2);
      digits(p + 6, date.day, 2);
      return;
    }
    case Codec::Logical:
      if (kind == Value::Kind::Null) {
        p[0] = '?';
      } else if (kind == Value::Kind::Boolean) {
        p[0] = value.boolean() ? 'T' : 'F';
      } else {
        doesNotFit(index, value);
      }
      return;
    case Codec::Memo: {
      std::memset(p, ' ', column.width);
      if (kind == Value::Kind::Null) return;
      if (kind != Value::Kind::Text) doesNotFit(index, value);
      if (value.text().empty()) return;
      std::uint32_t block = memo_->write(value.text());
      std::array<char, 16> digits{};
      auto result = std::to_chars(digits.data(), digits.data() + digits.size(), block);
      auto length = static_cast<std::size_t>(result.ptr - digits.data());
      std::memcpy(p + column.width - length, digits.data(), length);
      return;
    }
    case Codec::Int32LE:
    case Codec::Int32Dbase7: {
      bool dbase7 = column.codec == Codec::Int32Dbase7;
      if (kind == Value::Kind::Null) {
        std::memset(p, 0, 4);
        return;
      }
      if (!numeric) doesNotFit(index, value);
      double number = asDouble();
      if (number != std::trunc(number) || number < std::numeric_limits<std::int32_t>::min() ||
          number > std::numeric_limits<std::int32_t>::max() || (dbase7 && number == INT32_MIN)) {
        doesNotFit(index, value);
      }
      auto bits = static_cast<std::uint32_t>(static_cast<std::int32_t>(number));
      if (dbase7) {
        PutU32BigEndian(p, bits ^ 0x80000000u);
      } else {
        io::PutU32(reinterpret_cast<unsigned char*>(p), bits);
      }
      return;
    }
    case Codec::DoubleLE:
    case Codec::DoubleDbase7: {
      bool dbase7 = column.codec == Codec::DoubleDbase7;
      if (kind == Value::Kind::Null) {
        std::memset(p, 0, 8);
        return;
      }
      if (!numeric) doesNotFit(index, value);
      auto bits = std::bit_cast<std::uint64_t>(asDouble());
      if (dbase7) {
        constexpr std::uint64_t kSign = std::uint64_t{1} << 63;
        bits = (bits & kSign) != 0 ? ~bits : bits ^ kSign;
      }
      PutU64(p, bits, dbase7);
      return;
    }
    case Codec::Currency: {
      if (kind == Value::Kind::Null) {
        std::memset(p, 0, 8);
        return;
      }
      if (!numeric) doesNotFit(index, value);
      double scaled = std::round(asDouble() * 10000.0);
      if (!(std::abs(scaled) < 9.2e18)) doesNotFit(index, value);
      PutU64(p, static_cast<std::uint64_t>(static_cast<std::int64_t>(scaled)), false);
      return;
    }
    case Codec::DateTimeLE:
    case Codec::DateTimeDbase7: {
      if (kind == Value::Kind::Null) {
        std::memset(p, 0, 8);
        return;
      }
      if (kind != Value::Kind::Date || !std::isfinite(value.number()) ||
          std::abs(value.number()) > 3.0e6) {
        doesNotFit(index, value);
      }
      double days = std::floor(value.number());
      auto msec =
          static_cast<std::int64_t>(std::llround((value.number() - days) * kMillisecondsPerDay));
      if (msec >= 86400000) {
        days += 1;
        msec -= 86400000;
      }
      auto day = static_cast<std::uint32_t>(static_cast<std::int64_t>(days) + kJulianDayOfDayZero);
      auto time = static_cast<std::uint32_t>(msec);
      if (column.codec == Codec::DateTimeDbase7) {
        PutU32BigEndian(p, day);
        PutU32BigEndian(p + 4, time);
      } else {
        io::PutU32(reinterpret_cast<unsigned char*>(p), day);
        io::PutU32(reinterpret_cast<unsigned char*>(p + 4), time);
      }
      return;
    }
  }
}

// Memo fields go last: a value refused by another field must not leave memo blocks behind for
// nothing, and a refused record leaves the table as it was.
void DbaseStorage::encodeFields(const Record& record, char* out, bool memos) {
  if (record.size() != columns_.size()) {
    throw TableError("A record of " + std::to_string(record.size()) +
                     " values does not match the " + std::to_string(columns_.size()) +
                     " fields of table '" + name_ + "'");
  }
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    if ((columns_[i].codec == Codec::Memo) == memos) encodeField(i, record[i], out);
  }
}

void DbaseStorage::prepareWrite() {
  if (writable_) return;
  lock_.makeExclusive();
  if (readOnlyFile_) throw TableError("Table '" + name_ + "' is read-only and cannot be changed");
  if (!faults_.empty()) throw TableError("Table '" + name_ + "' cannot be changed: " + faults_);
  writable_ = true;
}

std::size_t DbaseStorage::appendRecord(const Record& record) {
  prepareWrite();
  std::size_t start = pending_.size();
  pending_.resize(start + recordLength_, ' ');
  try {
    encodeFields(record, pending_.data() + start, false);
    encodeFields(record, pending_.data() + start, true);
  } catch (...) {
    pending_.resize(start);
    throw;
  }
  pending_[start] = kLive;
  ++pendingCount_;
  headerDirty_ = true;
  std::size_t position = liveCount_++;
  if (pending_.size() >= kBufferBytes) writePending();
  return position;
}

std::size_t DbaseStorage::updateRecord(std::size_t position, const Record& record) {
  if (position >= liveCount_) {
    throw TableError("Table '" + name_ + "' has no record at position " + std::to_string(position));
  }
  prepareWrite();
  std::size_t physical = physicalPosition(position);
  const char* current = recordBytes(physical);
  scratch_.assign(current, current + recordLength_);
  encodeFields(record, scratch_.data(), false);
  encodeFields(record, scratch_.data(), true);
  if (physical >= diskCount_) {
    std::memcpy(pending_.data() + (physical - diskCount_) * recordLength_, scratch_.data(),
                recordLength_);
  } else {
    journal_->writeAt(scratch_.data(), recordLength_, recordOffset(physical),
                      "Cannot write table '" + name_ + "'");
    if (physical >= bufferFirst_ && physical < bufferFirst_ + bufferCount_) {
      std::memcpy(readBuffer_.data() + (physical - bufferFirst_) * recordLength_, scratch_.data(),
                  recordLength_);
    }
  }
  headerDirty_ = true;
  needsSync_ = true;
  return position;
}

// dBase marks a deleted record and keeps it in the file (and in the header's count) until the
// table is packed; its memo blocks stay with it.
void DbaseStorage::deleteRecord(std::size_t position) {
  if (position >= liveCount_) {
    throw TableError("Table '" + name_ + "' has no record at position " + std::to_string(position));
  }
  prepareWrite();
  const std::size_t physical = physicalPosition(position);
  if (physical >= diskCount_) {
    pending_[(physical - diskCount_) * recordLength_] = kDeleted;
  } else {
    journal_->writeAt(&kDeleted, 1, recordOffset(physical), "Cannot write table '" + name_ + "'");
    if (physical >= bufferFirst_ && physical < bufferFirst_ + bufferCount_) {
      readBuffer_[(physical - bufferFirst_) * recordLength_] = kDeleted;
    }
    needsSync_ = true;
  }
  // The deleted records after it are one more deleted record further on.
  const auto at = std::upper_bound(deletedShift_.begin(), deletedShift_.end(), position);
  for (auto later = at; later != deletedShift_.end(); ++later)
    --*later;
  deletedShift_.insert(at, position);
  --liveCount_;
  headerDirty_ = true;
}

void DbaseStorage::emptyTable() {
  prepareWrite();
  pending_.clear();
  pendingCount_ = 0;
  flush();  // what came before is one change, emptying the next
  // The header says "no records" before the records go; until the file is cut, the journal can
  // still undo the change.
  diskCount_ = 0;
  liveCount_ = 0;
  deletedShift_.clear();
  bufferCount_ = 0;
  writeHeaderCount();
  std::string context = "Cannot empty table '" + name_ + "'";
  journal_->writeAt(&kEndOfFile, 1, headerLength_, context);
  io::Sync(fd_, context);
  io::Truncate(fd_, std::uint64_t{headerLength_} + 1, context);
  io::Sync(fd_, context);
  journal_->commit();
  if (memo_) memo_->clear();
  needsSync_ = true;
}

// The header with no records counted: the copy opens sound, and emptyTable() writes the rest. A
// damaged table is copied whole, so that emptying the copy is refused as it is here.
void DbaseStorage::writeEmptied(const std::filesystem::path& directory) const {
  if (!faults_.empty()) return;
  const std::string context = "Cannot copy table '" + name_ + "'";
  std::vector<unsigned char> header(headerLength_);
  if (io::ReadAt(fd_, header.data(), header.size(), 0, context) < header.size()) {
    damaged("the header is cut short");
  }
  io::PutU32(&header[4], 0);
  io::CreateLike(fd_, directory / path_.filename(), header.data(), header.size(), context);
  if (memo_) memo_->writeCleared(directory / memo_->path().filename());
}

void DbaseStorage::writePending() {
  if (pendingCount_ == 0) return;
  pending_.push_back(kEndOfFile);
  journal_->writeAt(pending_.data(), pending_.size(), recordOffset(diskCount_),
                    "Cannot write table '" + name_ + "'");
  diskCount_ += pendingCount_;
  pending_.clear();
  pendingCount_ = 0;
  needsSync_ = true;
  // The records are in the file; only now may the header count them.
  if (memo_) memo_->flush(false);
  writeHeaderCount();
}

void DbaseStorage::writeHeaderCount() {
  std::array<unsigned char, 7> bytes{};
  auto today = TodayForHeader();
  std::copy(today.begin(), today.end(), bytes.begin());
  io::PutU32(&bytes[3], static_cast<std::uint32_t>(diskCount_));
  journal_->writeAt(bytes.data(), bytes.size(), 1, "Cannot write table '" + name_ + "'");
  headerDirty_ = false;
  needsSync_ = true;
}

void DbaseStorage::flush() {
  if (!writable_) return;
  writePending();
  if (headerDirty_) writeHeaderCount();
  if (memo_) memo_->flush(true);
  if (needsSync_) {
    io::Sync(fd_, "Cannot write table '" + name_ + "'");
    needsSync_ = false;
  }
  journal_->commit();
}

// A temporary file beside the table that is removed unless it was kept.
class TempFile {
 public:
  explicit TempFile(std::filesystem::path path) : path_(std::move(path)) {}
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() {
    if (!kept_) {
      std::error_code ignored;
      std::filesystem::remove(path_, ignored);
    }
  }
  const std::filesystem::path& path() const { return path_; }
  void keep() { kept_ = true; }

 private:
  std::filesystem::path path_;
  bool kept_ = false;
};

std::filesystem::path TempPathFor(const std::filesystem::path& path, const char* extension) {
  std::string suffix = ".";
  suffix.append(std::to_string(::getpid())).append(extension);
  std::filesystem::path temp = path;
  temp += suffix;
  return temp;
}

void WriteNewTable(const std::filesystem::path& path, const std::vector<Column>& columns,
                   const std::vector<std::string>& names, bool hasMemo) {
  std::size_t headerLength = kHeaderPrefixSize + kDescriptorSize * columns.size() + 1;
  std::uint32_t recordLength = 1;
  for (const Column& column : columns)
    recordLength += column.width;
  std::string table = TableFileName(path);
  if (headerLength > 0xFFFF || recordLength > 0xFFFF) {
    throw TableError("Table '" + table + "' has more fields than a dBase table can hold");
  }
  std::vector<unsigned char> header(headerLength + 1, 0);
  header[0] = hasMemo ? kVersionDbase4Memo : kVersionNoMemo;
  auto today = TodayForHeader();
  std::copy(today.begin(), today.end(), header.begin() + 1);
  io::PutU16(&header[8], static_cast<std::uint16_t>(headerLength));
  io::PutU16(&header[10], static_cast<std::uint16_t>(recordLength));
  header[29] = kNewTableLanguageDriver;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    unsigned char* descriptor = &header[kHeaderPrefixSize + kDescriptorSize * i];
    std::copy(names[i].begin(), names[i].end(), descriptor);
    descriptor[11] = static_cast<unsigned char>(columns[i].code);
    descriptor[16] = static_cast<unsigned char>(columns[i].width);
    descriptor[17] = static_cast<unsigned char>(columns[i].decimals);
  }
  header[headerLength - 1] = kDescriptorEnd;
  header[headerLength] = kEndOfFile;

  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    throw TableError("Cannot create table '" + table + "': " + std::strerror(errno));
  }
  try {
    io::WriteAt(fd, header.data(), header.size(), 0, "Cannot create table '" + table + "'");
    io::Sync(fd, "Cannot create table '" + table + "'");
  } catch (...) {
    ::close(fd);
    throw;
  }
  ::close(fd);
}

}  // namespace

std::unique_ptr<TableStorage> OpenDbaseStorage(const std::filesystem::path& path, OpenMode mode) {
  FileLock lock = RollbackJournal::LockAndRecover(path, mode);
  return std::make_unique<DbaseStorage>(path, std::move(lock));
}

std::unique_ptr<TableStorage> CreateDbaseStorage(const std::filesystem::path& path,
                                                 const std::vector<FieldDef>& fields,
                                                 const std::vector<IndexDef>& indexes) {
  std::string table = TableFileName(path);
  if (!indexes.empty()) {
    throw TableError("Table '" + table + "': indexes of dBase tables are not supported");
  }
  if (fields.empty()) throw TableError("Table '" + table + "' needs at least one field");
  std::vector<Column> columns;
  std::vector<std::string> names;
  bool hasMemo = false;
  for (const FieldDef& def : fields) {
    auto invalid = [&](const std::string& what) {
      throw TableError("Field '" + def.name + "' of table '" + table + "' " + what);
    };
    if (def.name.empty() || def.name.size() > kMaxNameLength) {
      invalid("needs a name of 1 to 10 characters");
    }
    for (const std::string& other : names) {
      if (std::equal(other.begin(), other.end(), def.name.begin(), def.name.end(),
                     [](char a, char b) {
                       return std::toupper(static_cast<unsigned char>(a)) ==
                              std::toupper(static_cast<unsigned char>(b));
                     })) {
        invalid("is named twice");
      }
    }
    NativeField native{def.nativeType, def.nativeWidth, def.nativeDecimals};
    if (std::string_view("CNFDLMBG").find(native.code) == std::string_view::npos ||
        native.code == 0) {
      native = DefaultNativeField(def, table);
    }
    if (native.code == 'D') native.width = 8;
    if (native.code == 'L') native.width = 1;
    if (native.code == 'M' || native.code == 'B' || native.code == 'G') native.width = 10;
    if (native.code != 'N' && native.code != 'F') native.decimals = 0;
    bool number = native.code == 'N' || native.code == 'F';
    int maxWidth = number ? 20 : 254;
    if (native.width < 1 || native.width > maxWidth) {
      invalid("needs a width of 1 to " + std::to_string(maxWidth) + " (has " +
              std::to_string(native.width) + ")");
    }
    if (native.decimals < 0 || (native.decimals > 0 && native.decimals > native.width - 2) ||
        native.decimals > 15) {
      invalid("has an invalid number of decimals (" + std::to_string(native.decimals) + ")");
    }
    auto width = static_cast<std::uint32_t>(native.width);
    auto mapping = MapField(native.code, width, native.decimals, kVersionDbase4Memo, false);
    if (!mapping) invalid("has an invalid width");
    hasMemo = hasMemo || mapping->codec == Codec::Memo;
    columns.push_back({mapping->codec, native.code, 0, width, native.decimals});
    names.push_back(def.name);
  }

  // Nobody else may hold the table being replaced; a journal left there belongs to the old one.
  std::optional<FileLock> oldLock;
  if (std::filesystem::exists(path)) oldLock.emplace(path, OpenMode::Exclusive);
  RollbackJournal::Recover(path);

  // The new files are written beside the old ones and renamed over them only when complete, so
  // a failure leaves the old table as it was.
  TempFile tableFile(TempPathFor(path, ".dbf-new"));
  WriteNewTable(tableFile.path(), columns, names, hasMemo);
  std::optional<TempFile> memoFile;
  std::filesystem::path memoPath = MemoPathFor(path);
  if (hasMemo) {
    memoFile.emplace(TempPathFor(path, ".dbt-new"));
    DbaseMemoFile::Create(memoFile->path(), DbaseMemoFormat::DBase4);
  }
  FileLock lock(tableFile.path(), OpenMode::Exclusive);
  std::error_code error;
  // The table goes first: a new, empty table beside an old memo file is still sound.
  std::filesystem::rename(tableFile.path(), path, error);
  if (error) throw TableError("Cannot create table '" + table + "': " + error.message());
  tableFile.keep();
  if (memoFile) {
    std::filesystem::rename(memoFile->path(), memoPath, error);
    if (error)
      throw TableError("Cannot create memo file '" + memoPath.string() + "': " + error.message());
    memoFile->keep();
  } else {
    std::filesystem::remove(memoPath, error);
  }
  return std::make_unique<DbaseStorage>(path, std::move(lock));
}

}  // namespace nox::tables
