#include "tables/paradox_format.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>

#include "tables/dbase_io.h"
#include "tables/paradox_memo.h"
#include "tables/storage.h"

namespace nox::tables::paradox {
namespace {

using dbase_io::GetU16;
using dbase_io::GetU32;
using dbase_io::PutU16;
using dbase_io::PutU32;

constexpr std::size_t kDataHeaderEnd = 0x78;
constexpr std::size_t kCommonHeaderEnd = 0x58;
constexpr std::size_t kBcdSize = 17;
constexpr int kBcdDigits = 32;
constexpr std::uint16_t kCodePage = 1257;  // the Baltic code page the program's texts use
constexpr double kMsPerDay = 86400000.0;

[[noreturn]] void Damaged(const std::string& fileName, const std::string& what) {
  throw TableError("Table '" + fileName + "' is damaged: " + what);
}

[[noreturn]] void CannotStore(const FieldLayout& field, const std::string& what) {
  throw RecordRefused("Field '" + field.def.name + "': " + what);
}

struct TypeInfo {
  std::uint8_t code;
  char letter;
  FieldType type;
};

constexpr TypeInfo kTypes[] = {
    {kAlpha, 'A', FieldType::String},      {kDate, 'D', FieldType::Date},
    {kShort, 'S', FieldType::SmallInt},    {kLong, 'I', FieldType::Integer},
    {kCurrency, '$', FieldType::Currency}, {kNumber, 'N', FieldType::Float},
    {kLogical, 'L', FieldType::Boolean},   {kMemo, 'M', FieldType::Memo},
    {kBlob, 'B', FieldType::Blob},         {kFmtMemo, 'F', FieldType::FmtMemo},
    {kOle, 'O', FieldType::Ole},           {kGraphic, 'G', FieldType::Graphic},
    {kTime, 'T', FieldType::Time},         {kTimestamp, '@', FieldType::DateTime},
    {kAutoInc, '+', FieldType::AutoInc},   {kBcd, '#', FieldType::BCD},
    {kBytes, 'Y', FieldType::Bytes},
};

const TypeInfo* InfoForCode(std::uint8_t code) {
  for (const auto& info : kTypes) {
    if (info.code == code) return &info;
  }
  return nullptr;
}

// Width in the record of a fixed-size type (0 for the sized ones).
std::size_t FixedWidth(std::uint8_t code) {
  switch (code) {
    case kLogical:
      return 1;
    case kShort:
      return 2;
    case kDate:
    case kLong:
    case kTime:
    case kAutoInc:
      return 4;
    case kCurrency:
    case kNumber:
    case kTimestamp:
      return 8;
    case kBcd:
      return kBcdSize;
    default:
      return 0;
  }
}

bool HasDataHeader(std::uint8_t version, std::uint8_t fileType) {
  return version >= 5 && (fileType == 0 || fileType == 2 || fileType == 3 || fileType == 5);
}

std::size_t TableNameLength(std::uint8_t version) {
  return version >= kVersion7 ? 261 : 79;
}

bool AllZero(const unsigned char* data, std::size_t size) {
  return std::all_of(data, data + size, [](unsigned char b) { return b == 0; });
}

std::uint64_t GetBigEndian(const unsigned char* data, std::size_t size) {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < size; ++i)
    value = value << 8 | data[i];
  return value;
}

void PutBigEndian(unsigned char* data, std::size_t size, std::uint64_t value) {
  for (std::size_t i = size; i-- > 0;) {
    data[i] = static_cast<unsigned char>(value);
    value >>= 8;
  }
}

// Signed integers of 2 or 4 bytes: big-endian with the sign bit flipped.
std::int64_t GetFlippedInt(const unsigned char* data, std::size_t size) {
  const std::uint64_t signBit = std::uint64_t{1} << (size * 8 - 1);
  const std::uint64_t raw = GetBigEndian(data, size) ^ signBit;
  return static_cast<std::int64_t>(raw) - static_cast<std::int64_t>(raw & signBit) * 2;
}

void PutFlippedInt(unsigned char* data, std::size_t size, std::int64_t value) {
  const std::uint64_t signBit = std::uint64_t{1} << (size * 8 - 1);
  PutBigEndian(data, size, (static_cast<std::uint64_t>(value) ^ signBit) & ((signBit << 1) - 1));
}

// Doubles: positive numbers with the sign bit flipped, negative numbers with every bit inverted.
double GetFlippedDouble(const unsigned char* data) {
  std::uint64_t raw = GetBigEndian(data, 8);
  raw = (raw & 0x8000000000000000ull) != 0 ? raw ^ 0x8000000000000000ull : ~raw;
  return std::bit_cast<double>(raw);
}

void PutFlippedDouble(unsigned char* data, double value) {
  if (value == 0.0) value = 0.0;  // a negative zero would sort below the positive numbers
  std::uint64_t raw = std::bit_cast<std::uint64_t>(value);
  raw = (raw & 0x8000000000000000ull) != 0 ? ~raw : raw ^ 0x8000000000000000ull;
  PutBigEndian(data, 8, raw);
}

int Nibble(const unsigned char* digits, int index) {
  const unsigned char byte = digits[index / 2];
  return index % 2 == 0 ? byte >> 4 : byte & 0x0F;
}

// BCD: a sign-and-scale byte (bit 7 set for positive numbers, low six bits the decimal places)
// followed by 32 decimal digits; a negative number stores every digit as 15 minus the digit.
double GetBcd(const unsigned char* data) {
  const bool negative = (data[0] & 0x80) == 0;
  const int decimals = std::min(data[0] & 0x3F, kBcdDigits);
  double value = 0;
  for (int i = 0; i < kBcdDigits; ++i) {
    int digit = Nibble(data + 1, i);
    if (negative) digit = 15 - digit;
    value = value * 10 + std::min(digit, 9);
  }
  value /= std::pow(10.0, decimals);
  return negative ? -value : value;
}

void PutBcd(const FieldLayout& field, unsigned char* data, double value) {
  const int decimals = std::min<int>(field.sizeByte, kBcdDigits);
  const bool negative = value < 0;
  const double scaled = std::round(std::fabs(value) * std::pow(10.0, decimals));
  if (!std::isfinite(scaled) || scaled >= 1e32) CannotStore(field, "value out of range");
  // Digits from the right; a double holds at most 17 significant ones, the rest are zero.
  char text[64];
  const int length = std::snprintf(text, sizeof text, "%.0f", scaled);
  std::memset(data, 0, kBcdSize);
  data[0] = static_cast<unsigned char>((negative ? 0x00 : 0x80) | 0x40 | decimals);
  for (int i = 0; i < kBcdDigits; ++i) {
    const int fromRight = kBcdDigits - 1 - i;
    int digit = fromRight < length ? text[length - 1 - fromRight] - '0' : 0;
    if (negative) digit = 15 - digit;
    unsigned char& byte = data[1 + i / 2];
    byte =
        static_cast<unsigned char>(i % 2 == 0 ? (byte & 0x0F) | digit << 4 : (byte & 0xF0) | digit);
  }
}

std::size_t TrimmedLength(const unsigned char* data, std::size_t size) {
  while (size > 0 && (data[size - 1] == 0 || data[size - 1] == ' '))
    --size;
  return size;
}

}  // namespace

