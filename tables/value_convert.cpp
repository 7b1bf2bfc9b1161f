#include "tables/value_convert.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include "host/date_time.h"
#include "host/messages.h"
#include "host/number_format.h"
#include "tables/storage.h"

namespace nox::tables {
namespace {

bool IsIntegerType(FieldType type) {
  return type == FieldType::SmallInt || type == FieldType::Integer || type == FieldType::Word ||
         type == FieldType::AutoInc;
}

struct IntegerRange {
  std::int64_t low;
  std::int64_t high;
};

IntegerRange RangeOf(FieldType type) {
  switch (type) {
    case FieldType::SmallInt:
      return {-32768, 32767};
    case FieldType::Word:
      return {0, 65535};
    default:
      return {std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()};
  }
}

Value CheckedInteger(const FieldDef& field, std::int64_t number) {
  const IntegerRange range = RangeOf(field.type);
  if (number < range.low || number > range.high) {
    throw RecordRefused(std::to_string(number) + " is not a valid value for field '" + field.name +
                        "'. The allowed range is " + std::to_string(range.low) + " to " +
                        std::to_string(range.high));
  }
  return Value::Integer(number);
}

Value IntegerFromFloat(const FieldDef& field, double number) {
  // Whole numbers round half to even, as variants convert to integers.
  const double rounded = std::nearbyint(number);
  if (!std::isfinite(rounded) || std::fabs(rounded) > 9.0e18) {
    throw RecordRefused(host::FloatToText(number) + " is not a valid value for field '" +
                        field.name + "'");
  }
  return CheckedInteger(field, static_cast<std::int64_t>(rounded));
}

Value IntegerFromText(const FieldDef& field, std::string_view text) {
  std::string_view digits = TrimBlanks(text);
  if (!digits.empty() && digits.front() == '+') digits.remove_prefix(1);
  std::int64_t number = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) {
    throw RecordRefused(host::QuotedInput(text) + " is not a valid integer value");
  }
  return CheckedInteger(field, number);
}

double FloatFromText(std::string_view text) {
  const std::optional<long double> number = host::TextToFloat(text);
  if (!number || !std::isfinite(static_cast<double>(*number))) {
    throw RecordRefused(host::QuotedInput(text) + " is not a valid floating point value");
  }
  return static_cast<double>(*number);
}

double CheckedFloat(const FieldDef& field, double number) {
  if (!std::isfinite(number)) {
    throw RecordRefused("The value is not a valid number for field '" + field.name + "'");
  }
  return number;
}

// Currency amounts hold four decimals.
double CurrencyAmount(double amount) {
  return std::nearbyint(amount * 10000.0) / 10000.0;
}

bool BooleanFromText(std::string_view text, bool& flag) {
  // Any leading part of "True" or "False", letters in any case.
  auto isPrefixOf = [&](std::string_view word) {
    if (text.size() > word.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (FoldCase(static_cast<unsigned char>(text[i])) != static_cast<unsigned char>(word[i])) {
        return false;
      }
    }
    return true;
  };
  if (isPrefixOf("TRUE")) {
    flag = true;
    return true;
  }
  if (isPrefixOf("FALSE")) {
    flag = false;
    return true;
  }
  return false;
}

std::optional<double> TimeFromText(std::string_view text) {
  // h:mm or h:mm:ss, a 24-hour clock.
  int parts[3] = {0, 0, 0};
  int count = 0;
  text = TrimBlanks(text);
  while (count < 3) {
    const char* begin = text.data();
    const auto [end, error] = std::from_chars(begin, text.data() + text.size(), parts[count]);
    if (error != std::errc() || end == begin || end - begin > 2) return std::nullopt;
    ++count;
    text.remove_prefix(static_cast<std::size_t>(end - begin));
    if (text.empty()) break;
    if (text.front() != ':') return std::nullopt;
    text.remove_prefix(1);
  }
  if (!text.empty() || count < 2) return std::nullopt;
  if (parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return std::nullopt;
  return host::EncodeTime(parts[0], parts[1], parts[2], 0);
}

double DateFromText(std::string_view text) {
  const auto date = host::ParseHostDate(text);
  if (!date) throw RecordRefused(host::QuotedInput(text) + " is not a valid date");
  return host::EncodeDate(*date);
}

double DateTimeFromText(std::string_view text) {
  const std::string_view trimmed = TrimBlanks(text);
  const std::size_t blank = trimmed.find(' ');
  const auto date = host::ParseHostDate(trimmed.substr(0, blank));
  std::optional<double> time = 0.0;
  if (blank != std::string_view::npos) time = TimeFromText(trimmed.substr(blank + 1));
  if (!date || !time)
    throw RecordRefused(host::QuotedInput(text) + " is not a valid date and time");
  return host::EncodeDate(*date) + *time;
}

double DatePart(double dateTime) {
  return std::floor(dateTime);
}
double TimePart(double dateTime) {
  return dateTime - std::floor(dateTime);
}

[[noreturn]] void KindMismatch(const FieldDef& field, const Value& value) {
  throw RecordRefused("Field '" + field.name + "' cannot take the value " +
                      host::QuotedInput(FieldValueText(FieldType::Unknown, value)));
}

// The value as a number for numeric and date fields; texts are read by the reader given.
template <typename TextReader>
double NumberOf(const FieldDef& field, const Value& value, TextReader readText) {
  switch (value.kind()) {
    case Value::Kind::Integer:
      return static_cast<double>(value.integer());
    case Value::Kind::Float:
    case Value::Kind::Currency:
    case Value::Kind::Date:
      return CheckedFloat(field, value.number());
    case Value::Kind::Text:
      return readText(value.text());
    case Value::Kind::Boolean:
    case Value::Kind::Null:
      break;
  }
  KindMismatch(field, value);
}

std::string TimeText(double dateTime) {
  int hour = 0, minute = 0, second = 0, msec = 0;
  host::DecodeTime(dateTime, hour, minute, second, msec);
  char text[16];
  const auto two = [](char* out, int number) {
    out[0] = static_cast<char>('0' + number / 10 % 10);
    out[1] = static_cast<char>('0' + number % 10);
  };
  two(text, hour);
  text[2] = ':';
  two(text + 3, minute);
  text[5] = ':';
  two(text + 6, second);
  return std::string(text, 8);
}

}  // namespace

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ')
    text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ')
    text.remove_suffix(1);
  return text;
}

