#include "controls/incremental_search.h"

#include <algorithm>
#include <array>

#include "tables/value_convert.h"

namespace nox::controls {
namespace {

// The Latvian letters in Windows-1257, lower case and upper case at the same place.
constexpr std::array<unsigned char, 11> kLatvianLower = {0xE2, 0xE8, 0xE7, 0xEC, 0xEE, 0xED,
                                                         0xEF, 0xF2, 0xF0, 0xFB, 0xFE};
constexpr std::array<unsigned char, 11> kLatvianUpper = {0xC2, 0xC8, 0xC7, 0xCC, 0xCE, 0xCD,
                                                         0xCF, 0xD2, 0xD0, 0xDB, 0xDE};

bool SameUpper(std::string_view left, std::string_view right) {
  return std::equal(left.begin(), left.end(), right.begin(), right.end(), [](char a, char b) {
    return SearchUpper(static_cast<unsigned char>(a)) == SearchUpper(static_cast<unsigned char>(b));
  });
}

// The index fields of the table's current order.
std::vector<std::string> IndexFields(const tables::TTable& table) {
  std::vector<std::string> fields;
  const std::string names = table.CurrentIndexFields();
  std::size_t start = 0;
  while (start <= names.size() && !names.empty()) {
    const std::size_t end = std::min(names.find(';', start), names.size());
    fields.push_back(names.substr(start, end - start));
    start = end + 1;
  }
  return fields;
}

}  // namespace

unsigned char SearchUpper(unsigned char byte) {
  if (byte >= 'a' && byte <= 'z') return static_cast<unsigned char>(byte - 'a' + 'A');
  const auto lower = std::find(kLatvianLower.begin(), kLatvianLower.end(), byte);
  if (lower != kLatvianLower.end()) return kLatvianUpper[lower - kLatvianLower.begin()];
  return byte;
}

std::optional<unsigned char> LatvianOtherCase(unsigned char byte) {
  const auto lower = std::find(kLatvianLower.begin(), kLatvianLower.end(), byte);
  if (lower != kLatvianLower.end()) return kLatvianUpper[lower - kLatvianLower.begin()];
  const auto upper = std::find(kLatvianUpper.begin(), kLatvianUpper.end(), byte);
  if (upper != kLatvianUpper.end()) return kLatvianLower[upper - kLatvianUpper.begin()];
  return std::nullopt;
}

bool TIncrementalSearch::TryKey(tables::TTable& table, tables::TField& field,
                                const std::string& key, std::string_view prefix) {
  std::vector<tables::Value> values;
  if (masterValue_) values.push_back(*masterValue_);
  values.push_back(tables::Value::Text(key));
  try {
    table.FindNearest(values);
  } catch (const tables::TableError&) {
    return false;  // a key the field cannot hold (letters for a number) finds nothing
  }
  if (table.Eof() && table.Bof()) return false;
  if (masterValue_) {
    const tables::TField& master = table.FieldByName(IndexFields(table)[0]);
    if (tables::ConvertForField({"", master.DataType(), master.Size()}, *masterValue_) !=
        master.GetValue()) {
      return false;
    }
  }
  const std::string found = field.AsString();
  return found.size() >= prefix.size() &&
         SameUpper(std::string_view(found).substr(0, prefix.size()), prefix);
}

bool TIncrementalSearch::TryNumberPrefix(tables::TTable& table, tables::TField& field,
                                         const std::string& digits) {
  switch (field.DataType()) {
    case tables::FieldType::SmallInt:
    case tables::FieldType::Integer:
    case tables::FieldType::Word:
    case tables::FieldType::AutoInc:
    case tables::FieldType::Float:
    case tables::FieldType::Currency:
    case tables::FieldType::BCD:
      break;
    default:
      return false;
  }
  if (digits.empty() || digits[0] == '0' ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return false;
  // Fifteen digits: every such whole number is written plainly and held exactly.
  for (std::string key = digits + '0'; key.size() <= 15; key += '0') {
    if (TryKey(table, field, key, digits)) return true;
  }
  return false;
}

bool TIncrementalSearch::Type(tables::TTable& table, char typed) {
  if (typed == ' ') typed = kSearchBlank;
  const std::vector<std::string> fields = IndexFields(table);
  const std::size_t keyField = masterValue_ ? 1 : 0;
  if (fields.size() <= keyField) {
    Extend(typed);
    return true;
  }
  tables::TField& field = table.FieldByName(fields[keyField]);
  const std::optional<std::size_t> start = table.OrderPosition();

  std::string candidate = text_ + typed;
  std::replace(candidate.begin(), candidate.end(), kSearchBlank, ' ');
  const std::optional<unsigned char> other = LatvianOtherCase(static_cast<unsigned char>(typed));
  const std::size_t size = field.DataType() == tables::FieldType::String
                               ? static_cast<std::size_t>(std::max(field.Size(), 0))
                               : 0;
  bool found = false;
  for (std::size_t blanks = size > candidate.size() ? size - candidate.size() : 0;; --blanks) {
    const std::string key = std::string(blanks, ' ') + candidate;
    if (TryKey(table, field, key)) {
      found = true;
      break;
    }
    if (other) {
      std::string otherKey = key;
      otherKey.back() = static_cast<char>(*other);
      if (TryKey(table, field, otherKey)) {
        typed = static_cast<char>(*other);
        found = true;
        break;
      }
    }
    if (blanks == 0) break;
  }
  if (!found) found = TryNumberPrefix(table, field, candidate);
  if (!found) {
    if (start) {
      table.MoveToOrderPosition(*start);
    } else {
      table.First();
    }
    return false;
  }
  text_ += typed;
  return true;
}

}  // namespace nox::controls
