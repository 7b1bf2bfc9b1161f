#pragma once
// The byte layout of Paradox tables (.db): the table header with its field descriptors, data
// block headers, and the encoding of each field type in a record.
//
// Control structures are little-endian. Field data is big-endian with the sign bit flipped, so
// that stored keys compare as plain bytes; a field of all zero bytes is empty.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tables/field_defs.h"
#include "tables/value.h"

namespace nox::tables::paradox {

class MemoFile;

constexpr std::size_t kBlockHeaderSize = 6;
constexpr std::size_t kBlobDescriptorSize = 10;
constexpr std::uint8_t kFileKeyed = 0;
constexpr std::uint8_t kFileIndex = 1;
constexpr std::uint8_t kFileUnkeyed = 2;
constexpr std::uint8_t kVersion4 = 0x09;
constexpr std::uint8_t kVersion7 = 0x0C;

// Field type codes as stored in the descriptors.
enum TypeCode : std::uint8_t {
  kAlpha = 0x01,
  kDate = 0x02,
  kShort = 0x03,
  kLong = 0x04,
  kCurrency = 0x05,
  kNumber = 0x06,
  kLogical = 0x09,
  kMemo = 0x0C,
  kBlob = 0x0D,
  kFmtMemo = 0x0E,
  kOle = 0x0F,
  kGraphic = 0x10,
  kTime = 0x14,
  kTimestamp = 0x15,
  kAutoInc = 0x16,
  kBcd = 0x17,
  kBytes = 0x18,
};

// One field: its definition as the engine sees it and where it lies in a record.
struct FieldLayout {
  FieldDef def;
  std::uint8_t code = 0;
  std::uint8_t sizeByte = 0;  // the descriptor's size byte (decimal places for BCD)
  std::size_t width = 0;      // bytes in the record
  std::size_t offset = 0;     // from the start of the record
};

bool IsBlobCode(std::uint8_t code);

// The layout of a new table's field from its definition; raises TableError naming the field when
// the type or size cannot be stored.
FieldLayout LayoutForDefinition(const FieldDef& def);

// The Paradox version a header's file-version byte stands for ("Paradox 3.0" ... "Paradox 7.x").
std::string ParadoxLevelName(std::uint8_t fileVersion);

struct TableHeader {
  std::uint16_t recordSize = 0;
  std::uint16_t headerSize = 0;
  std::uint8_t fileType = kFileUnkeyed;
  std::uint8_t maxTableSize = 4;
  std::uint32_t numRecords = 0;
  std::uint16_t usedBlocks = 0;
  std::uint16_t fileBlocks = 0;
  std::uint16_t firstBlock = 0;
  std::uint16_t lastBlock = 0;
  std::uint16_t keyFields = 0;
  std::uint8_t sortOrder = 0;
  std::uint8_t fileVersion = kVersion4;
  std::uint32_t autoInc = 0;
  std::vector<FieldLayout> fields;

  std::size_t blockSize() const { return std::size_t{maxTableSize} * 1024; }
  std::size_t keySize() const;  // bytes of the first keyFields fields
};

// Reads the header of a .db file from its first bytes (at least headerSize of them when the file
// is that long). Raises TableError naming the file when it is not a Paradox table or is damaged.
TableHeader ParseTableHeader(const unsigned char* data, std::size_t size,
                             const std::string& fileName);

// The complete header of a new table (headerSize bytes).
std::vector<unsigned char> BuildTableHeader(const TableHeader& header, std::string_view tableName);

// Writes the counters that change as records are posted into existing header bytes.
void StoreHeaderCounters(const TableHeader& header, unsigned char* data);

// Block header: next and previous block numbers and the offset of the last record.
struct BlockHeader {
  std::uint16_t next = 0;
  std::uint16_t prev = 0;
  std::int16_t lastOffset = 0;
};
BlockHeader ReadBlockHeader(const unsigned char* data);
void WriteBlockHeader(unsigned char* data, std::uint16_t next, std::uint16_t prev,
                      std::size_t count, std::size_t recordSize);

// Paradox day numbers count 1 January of year 1 as day 1; engine dates count 30 December 1899 as
// day 0.
constexpr double kParadoxDayOfEngineZero = 693594.0;

// Field codecs. Decoding reads blob contents through the memo file (may be null when the table
// has none: a blob held in the record still reads). Encoding a blob field is the caller's part
// (see EncodeBlob), all other types are pure.
void DecodeField(const FieldLayout& field, const unsigned char* data, MemoFile* memo,
                 const std::string& fileName, Value& out);
// Stores a value already converted to the field's kind; raises TableError naming the field when
// it cannot be stored.
void EncodeField(const FieldLayout& field, const Value& value, unsigned char* data);
// Stores a blob: its first bytes in the record, all of it in the memo file when longer.
void EncodeBlob(const FieldLayout& field, const Value& value, MemoFile* memo,
                const std::string& fileName, unsigned char* data);

// Sign-flipped big-endian integers, shared by the index writer.
void PutShortField(unsigned char* data, std::int16_t value);

}  // namespace nox::tables::paradox