namespace {

constexpr unsigned char FoldByte(unsigned char byte) {
  if (byte >= 'a' && byte <= 'z') return static_cast<unsigned char>(byte - 0x20);
  // Windows-1257: the lower-case letters 0xE0..0xFE (but ÷) mirror 0xC0..0xDE; ø, ŗ, æ pair with
  // 0xA8, 0xAA, 0xAF.
  if (byte >= 0xE0 && byte <= 0xFE && byte != 0xF7) return static_cast<unsigned char>(byte - 0x20);
  if (byte == 0xB8 || byte == 0xBA || byte == 0xBF) return static_cast<unsigned char>(byte - 0x10);
  return byte;
}

// Field names are compared on every field lookup of every record; a table keeps that cheap.
constexpr std::array<unsigned char, 256> kFolded = [] {
  std::array<unsigned char, 256> folded{};
  for (std::size_t byte = 0; byte < folded.size(); ++byte)
    folded[byte] = FoldByte(static_cast<unsigned char>(byte));
  return folded;
}();

}  // namespace

bool EqualNoCase(std::string_view left, std::string_view right) {
  if (left.size() != right.size()) return false;
  for (std::size_t i = 0; i < left.size(); ++i) {
    const auto a = static_cast<unsigned char>(left[i]);
    const auto b = static_cast<unsigned char>(right[i]);
    if (a != b && kFolded[a] != kFolded[b]) return false;
  }
  return true;
}

unsigned char FoldCase(unsigned char byte) {
  return kFolded[byte];
}