bool IsBlobCode(std::uint8_t code) {
  return code == kMemo || code == kBlob || code == kFmtMemo || code == kOle || code == kGraphic;
}

std::size_t TableHeader::keySize() const {
  std::size_t size = 0;
  for (std::size_t i = 0; i < keyFields && i < fields.size(); ++i)
    size += fields[i].width;
  return size;
}

FieldLayout LayoutForDefinition(const FieldDef& def) {
  FieldLayout field;
  field.def = def;
  field.def.required = false;
  const TypeInfo* info = nullptr;
  FieldType wanted = def.type == FieldType::Word ? FieldType::Integer : def.type;
  for (const auto& candidate : kTypes) {
    if (candidate.type == wanted) info = &candidate;
  }
  if (info == nullptr) CannotStore(field, "this field type cannot be stored in a Paradox table");
  if (def.name.empty() || def.name.size() > 25) CannotStore(field, "invalid Paradox field name");
  field.code = info->code;
  field.def.type = info->type;
  field.def.nativeType = info->letter;
  field.def.nativeDecimals = 0;
  int size = def.size;
  if (field.code == kAlpha || field.code == kBytes) {
    if (size < 1 || size > 255) CannotStore(field, "size must be 1 to 255");
    field.width = static_cast<std::size_t>(size);
    field.sizeByte = static_cast<std::uint8_t>(size);
  } else if (IsBlobCode(field.code)) {
    if (field.code == kMemo || field.code == kFmtMemo) size = std::max(size, 1);
    if (size < 0 || size > 240) CannotStore(field, "size must be up to 240");
    field.width = static_cast<std::size_t>(size) + kBlobDescriptorSize;
    field.sizeByte = static_cast<std::uint8_t>(field.width);
  } else if (field.code == kBcd) {
    size = def.nativeDecimals > 0 ? def.nativeDecimals : std::max(size, 0);
    if (size > kBcdDigits) CannotStore(field, "at most 32 decimal places");
    field.width = kBcdSize;
    field.sizeByte = static_cast<std::uint8_t>(size);
    field.def.nativeDecimals = size;
  } else {
    size = 0;
    field.width = FixedWidth(field.code);
    field.sizeByte = static_cast<std::uint8_t>(field.width);
  }
  field.def.size = size;
  field.def.nativeWidth = static_cast<int>(field.width);
  return field;
}

