#pragma once
// Table structure: field and index definitions, shared by every table file format.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace nox::tables {

enum class TableType { Default, Paradox, DBase };

enum class FieldType : std::uint8_t {
  Unknown,
  String,    // text of a fixed maximum length
  SmallInt,  // 16-bit integer
  Integer,   // 32-bit integer
  Word,      // 16-bit unsigned integer
  Boolean,
  Float,  // 64-bit floating-point number
  Currency,
  BCD,
  Date,
  Time,
  DateTime,
  AutoInc,
  Memo,
  FmtMemo,
  Blob,
  Graphic,
  Ole,
  Bytes,
};

struct FieldDef {
  std::string name;
  FieldType type = FieldType::Unknown;
  int size = 0;  // as the engine reports it: the length of a text field, 0 for most other types
  bool required = false;
  // How the field is stored, so that a table can be created again with the same structure:
  // the format's own type code ('C', 'N', 'A', '$', ...), its width in bytes or characters and
  // its decimal places. Zero where the format derives them from type and size.
  char nativeType = 0;
  int nativeWidth = 0;
  int nativeDecimals = 0;
};

// A field given by how its format stores it (type code, width, decimals); the engine derives the
// field type and size from these when the table is created.
FieldDef NativeFieldDef(std::string name, char nativeType, int width, int decimals = 0);

enum IndexOption : std::uint32_t {
  ixPrimary = 1u << 0,
  ixUnique = 1u << 1,
  ixDescending = 1u << 2,
  ixCaseInsensitive = 1u << 3,
};

struct IndexDef {
  std::string name;
  std::string fields;  // field names joined by ";"
  std::uint32_t options = 0;
};

// The name of a field type as the field lists show it ("ALPHA", "SINTEGER", ...; empty for types
// the lists give no letter).
std::string_view FieldTypeListName(FieldType type);
// A name for every field type, for listings that show them all (the list name where there is one).
std::string_view FieldTypeName(FieldType type);

}  // namespace nox::tables