Value ConvertForField(const FieldDef& field, const Value& value) {
  if (value.isNull()) return Value::Null();
  if (value.kind() == Value::Kind::Text && value.text().empty()) return Value::Null();
  const bool isText = value.kind() == Value::Kind::Text;

  switch (field.type) {
    case FieldType::String:
    case FieldType::Memo:
    case FieldType::FmtMemo: {
      std::string text = isText ? value.text() : FieldValueText(FieldType::Unknown, value);
      if (field.type == FieldType::String && field.size > 0 &&
          text.size() > static_cast<std::size_t>(field.size)) {
        text.resize(static_cast<std::size_t>(field.size));
      }
      return Value::Text(std::move(text));
    }
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::Word:
    case FieldType::AutoInc:
      switch (value.kind()) {
        case Value::Kind::Integer:
          return CheckedInteger(field, value.integer());
        case Value::Kind::Text:
          return IntegerFromText(field, value.text());
        case Value::Kind::Boolean:
          return Value::Integer(value.boolean() ? 1 : 0);
        default:
          return IntegerFromFloat(field, CheckedFloat(field, value.number()));
      }
    case FieldType::Float:
    case FieldType::BCD:
      if (value.kind() == Value::Kind::Boolean) return Value::Float(value.boolean() ? 1.0 : 0.0);
      return Value::Float(NumberOf(field, value, FloatFromText));
    case FieldType::Currency:
      if (value.kind() == Value::Kind::Boolean) return Value::Currency(value.boolean() ? 1.0 : 0.0);
      return Value::Currency(CurrencyAmount(NumberOf(field, value, FloatFromText)));
    case FieldType::Date:
      return Value::Date(DatePart(NumberOf(field, value, DateFromText)));
    case FieldType::DateTime:
      return Value::Date(NumberOf(field, value, DateTimeFromText));
    case FieldType::Time:
      return Value::Date(TimePart(NumberOf(field, value, [](std::string_view text) {
        const auto time = TimeFromText(text);
        if (!time) throw RecordRefused(host::QuotedInput(text) + " is not a valid time");
        return *time;
      })));
    case FieldType::Boolean:
      switch (value.kind()) {
        case Value::Kind::Boolean:
          return value;
        case Value::Kind::Integer:
          return Value::Boolean(value.integer() != 0);
        case Value::Kind::Float:
        case Value::Kind::Currency:
          return Value::Boolean(value.number() != 0.0);
        case Value::Kind::Text: {
          bool flag = false;
          if (!BooleanFromText(TrimBlanks(value.text()), flag)) {
            throw RecordRefused(host::QuotedInput(value.text()) + " is not a valid boolean value");
          }
          return Value::Boolean(flag);
        }
        default:
          KindMismatch(field, value);
      }
    case FieldType::Blob:
    case FieldType::Graphic:
    case FieldType::Ole:
    case FieldType::Bytes:
    case FieldType::Unknown:
      if (isText) return value;
      return Value::Text(FieldValueText(FieldType::Unknown, value));
  }
  return value;
}

bool HoldsFieldValue(const FieldDef& field, const Value& value) {
  switch (value.kind()) {
    case Value::Kind::Null:
      return true;
    case Value::Kind::Text:
      if (value.text().empty()) return false;
      if (field.type == FieldType::String) {
        return field.size <= 0 || value.text().size() <= static_cast<std::size_t>(field.size);
      }
      return field.type == FieldType::Memo || field.type == FieldType::FmtMemo;
    case Value::Kind::Integer: {
      if (!IsIntegerType(field.type)) return false;
      const IntegerRange range = RangeOf(field.type);
      return value.integer() >= range.low && value.integer() <= range.high;
    }
    case Value::Kind::Float:
      return (field.type == FieldType::Float || field.type == FieldType::BCD) &&
             std::isfinite(value.number());
    case Value::Kind::Date:
      return field.type == FieldType::Date && std::isfinite(value.number()) &&
             DatePart(value.number()) == value.number();
    case Value::Kind::Boolean:
      return field.type == FieldType::Boolean;
    case Value::Kind::Currency:
      break;
  }
  return false;
}

std::string FieldValueText(FieldType type, const Value& value) {
  switch (value.kind()) {
    case Value::Kind::Null:
      return {};
    case Value::Kind::Text:
      return value.text();
    case Value::Kind::Integer:
      return std::to_string(value.integer());
    case Value::Kind::Float:
    case Value::Kind::Currency:
      return host::FloatToText(value.number());
    case Value::Kind::Boolean:
      return std::string(value.boolean() ? kTrueText : kFalseText);
    case Value::Kind::Date:
      if (type == FieldType::Date) return host::FormatHostDate(host::DecodeDate(value.number()));
      if (type == FieldType::Time) return TimeText(value.number());
      return host::DateTimeToHostText(value.number());
  }
  return {};
}

double FieldValueDateTime(const FieldDef& field, const Value& value) {
  if (value.isNull()) return 0.0;
  if (IsIntegerType(field.type) && value.kind() == Value::Kind::Integer) {
    return static_cast<double>(value.integer());
  }
  switch (value.kind()) {
    case Value::Kind::Text:
      if (value.text().empty()) return 0.0;
      return field.type == FieldType::DateTime ? DateTimeFromText(value.text())
                                               : DateFromText(value.text());
    case Value::Kind::Boolean:
      KindMismatch(field, value);
    default:
      return NumberOf(field, value, DateFromText);
  }
}

}  // namespace nox::tables