TableHeader ParseTableHeader(const unsigned char* data, std::size_t size,
                             const std::string& fileName) {
  if (size < kCommonHeaderEnd) Damaged(fileName, "the header is too short");
  TableHeader header;
  header.recordSize = GetU16(data + 0x00);
  header.headerSize = GetU16(data + 0x02);
  header.fileType = data[0x04];
  header.maxTableSize = data[0x05];
  header.numRecords = GetU32(data + 0x06);
  header.usedBlocks = GetU16(data + 0x0A);
  header.fileBlocks = GetU16(data + 0x0C);
  header.firstBlock = GetU16(data + 0x0E);
  header.lastBlock = GetU16(data + 0x10);
  const std::uint16_t numFields = GetU16(data + 0x21);
  header.keyFields = GetU16(data + 0x23);
  header.sortOrder = data[0x29];
  header.fileVersion = data[0x39];
  header.autoInc = GetU32(data + 0x49);

  if (header.fileType != kFileKeyed && header.fileType != kFileUnkeyed) {
    throw TableError("'" + fileName + "' is not a Paradox table");
  }
  if (header.fileVersion < 3 || header.fileVersion > kVersion7) {
    throw TableError("'" + fileName + "' is not a Paradox table (unknown version)");
  }
  const std::size_t blockSize = header.blockSize();
  if (header.maxTableSize < 1 || (header.maxTableSize > 4 && header.maxTableSize != 8 &&
                                  header.maxTableSize != 16 && header.maxTableSize != 32)) {
    Damaged(fileName, "invalid block size");
  }
  if (header.headerSize < kCommonHeaderEnd || header.headerSize > size) {
    Damaged(fileName, "invalid header size");
  }
  if (numFields == 0 || numFields > 255) Damaged(fileName, "invalid field count");
  if (header.fileType == kFileKeyed ? header.keyFields == 0 || header.keyFields > numFields
                                    : header.keyFields != 0) {
    Damaged(fileName, "invalid key field count");
  }
  const bool dataHeader = HasDataHeader(header.fileVersion, header.fileType);
  const std::uint32_t encryption = dataHeader ? GetU32(data + 0x5C) : GetU32(data + 0x25);
  if (encryption != 0) throw TableError("Table '" + fileName + "' is encrypted");

  std::size_t pos = dataHeader ? kDataHeaderEnd : kCommonHeaderEnd;
  const std::size_t end = header.headerSize;
  if (pos + std::size_t{numFields} * 2 > end) Damaged(fileName, "field descriptors cut short");
  std::size_t offset = 0;
  for (std::uint16_t i = 0; i < numFields; ++i, pos += 2) {
    FieldLayout field;
    field.code = data[pos];
    field.sizeByte = data[pos + 1];
    const TypeInfo* info = InfoForCode(field.code);
    if (info == nullptr) Damaged(fileName, "unknown field type");
    field.def.type = info->type;
    field.def.nativeType = info->letter;
    field.width = FixedWidth(field.code);
    if (field.width == 0) {
      field.width = field.sizeByte;
      const std::size_t least = IsBlobCode(field.code) ? kBlobDescriptorSize : 1;
      if (field.width < least) Damaged(fileName, "invalid field size");
      field.def.size = static_cast<int>(IsBlobCode(field.code) ? field.width - kBlobDescriptorSize
                                                               : field.width);
    } else if (field.code == kBcd) {
      if (field.sizeByte > kBcdDigits) Damaged(fileName, "invalid BCD field");
      field.def.size = field.sizeByte;
      field.def.nativeDecimals = field.sizeByte;
    } else if (field.sizeByte != field.width) {
      Damaged(fileName, "invalid field size");
    }
    field.def.nativeWidth = static_cast<int>(field.width);
    field.offset = offset;
    offset += field.width;
    header.fields.push_back(field);
  }
  if (offset != header.recordSize || offset == 0) Damaged(fileName, "invalid record size");
  if (header.recordSize > blockSize - kBlockHeaderSize) Damaged(fileName, "invalid record size");

  // Table name pointer, field name pointers, table name, then the field names.
  pos += 4 + 4 * std::size_t{numFields} + TableNameLength(header.fileVersion);
  for (auto& field : header.fields) {
    const auto* nameEnd =
        pos < end ? static_cast<const unsigned char*>(std::memchr(data + pos, 0, end - pos))
                  : nullptr;
    if (nameEnd == nullptr) Damaged(fileName, "field names cut short");
    field.def.name.assign(reinterpret_cast<const char*>(data + pos),
                          static_cast<std::size_t>(nameEnd - (data + pos)));
    pos = static_cast<std::size_t>(nameEnd - data) + 1;
  }
  return header;
}

