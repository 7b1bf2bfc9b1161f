#include "tables/field_defs.h"

#include <utility>

namespace nox::tables {

std::string_view FieldTypeListName(FieldType type) {
  switch (type) {
    case FieldType::String:
      return "ALPHA";
    case FieldType::SmallInt:
      return "SINTEGER";
    case FieldType::Integer:
      return "NUMBER";
    case FieldType::Word:
      return "WORD";
    case FieldType::Boolean:
      return "BOOLEAN";
    case FieldType::Float:
      return "FLOAT";
    case FieldType::Date:
      return "DATE";
    default:
      return {};
  }
}

std::string_view FieldTypeName(FieldType type) {
  switch (type) {
    case FieldType::Unknown:
      return "UNKNOWN";
    case FieldType::Currency:
      return "CURRENCY";
    case FieldType::BCD:
      return "BCD";
    case FieldType::Time:
      return "TIME";
    case FieldType::DateTime:
      return "TIMESTAMP";
    case FieldType::AutoInc:
      return "AUTOINC";
    case FieldType::Memo:
      return "MEMO";
    case FieldType::FmtMemo:
      return "FMTMEMO";
    case FieldType::Blob:
      return "BLOB";
    case FieldType::Graphic:
      return "GRAPHIC";
    case FieldType::Ole:
      return "OLE";
    case FieldType::Bytes:
      return "BYTES";
    default:
      return FieldTypeListName(type);
  }
}

FieldDef NativeFieldDef(std::string name, char nativeType, int width, int decimals) {
  FieldDef def;
  def.name = std::move(name);
  def.nativeType = nativeType;
  def.nativeWidth = width;
  def.nativeDecimals = decimals;
  return def;
}

}  // namespace nox::tables