std::vector<unsigned char> BuildTableHeader(const TableHeader& header, std::string_view tableName) {
  const std::size_t n = header.fields.size();
  std::size_t namesSize = 0;
  for (const auto& field : header.fields)
    namesSize += field.def.name.size() + 1;
  const std::size_t nameLength = TableNameLength(header.fileVersion);
  const std::size_t needed =
      kDataHeaderEnd + 2 * n + 4 + 4 * n + nameLength + namesSize + 2 * n + sizeof "ascii";
  // 255 fields of 25-character names fit in 12 KiB.
  std::array<unsigned char, 0x3000> buffer{};
  if (needed > buffer.size()) throw TableError("Field names too long for a Paradox table");
  // With whole-page blocks the header ends on a page boundary too: a block that lies within its
  // own pages is never left half written when the writer is killed in the middle of writing it.
  const std::size_t unit = header.blockSize() % 0x1000 == 0 ? 0x1000 : 0x800;
  const std::size_t size = (needed + unit - 1) / unit * unit;
  unsigned char* p = buffer.data();
  PutU16(p + 0x00, header.recordSize);
  PutU16(p + 0x02, static_cast<std::uint16_t>(size));
  p[0x04] = header.fileType;
  p[0x05] = header.maxTableSize;
  PutU16(p + 0x21, static_cast<std::uint16_t>(n));
  PutU16(p + 0x23, header.keyFields);
  PutU32(p + 0x25, 0xFF00FF00u);
  p[0x29] = 0;  // ascii sort order: keys compare as bytes
  p[0x39] = header.fileVersion;
  p[0x3E] = 0x1F;
  p[0x3F] = 0x0F;
  PutU16(p + 0x58, static_cast<std::uint16_t>(0x0100 | header.fileVersion));
  PutU16(p + 0x5A, static_cast<std::uint16_t>(0x0100 | header.fileVersion));
  PutU16(p + 0x64, static_cast<std::uint16_t>(n + 1));
  PutU16(p + 0x6A, kCodePage);
  StoreHeaderCounters(header, p);
  std::size_t pos = kDataHeaderEnd;
  for (const auto& field : header.fields) {
    p[pos++] = field.code;
    p[pos++] = field.sizeByte;
  }
  pos += 4 + 4 * n;
  std::memcpy(p + pos, tableName.data(), std::min(tableName.size(), nameLength - 1));
  pos += nameLength;
  for (const auto& field : header.fields) {
    std::memcpy(p + pos, field.def.name.data(), field.def.name.size());
    pos += field.def.name.size() + 1;
  }
  for (std::size_t i = 0; i < n; ++i, pos += 2)
    PutU16(p + pos, static_cast<std::uint16_t>(i + 1));
  std::memcpy(p + pos, "ascii", sizeof "ascii");
  return std::vector<unsigned char>(buffer.begin(), buffer.begin() + static_cast<long>(size));
}

void StoreHeaderCounters(const TableHeader& header, unsigned char* data) {
  PutU32(data + 0x06, header.numRecords);
  PutU16(data + 0x0A, header.usedBlocks);
  PutU16(data + 0x0C, header.fileBlocks);
  PutU16(data + 0x0E, header.firstBlock);
  PutU16(data + 0x10, header.lastBlock);
  PutU16(data + 0x3A, header.fileBlocks);
  PutU32(data + 0x49, header.autoInc);
  data[0x4D] = 0;  // no free-block list: unused blocks are simply not in the chain
  data[0x4E] = 0;
}

BlockHeader ReadBlockHeader(const unsigned char* data) {
  BlockHeader header;
  header.next = GetU16(data);
  header.prev = GetU16(data + 2);
  header.lastOffset = static_cast<std::int16_t>(GetU16(data + 4));
  return header;
}

void WriteBlockHeader(unsigned char* data, std::uint16_t next, std::uint16_t prev,
                      std::size_t count, std::size_t recordSize) {
  PutU16(data, next);
  PutU16(data + 2, prev);
  const long lastOffset = (static_cast<long>(count) - 1) * static_cast<long>(recordSize);
  PutU16(data + 4, static_cast<std::uint16_t>(static_cast<std::int16_t>(lastOffset)));
}

void DecodeField(const FieldLayout& field, const unsigned char* data, MemoFile* memo,
                 const std::string& fileName, Value& out) {
  if (field.code == kAlpha) {
    const std::size_t length = TrimmedLength(data, field.width);
    if (length == 0) {
      out = Value::Null();
    } else {
      out.setText(std::string_view(reinterpret_cast<const char*>(data), length));
    }
    return;
  }
  if (IsBlobCode(field.code)) {
    const std::size_t leader = field.width - kBlobDescriptorSize;
    const std::uint32_t pointer = GetU32(data + leader);
    const std::uint32_t length = GetU32(data + leader + 4);
    if (length == 0) {
      out = Value::Null();
    } else if (pointer == 0) {
      if (length > leader) Damaged(fileName, "invalid memo in field '" + field.def.name + "'");
      out.setText(std::string_view(reinterpret_cast<const char*>(data), length));
    } else {
      if (memo == nullptr) {
        throw TableError("Memo file of table '" + fileName + "' is missing");
      }
      out = Value::Text(memo->read(pointer, length));
    }
    return;
  }
  if (AllZero(data, field.width)) {
    out = Value::Null();
    return;
  }
  switch (field.code) {
    case kShort:
    case kLong:
    case kAutoInc:
      out = Value::Integer(GetFlippedInt(data, field.width));
      return;
    case kDate:
      out = Value::Date(static_cast<double>(GetFlippedInt(data, 4)) - kParadoxDayOfEngineZero);
      return;
    case kTime:
      out = Value::Date(static_cast<double>(GetFlippedInt(data, 4)) / kMsPerDay);
      return;
    case kTimestamp:
      out = Value::Date(GetFlippedDouble(data) / kMsPerDay - kParadoxDayOfEngineZero);
      return;
    case kNumber:
      out = Value::Float(GetFlippedDouble(data));
      return;
    case kCurrency:
      out = Value::Currency(GetFlippedDouble(data));
      return;
    case kBcd:
      out = Value::Float(GetBcd(data));
      return;
    case kLogical:
      out = Value::Boolean(data[0] != 0x80);
      return;
    case kBytes:
      out.setText(std::string_view(reinterpret_cast<const char*>(data), field.width));
      return;
    default:
      Damaged(fileName, "unknown field type");
  }
}

void EncodeField(const FieldLayout& field, const Value& value, unsigned char* data) {
  // Every type but a text fills its fixed width; a text's unused bytes are zero, as are a null's.
  if (value.isNull()) {
    std::memset(data, 0, field.width);
    return;
  }
  auto number = [&]() -> double {
    if (value.kind() == Value::Kind::Integer) return static_cast<double>(value.integer());
    if (value.kind() == Value::Kind::Boolean) return value.boolean() ? 1 : 0;
    if (value.kind() == Value::Kind::Text) CannotStore(field, "a text is not a number");
    return value.number();
  };
  auto integer = [&](std::int64_t low, std::int64_t high) {
    const double n = value.kind() == Value::Kind::Integer ? 0 : number();
    const std::int64_t v =
        value.kind() == Value::Kind::Integer ? value.integer() : static_cast<std::int64_t>(n);
    if ((value.kind() != Value::Kind::Integer && (n < low || n > high || n != std::trunc(n))) ||
        v < low || v > high) {
      CannotStore(field, "value out of range");
    }
    return v;
  };
  switch (field.code) {
    case kAlpha:
    case kBytes: {
      if (value.kind() != Value::Kind::Text) CannotStore(field, "expects a text");
      const std::string& text = value.text();
      const std::size_t used = std::min(text.size(), field.width);
      std::memcpy(data, text.data(), used);
      std::memset(data + used, 0, field.width - used);
      return;
    }
    case kShort:
      PutFlippedInt(data, 2, integer(-32767, 32767));
      return;
    case kLong:
    case kAutoInc:
      PutFlippedInt(data, 4, integer(-2147483647, std::numeric_limits<std::int32_t>::max()));
      return;
    case kDate: {
      const double day = std::floor(number()) + kParadoxDayOfEngineZero;
      if (!(day >= 1 && day <= 3652059)) CannotStore(field, "date out of range");
      PutFlippedInt(data, 4, static_cast<std::int64_t>(day));
      return;
    }
    case kTime: {
      const double day = number();
      if (!std::isfinite(day)) CannotStore(field, "invalid time");
      double ms = std::round((day - std::floor(day)) * kMsPerDay);
      if (ms >= kMsPerDay) ms = 0;
      PutFlippedInt(data, 4, static_cast<std::int64_t>(ms));
      return;
    }
    case kTimestamp: {
      const double day = number() + kParadoxDayOfEngineZero;
      if (!(day >= 1 && day < 3652060)) CannotStore(field, "date out of range");
      PutFlippedDouble(data, std::round(day * kMsPerDay));
      return;
    }
    case kNumber:
    case kCurrency: {
      const double n = number();
      if (!std::isfinite(n)) CannotStore(field, "value out of range");
      PutFlippedDouble(data, n);
      return;
    }
    case kBcd:
      PutBcd(field, data, number());
      return;
    case kLogical:
      if (value.kind() != Value::Kind::Boolean) CannotStore(field, "expects a logical value");
      data[0] = value.boolean() ? 0x81 : 0x80;
      return;
    default:
      CannotStore(field, "unsupported field type");
  }
}

void EncodeBlob(const FieldLayout& field, const Value& value, MemoFile* memo,
                const std::string& fileName, unsigned char* data) {
  std::memset(data, 0, field.width);
  if (value.isNull()) return;
  if (value.kind() != Value::Kind::Text) CannotStore(field, "expects a text");
  const std::string& text = value.text();
  if (text.empty()) return;
  if (text.size() > std::numeric_limits<std::int32_t>::max()) CannotStore(field, "too long");
  const std::size_t leader = field.width - kBlobDescriptorSize;
  std::memcpy(data, text.data(), std::min(leader, text.size()));
  std::uint32_t pointer = 0;
  if (text.size() > leader) {
    if (memo == nullptr) throw TableError("Memo file of table '" + fileName + "' is missing");
    pointer = memo->write(text);
  }
  PutU32(data + leader, pointer);
  PutU32(data + leader + 4, static_cast<std::uint32_t>(text.size()));
  PutU16(data + leader + 8, memo != nullptr ? memo->modificationNumber() : 1);
}

void PutShortField(unsigned char* data, std::int16_t value) {
  PutFlippedInt(data, 2, value);
}

std::string ParadoxLevelName(std::uint8_t fileVersion) {
  if (fileVersion <= 3) return "Paradox 3.0";
  if (fileVersion == 4) return "Paradox 3.5";
  if (fileVersion <= 9) return "Paradox 4.x";
  if (fileVersion <= 11) return "Paradox 5.x";
  return "Paradox 7.x";
}

}  // namespace nox::tables::paradox
