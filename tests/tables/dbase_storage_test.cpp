// The dBase storage against hand-made files and its own files: field mapping, value encoding,
// deleted records, header upkeep, memo values, damaged input and table replacement.

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "host/date_time.h"
#include "tables/storage.h"
#include "tests/support/dbase_bytes.h"
#include "tests/support/temp_dir.h"

namespace nox::tables {
namespace {

using test::DbaseFieldBytes;
using test::DbaseFileBytes;
using test::ReadFileBytes;

Value DateValue(int year, int month, int day) {
  return Value::Date(host::EncodeDate({year, month, day}));
}

FieldDef Typed(const std::string& name, FieldType type, int size = 0) {
  FieldDef def;
  def.name = name;
  def.type = type;
  def.size = size;
  return def;
}

std::string ErrorOf(const std::function<void()>& action) {
  try {
    action();
  } catch (const TableError& error) {
    return error.what();
  }
  return "(no error)";
}

std::vector<Record> ReadAll(TableStorage& storage) {
  std::vector<Record> records(storage.recordCount());
  for (std::size_t i = 0; i < records.size(); ++i)
    storage.readRecord(i, records[i]);
  return records;
}

class DbaseStorageTest : public ::testing::Test {
 protected:
  test::TempDir dir_;
  std::filesystem::path table_ = dir_ / "table.dbf";
};

TEST_F(DbaseStorageTest, MapsNativeFieldsToEngineTypes) {
  struct Case {
    DbaseFieldBytes field;
    FieldType type;
    int size;
  };
  const std::vector<Case> cases = {
      {{"TEXT", 'C', 30}, FieldType::String, 30}, {{"N4", 'N', 4}, FieldType::SmallInt, 0},
      {{"N5", 'N', 5}, FieldType::Integer, 0},    {{"N9", 'N', 9}, FieldType::Integer, 0},
      {{"N10", 'N', 10}, FieldType::Float, 0},    {{"N4D1", 'N', 4, 1}, FieldType::Float, 0},
      {{"F8", 'F', 8}, FieldType::Integer, 0},    {{"F12D3", 'F', 12, 3}, FieldType::Float, 0},
      {{"DATE", 'D', 8}, FieldType::Date, 0},     {{"FLAG", 'L', 1}, FieldType::Boolean, 0},
      {{"NOTE", 'M', 10}, FieldType::Memo, 0},    {{"BLOB", 'B', 10}, FieldType::Blob, 0},
      {{"PIC", 'G', 10}, FieldType::Graphic, 0},  {{"ODD", 'X', 3}, FieldType::Bytes, 3},
  };
  DbaseFileBytes file;
  file.version = 0x8B;
  for (const auto& c : cases)
    file.fields.push_back(c.field);
  file.write(table_);
  test::WriteFileBytes(dir_ / "table.dbt", std::string(512, '\0'));
  auto storage = OpenDbaseStorage(table_, OpenMode::Shared);
  ASSERT_EQ(storage->fieldDefs().size(), cases.size());
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const FieldDef& def = storage->fieldDefs()[i];
    SCOPED_TRACE(def.name);
    EXPECT_EQ(def.name, cases[i].field.name);
    EXPECT_EQ(def.type, cases[i].type);
    EXPECT_EQ(def.size, cases[i].size);
    EXPECT_EQ(def.nativeType, cases[i].field.code);
    EXPECT_EQ(def.nativeWidth, cases[i].field.width);
    EXPECT_EQ(def.nativeDecimals, cases[i].field.decimals);
  }
  EXPECT_EQ(storage->type(), TableType::DBase);
}

TEST_F(DbaseStorageTest, DecodesStoredBytes) {
  struct Case {
    DbaseFieldBytes field;
    std::string stored;
    Value expected;
  };
  const std::vector<Case> cases = {
      {{"C", 'C', 6}, "ab c  ", Value::Text("ab c")},
      {{"C", 'C', 6}, "  lead", Value::Text("  lead")},
      {{"C", 'C', 3}, "   ", Value::Text("")},
      {{"C", 'C', 3}, std::string("x\0\0", 3), Value::Text("x")},
      {{"N", 'N', 6}, "   -42", Value::Integer(-42)},
      {{"N", 'N', 6}, "     0", Value::Integer(0)},
      {{"N", 'N', 6}, "  +7  ", Value::Integer(7)},
      {{"N", 'N', 6}, "      ", Value()},
      {{"N", 'N', 6}, "******", Value()},
      {{"N", 'N', 6}, "   1.5", Value::Float(1.5)},
      {{"N", 'N', 12, 2}, "    -1234.50", Value::Float(-1234.5)},
      {{"N", 'N', 12}, "123456789012", Value::Float(123456789012.0)},
      {{"D", 'D', 8}, "20240229", DateValue(2024, 2, 29)},
      {{"D", 'D', 8}, "00000000", Value()},
      {{"D", 'D', 8}, "        ", Value()},
      {{"L", 'L', 1}, "T", Value::Boolean(true)},
      {{"L", 'L', 1}, "y", Value::Boolean(true)},
      {{"L", 'L', 1}, "F", Value::Boolean(false)},
      {{"L", 'L', 1}, "n", Value::Boolean(false)},
      {{"L", 'L', 1}, "?", Value()},
      {{"L", 'L', 1}, " ", Value()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.field.code + std::string(" '") + c.stored + "'");
    DbaseFileBytes file;
    file.fields = {c.field};
    file.records = {" " + c.stored};
    file.write(table_);
    auto storage = OpenDbaseStorage(table_, OpenMode::Shared);
    Record record;
    storage->readRecord(0, record);
    EXPECT_EQ(record.at(0), c.expected);
  }
}

TEST_F(DbaseStorageTest, ReadsNumberTextsBitForBitAsFromChars) {
  // Plain decimals take a shortcut; generated texts on both sides of its limits (15 digits,
  // a point at either end, exponents) must read exactly as the full reading does.
  std::mt19937_64 random(20261211);
  const auto pick = [&random](int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(random);
  };
  constexpr int kWidth = 24;
  std::vector<std::string> texts;
  DbaseFileBytes file;
  file.fields = {{"N", 'N', kWidth, 4}};
  for (int i = 0; i < 20000; ++i) {
    std::string text = pick(0, 2) == 0 ? "-" : "";
    const int integerDigits = pick(0, 9);  // with the sign and exponent within the width
    const int fractionDigits = pick(0, 8);
    for (int d = 0; d < integerDigits; ++d)
      text += static_cast<char>('0' + pick(0, 9));
    if (fractionDigits > 0 || pick(0, 3) == 0) text += '.';
    for (int d = 0; d < fractionDigits; ++d)
      text += static_cast<char>('0' + pick(0, 9));
    if (integerDigits + fractionDigits == 0) text += '3';
    if (pick(0, 9) == 0) text += "e" + std::to_string(pick(-30, 30));
    texts.push_back(text);
    file.records.push_back(" " + std::string(kWidth - text.size(), ' ') + text);
  }
  file.write(table_);
  auto storage = OpenDbaseStorage(table_, OpenMode::Shared);
  Record record;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    SCOPED_TRACE(texts[i]);
    double expected = 0;
    const char* end = texts[i].data() + texts[i].size();
    ASSERT_EQ(std::from_chars(texts[i].data(), end, expected).ptr, end);
    storage->readRecord(i, record);
    ASSERT_EQ(record.at(0).kind(), Value::Kind::Float);
    const double read = record.at(0).number();
    ASSERT_EQ(std::memcmp(&read, &expected, sizeof read), 0) << read << " vs " << expected;
  }
}

TEST_F(DbaseStorageTest, InvalidStoredValuesAreReportedWithFieldAndRecord) {
  const std::vector<std::pair<DbaseFieldBytes, std::string>> cases = {
      {{"AMOUNT", 'N', 5}, "12x34"},
      {{"AMOUNT", 'N', 5}, " 1-2 "},
      {{"AMOUNT", 'D', 8}, "20230231"},
      {{"AMOUNT", 'D', 8}, "2023AB01"},
  };
  for (const auto& [field, stored] : cases) {
    SCOPED_TRACE(stored);
    DbaseFileBytes file;
    file.fields = {field};
    file.records = {" " + stored};
    file.write(table_);
    auto storage = OpenDbaseStorage(table_, OpenMode::Shared);
    Record record;
    std::string error = ErrorOf([&] { storage->readRecord(0, record); });
    EXPECT_NE(error.find("Field 'AMOUNT' of record 1 of table 'table.dbf'"), std::string::npos)
        << error;
    EXPECT_NE(error.find(stored), std::string::npos) << error;
  }
}

// A count over some fields (a filter's) fails where reading the whole record fails, and gives the
// listed fields as the whole record has them.
TEST_F(DbaseStorageTest, ReadingSomeFieldsFailsWhereTheWholeRecordFails) {
  const std::vector<std::pair<DbaseFieldBytes, std::string>> cases = {
      {{"AMOUNT", 'N', 8}, "   12x34"}, {{"AMOUNT", 'D', 8}, "20230231"},
      {{"AMOUNT", 'N', 8}, "  -12.50"}, {{"AMOUNT", 'D', 8}, "20230228"},
      {{"AMOUNT", 'C', 8}, "text    "}, {{"AMOUNT", 'L', 1}, "?"},
  };
  for (const auto& [field, stored] : cases) {
    SCOPED_TRACE(stored);
    DbaseFileBytes file;
    file.fields = {{"QTY", 'N', 3}, field};
    file.records = {"  7" + stored};
    file.write(table_);
    auto storage = OpenDbaseStorage(table_, OpenMode::Shared);
    Record whole;
    Record some;
    const std::vector<int> qty = {0};
    const std::string error = ErrorOf([&] { storage->readRecord(0, whole); });
    EXPECT_EQ(ErrorOf([&] { storage->readFields(0, qty, some); }), error);
    if (error != "(no error)") continue;
    ASSERT_EQ(some.size(), 2u);
    EXPECT_EQ(some[0], whole[0]);
    const std::vector<int> both = {0, 1};
    storage->readFields(0, both, some);
    EXPECT_EQ(some, whole);
  }
}

TEST_F(DbaseStorageTest, ReadsBinaryFieldsOfLaterVersions) {
  auto le32 = [](std::int32_t v) {
    std::string s(4, '\0');
    std::memcpy(s.data(), &v, 4);
    return s;
  };
  auto le64 = [](auto v) {
    std::string s(8, '\0');
    std::memcpy(s.data(), &v, 8);
    return s;
  };
  // Visual FoxPro: I little-endian, B double, Y currency, T Julian day + milliseconds.
  DbaseFileBytes fox;
  fox.version = 0x30;
  fox.fields = {{"I", 'I', 4}, {"B", 'B', 8}, {"Y", 'Y', 8}, {"T", 'T', 8}};
  fox.records = {" " + le32(-123456) + le64(2.75) + le64(std::int64_t{-125000}) + le32(2460000) +
                 le32(43200000)};
  fox.write(table_);
  {
    auto storage = OpenDbaseStorage(table_, OpenMode::Shared);
    EXPECT_EQ(storage->fieldDefs()[1].type, FieldType::Float);
    EXPECT_EQ(storage->fieldDefs()[2].type, FieldType::Currency);
    EXPECT_EQ(storage->fieldDefs()[3].type, FieldType::DateTime);
    Record record;
    storage->readRecord(0, record);
    EXPECT_EQ(record[0], Value::Integer(-123456));
    EXPECT_EQ(record[1], Value::Float(2.75));
    EXPECT_EQ(record[2], Value::Currency(-12.5));
    EXPECT_EQ(record[3], Value::Date(2460000 - 2415019 + 0.5));
  }
  // dBase 7: 68-byte header, 48-byte descriptors, big-endian numbers with the sign bit flipped.
  std::string header(68 + 48 * 3 + 1, '\0');
  header[0] = 0x04;
  header[8] = static_cast<char>(header.size());
  header[10] = 1 + 4 + 4 + 8;
  header[4] = 2;
  const char* names[] = {"ID", "SEQ", "VALUE"};
  const char codes[] = {'I', '+', 'O'};
  const int widths[] = {4, 4, 8};
  for (int i = 0; i < 3; ++i) {
    std::size_t at = 68 + 48 * static_cast<std::size_t>(i);
    std::memcpy(&header[at], names[i], std::strlen(names[i]));
    header[at + 32] = codes[i];
    header[at + 33] = static_cast<char>(widths[i]);
  }
  header.back() = 0x0D;
  // -2 as 0x7FFFFFFE, 5 as 0x80000005; 1.5 as its bits with the sign bit set, -1.5 inverted.
  std::string first = std::string(" ") + "\x7F\xFF\xFF\xFE" + std::string("\x80\x00\x00\x05", 4) +
                      std::string("\xBF\xF8\x00\x00\x00\x00\x00\x00", 8);
  std::string second = std::string(" ") + std::string(4, '\0') +
                       std::string("\x80\x00\x00\x06", 4) +
                       std::string("\x40\x07\xFF\xFF\xFF\xFF\xFF\xFF", 8);
  test::WriteFileBytes(table_, header + first + second + "\x1A");
  auto storage = OpenDbaseStorage(table_, OpenMode::Shared);
  EXPECT_EQ(storage->fieldDefs()[1].type, FieldType::AutoInc);
  auto records = ReadAll(*storage);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0], (Record{Value::Integer(-2), Value::Integer(5), Value::Float(1.5)}));
  EXPECT_EQ(records[1], (Record{Value(), Value::Integer(6), Value::Float(-1.5)}));
}

TEST_F(DbaseStorageTest, EncodesValuesIntoFieldBytes) {
  struct Case {
    FieldDef field;
    Value value;
    std::string stored;  // empty: the value is refused
  };
  const std::vector<Case> cases = {
      {NativeFieldDef("F", 'N', 6), Value::Integer(42), "    42"},
      {NativeFieldDef("F", 'N', 6), Value::Integer(-99999), "-99999"},
      {NativeFieldDef("F", 'N', 6), Value::Integer(0), "     0"},
      {NativeFieldDef("F", 'N', 6), Value(), "      "},
      {NativeFieldDef("F", 'N', 6), Value::Integer(1000000), ""},
      {NativeFieldDef("F", 'N', 6), Value::Integer(-100000), ""},
      {NativeFieldDef("F", 'N', 6), Value::Float(2.5), "     3"},
      {NativeFieldDef("F", 'N', 6), Value::Float(-2.5), "    -3"},
      {NativeFieldDef("F", 'N', 6), Value::Float(999999.5), ""},
      {NativeFieldDef("F", 'N', 8, 2), Value::Float(-3.14159), "   -3.14"},
      {NativeFieldDef("F", 'N', 8, 2), Value::Float(-0.001), "    0.00"},
      {NativeFieldDef("F", 'N', 8, 2), Value::Integer(7), "    7.00"},
      {NativeFieldDef("F", 'N', 8, 2), Value::Currency(12345.675), "12345.68"},
      {NativeFieldDef("F", 'N', 8, 2), Value::Float(123456.0), ""},
      {NativeFieldDef("F", 'N', 8, 2), Value::Float(std::nan("")), ""},
      {NativeFieldDef("F", 'F', 10, 3), Value::Float(123456.5), "123456.500"},
      {NativeFieldDef("F", 'F', 10, 3), Value::Float(1e6), ""},
      {NativeFieldDef("F", 'N', 4, 1), Value::Float(-9.96), ""},
      {NativeFieldDef("F", 'N', 5, 1), Value::Float(-9.96), "-10.0"},
      {NativeFieldDef("F", 'N', 8, 2), Value::Text("12"), ""},
      {NativeFieldDef("F", 'C', 5), Value::Text("abc"), "abc  "},
      {NativeFieldDef("F", 'C', 5), Value::Text("abcdef"), ""},
      {NativeFieldDef("F", 'C', 5), Value(), "     "},
      {NativeFieldDef("F", 'C', 5), Value::Integer(-12), "-12  "},
      {NativeFieldDef("F", 'D', 8), DateValue(1999, 12, 31), "19991231"},
      {NativeFieldDef("F", 'D', 8), DateValue(1899, 12, 30), "18991230"},
      {NativeFieldDef("F", 'D', 8), Value(), "        "},
      {NativeFieldDef("F", 'D', 8), Value::Integer(5), ""},
      {NativeFieldDef("F", 'D', 8), Value::Date(-1e9), ""},
      {NativeFieldDef("F", 'L', 1), Value::Boolean(true), "T"},
      {NativeFieldDef("F", 'L', 1), Value::Boolean(false), "F"},
      {NativeFieldDef("F", 'L', 1), Value(), "?"},
      {NativeFieldDef("F", 'L', 1), Value::Text("T"), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(1, c.field.nativeType) + " " + std::to_string(c.field.nativeWidth) +
                 " <- '" + c.stored + "'");
    auto storage = CreateDbaseStorage(table_, {c.field}, {});
    if (c.stored.empty()) {
      std::string error = ErrorOf([&] { storage->appendRecord({c.value}); });
      EXPECT_NE(error.find("does not fit field 'F'"), std::string::npos) << error;
      EXPECT_EQ(storage->recordCount(), 0u);
      continue;
    }
    storage->appendRecord({c.value});
    storage.reset();
    std::string bytes = ReadFileBytes(table_);
    ASSERT_EQ(bytes.size(), 32 + 32 + 1 + 1 + c.stored.size() + 1);
    EXPECT_EQ(bytes.substr(66, c.stored.size()), c.stored);
  }
}

// The stored text of a number is its shortest digits rounded half away from zero to the field's
// decimals (exact decimals are written without that detour: both ways must agree bit for bit).
std::string ShortestDigitsRounded(double number, int decimals) {
  char buffer[400];
  std::string text(
      buffer, std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::fixed).ptr);
  const bool negative = text.front() == '-';
  if (negative) text.erase(0, 1);
  if (text.find('.') == std::string::npos) text += '.';
  const std::size_t point = text.find('.');
  text.append(static_cast<std::size_t>(decimals), '0');
  const bool up = text.size() > point + 1 + decimals && text[point + 1 + decimals] >= '5';
  text.resize(point + 1 + decimals);
  text.erase(point, 1);
  for (std::size_t i = text.size(); up && i-- > 0;) {
    if (text[i] != '9') {
      ++text[i];
      break;
    }
    text[i] = '0';
    if (i == 0) text.insert(0, "1");
  }
  if (decimals > 0) text.insert(text.size() - decimals, ".");
  if (negative && text.find_first_not_of("0.") != std::string::npos) text.insert(0, "-");
  return text;
}

TEST_F(DbaseStorageTest, WritesExactDecimalsAsTheirShortestDigitsRounded) {
  std::mt19937_64 random(20261209);
  for (const int decimals : {0, 1, 2, 4, 9, 15}) {
    SCOPED_TRACE("decimals " + std::to_string(decimals));
    const double power = std::pow(10.0, decimals);
    std::vector<double> numbers = {0.0, -0.0, 0.05, -0.05, 2.675, 9.995, -0.5, 1e-300, 0.1 + 0.2};
    for (int i = 0; i < 400; ++i) {
      // Exact decimals of every size up to and beyond the shortcut's limit, their neighbours
      // one bit away, and arbitrary doubles.
      const auto scaled = static_cast<double>(random() >> (12 + i % 40)) * (i % 2 ? -1 : 1);
      const double decimal = scaled / power;
      numbers.insert(numbers.end(),
                     {decimal, std::nextafter(decimal, 1e300), std::nextafter(decimal, -1e300),
                      std::ldexp(static_cast<double>(random() >> 11), -30 - i % 60)});
    }
    std::vector<std::pair<double, std::string>> expected;
    for (double number : numbers) {
      std::string text = ShortestDigitsRounded(number, decimals);
      if (text.size() <= 20) expected.emplace_back(number, std::move(text));
    }
    auto storage = CreateDbaseStorage(table_, {NativeFieldDef("F", 'N', 20, decimals)}, {});
    for (const auto& [number, text] : expected)
      storage->appendRecord({Value::Float(number)});
    storage.reset();
    const std::string bytes = ReadFileBytes(table_);
    for (std::size_t i = 0; i < expected.size(); ++i) {
      std::string stored = bytes.substr(66 + i * 21, 20);
      stored.erase(0, stored.find_first_not_of(' '));
      ASSERT_EQ(stored, expected[i].second) << expected[i].first;
    }
  }
}

TEST_F(DbaseStorageTest, ChoosesStoredFormsForEngineTypes) {
  const std::vector<std::pair<FieldDef, std::string>> cases = {
      {Typed("S", FieldType::String, 12), "C12.0"}, {Typed("SI", FieldType::SmallInt), "N6.0"},
      {Typed("I", FieldType::Integer), "N11.0"},    {Typed("W", FieldType::Word), "N6.0"},
      {Typed("F", FieldType::Float), "N20.4"},      {Typed("CU", FieldType::Currency), "N20.4"},
      {Typed("B", FieldType::Boolean), "L1.0"},     {Typed("D", FieldType::Date), "D8.0"},
      {Typed("M", FieldType::Memo), "M10.0"},       {Typed("A", FieldType::AutoInc), "N11.0"},
      {Typed("BL", FieldType::Blob), "B10.0"},      {NativeFieldDef("N", 'N', 15, 3), "N15.3"},
  };
  for (const auto& [field, expected] : cases) {
    SCOPED_TRACE(field.name);
    auto storage = CreateDbaseStorage(table_, {field}, {});
    const FieldDef& def = storage->fieldDefs().at(0);
    EXPECT_EQ(def.name, field.name);
    EXPECT_EQ(
        def.nativeType + std::to_string(def.nativeWidth) + "." + std::to_string(def.nativeDecimals),
        expected);
  }
}

TEST_F(DbaseStorageTest, RefusesStructuresItCannotStore) {
  const std::vector<std::pair<std::vector<FieldDef>, std::string>> cases = {
      {{Typed("ELEVENCHARS", FieldType::String, 5)}, "name of 1 to 10"},
      {{Typed("", FieldType::String, 5)}, "name of 1 to 10"},
      {{Typed("A", FieldType::String, 5), Typed("a", FieldType::Integer)}, "named twice"},
      {{Typed("A", FieldType::String, 0)}, "width of 1 to 254"},
      {{Typed("A", FieldType::String, 300)}, "width of 1 to 254"},
      {{NativeFieldDef("A", 'N', 21)}, "width of 1 to 20"},
      {{NativeFieldDef("A", 'N', 5, 4)}, "decimals"},
      {{Typed("A", FieldType::Time)}, "cannot store"},
      {{}, "at least one field"},
  };
  for (const auto& [fields, message] : cases) {
    SCOPED_TRACE(message);
    std::string error = ErrorOf([&] { CreateDbaseStorage(table_, fields, {}); });
    EXPECT_NE(error.find(message), std::string::npos) << error;
    EXPECT_NE(error.find("table.dbf"), std::string::npos) << error;
  }
}

TEST_F(DbaseStorageTest, RoundTripsEveryWritableTypeWithMemo) {
  std::vector<FieldDef> fields = {
      NativeFieldDef("NAME", 'C', 20), NativeFieldDef("QTY", 'N', 4),
      NativeFieldDef("COUNT", 'N', 9), NativeFieldDef("AMOUNT", 'N', 12, 2),
      NativeFieldDef("DAY", 'D', 8),   NativeFieldDef("OK", 'L', 1),
      NativeFieldDef("NOTE", 'M', 10), NativeFieldDef("DATA", 'B', 10)};
  std::string binary("\x00\x1A\xFF\x1A\x1A end", 9);
  std::vector<Record> records = {
      {Value::Text("Rīga \xE2"), Value::Integer(-999), Value::Integer(123456789),
       Value::Float(-0.5), DateValue(2024, 2, 29), Value::Boolean(true),
       Value::Text(std::string(1500, 'm')), Value::Text(binary)},
      {Value::Text(""), Value(), Value(), Value(), Value(), Value(), Value::Text(""),
       Value::Text("")},
  };
  {
    auto storage = CreateDbaseStorage(table_, fields, {});
    for (const auto& record : records)
      storage->appendRecord(record);
    Record back;
    storage->readRecord(0, back);  // still in the write buffer
    EXPECT_EQ(back, records[0]);
  }
  EXPECT_TRUE(std::filesystem::exists(dir_ / "table.dbt"));
  auto storage = OpenDbaseStorage(table_, OpenMode::Shared);
  auto read = ReadAll(*storage);
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0], records[0]);
  Record empty = {Value::Text(""), Value(), Value(),         Value(),
                  Value(),         Value(), Value::Text(""), Value::Text("")};
  EXPECT_EQ(read[1], empty);
  EXPECT_EQ(storage->fieldDefs()[3].type, FieldType::Float);

  // An update writes a new memo value and leaves the other record alone.
  storage.reset();
  storage = OpenDbaseStorage(table_, OpenMode::Exclusive);
  Record changed = records[0];
  changed[6] = Value::Text("short");
  changed[1] = Value::Integer(12);
  EXPECT_EQ(storage->updateRecord(0, changed), 0u);
  storage.reset();
  storage = OpenDbaseStorage(table_, OpenMode::Shared);
  read = ReadAll(*storage);
  EXPECT_EQ(read[0], changed);
  EXPECT_EQ(read[1], empty);
}

TEST_F(DbaseStorageTest, ReadsDbase3MemoFile) {
  DbaseFileBytes file;
  file.version = 0x83;
  file.fields = {{"ID", 'N', 3}, {"NOTE", 'M', 10}};
  file.records = {"   1         1", "   2          ", "   3         2"};
  file.write(table_);
  std::string memo(512 * 3, '\0');
  memo[0] = 3;
  std::string first = std::string(600, 'a') + "\x1A\x1A";
  memo.replace(512, first.size(), first);
  test::WriteFileBytes(dir_ / "TABLE.DBT", memo);  // found whatever its case
  auto storage = OpenDbaseStorage(table_, OpenMode::Shared);
  auto records = ReadAll(*storage);
  EXPECT_EQ(records[0][1], Value::Text(std::string(600, 'a')));
  EXPECT_EQ(records[1][1], Value::Text(""));
  // Block 2 lies inside the first value; it reads up to the same terminator.
  EXPECT_EQ(records[2][1], Value::Text(std::string(88, 'a')));

  file.records[2] = "   3       999";
  file.write(table_);
  storage = OpenDbaseStorage(table_, OpenMode::Shared);
  Record record;
  std::string error = ErrorOf([&] { storage->readRecord(2, record); });
  EXPECT_NE(error.find("has no block 999"), std::string::npos) << error;
}

TEST_F(DbaseStorageTest, SkipsDeletedRecords) {
  DbaseFileBytes file;
  file.fields = {{"ID", 'N', 3}};
  for (int i = 0; i < 8; ++i) {
    bool deleted = i == 0 || i == 3 || i == 4 || i == 7;
    file.records.push_back((deleted ? "*" : " ") + std::string("  ") + std::to_string(i));
  }
  file.write(table_);
  auto storage = OpenDbaseStorage(table_, OpenMode::Shared);
  std::vector<std::int64_t> ids;
  for (const auto& record : ReadAll(*storage))
    ids.push_back(record[0].integer());
  EXPECT_EQ(ids, (std::vector<std::int64_t>{1, 2, 5, 6}));
  EXPECT_THROW(
      {
        Record record;
        storage->readRecord(4, record);
      },
      TableError);

  // Updates address live positions; appends land after everything.
  storage.reset();
  storage = OpenDbaseStorage(table_, OpenMode::Shared);
  storage->updateRecord(2, {Value::Integer(50)});
  EXPECT_EQ(storage->appendRecord({Value::Integer(9)}), 4u);
  storage.reset();
  std::string bytes = ReadFileBytes(table_);
  EXPECT_EQ(bytes.substr(65 + 5 * 4, 4), "  50");
  EXPECT_EQ(bytes[65 + 3 * 4], '*');  // deleted records stay as they were
  storage = OpenDbaseStorage(table_, OpenMode::Shared);
  ids.clear();
  for (const auto& record : ReadAll(*storage))
    ids.push_back(record[0].integer());
  EXPECT_EQ(ids, (std::vector<std::int64_t>{1, 2, 50, 6, 9}));
}

TEST_F(DbaseStorageTest, KeepsHeaderRight) {
  DbaseFileBytes file;
  file.version = 0x03;
  file.languageDriver = 0x65;
  file.fields = {{"ID", 'N', 3}};
  file.records = {"   1", "   2"};
  file.write(table_);
  {
    auto storage = OpenDbaseStorage(table_, OpenMode::Shared);
    storage->appendRecord({Value::Integer(3)});
    storage->flush();
    std::string bytes = ReadFileBytes(table_);
    EXPECT_EQ(bytes[4], 3);                    // record count
    EXPECT_EQ(bytes.size(), 65u + 4 * 3 + 1);  // records and the end-of-file marker
    EXPECT_EQ(bytes.back(), '\x1A');
    EXPECT_EQ(static_cast<unsigned char>(bytes[29]), 0x65);      // language driver kept
    EXPECT_NE(bytes.substr(1, 3), std::string("\x7C\x05\x06"));  // last update moved on
    storage->appendRecord({Value::Integer(4)});
  }
  std::string bytes = ReadFileBytes(table_);
  EXPECT_EQ(bytes[4], 4);
  EXPECT_EQ(bytes.size(), 65u + 4 * 4 + 1);
  EXPECT_EQ(bytes.back(), '\x1A');

  auto storage = OpenDbaseStorage(table_, OpenMode::Shared);
  storage->emptyTable();
  EXPECT_EQ(storage->recordCount(), 0u);
  storage.reset();
  bytes = ReadFileBytes(table_);
  EXPECT_EQ(bytes.size(), 66u);
  EXPECT_EQ(bytes[4], 0);
  EXPECT_EQ(bytes.back(), '\x1A');
  EXPECT_EQ(OpenDbaseStorage(table_, OpenMode::Shared)->fieldDefs().size(), 1u);
}

TEST_F(DbaseStorageTest, TrustsTheSmallerOfHeaderCountAndFileSize) {
  struct Case {
    long long headerCount;
    std::size_t records;
    bool partialTail;
    std::size_t expected;
  };
  const std::vector<Case> cases = {
      {2, 5, false, 2},  // records written, header not yet updated
      {9, 3, false, 3},  // file cut short
      {3, 3, true, 3},   // half a record after the last one
      {0, 2, false, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.headerCount);
    DbaseFileBytes file;
    file.fields = {{"ID", 'N', 3}};
    for (std::size_t i = 0; i < c.records; ++i)
      file.records.push_back("   " + std::to_string(i + 1));
    file.headerCount = c.headerCount;
    file.endOfFileMarker = false;
    std::string bytes = file.bytes() + (c.partialTail ? " 9" : "");
    test::WriteFileBytes(table_, bytes);
    {
      auto storage = OpenDbaseStorage(table_, OpenMode::Shared);
      EXPECT_EQ(storage->recordCount(), c.expected);
      EXPECT_EQ(ReadAll(*storage).size(), c.expected);
      EXPECT_NE(storage->faults(), "");
      // What the header does not count is not the writer's to cut off: it refuses the table.
      EXPECT_THROW(storage->appendRecord({Value::Integer(99)}), TableError);
    }
    EXPECT_EQ(ReadFileBytes(table_), bytes);
  }
}

TEST_F(DbaseStorageTest, DamagedOrForeignFilesRaiseClearErrors) {
  DbaseFileBytes good;
  good.fields = {{"ID", 'N', 3}, {"NAME", 'C', 5}};
  good.records = {"   1abcde"};
  const std::string valid = good.bytes();
  auto patched = [&](std::size_t at, std::string bytes) {
    std::string out = valid;
    out.replace(at, bytes.size(), bytes);
    return out;
  };
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", "too short"},
      {"hello world, not a table at all", "too short"},
      {patched(0, "\x07"), "unknown version"},
      {patched(8, std::string("\xFF\x7F", 2)), "header length"},
      {patched(8, std::string("\x10\x00", 2)), "header length"},
      {patched(10, std::string("\x05\x00", 2)), "shorter than its fields"},
      {patched(10, std::string("\x01\x00", 2)), "record length"},
      {patched(32, std::string(11, '\0')), "has no name"},
      {patched(32 + 16, std::string("\x00", 1)), "width 0"},
      {patched(32, "\x0D"), "no fields"},
      {patched(64 + 17, "\x09"), "more decimals"},
  };
  for (const auto& [bytes, message] : cases) {
    SCOPED_TRACE(message);
    test::WriteFileBytes(table_, bytes);
    std::string error = ErrorOf([&] { OpenDbaseStorage(table_, OpenMode::Shared); });
    EXPECT_NE(error.find("Table 'table.dbf' is not a valid dBase table"), std::string::npos)
        << error;
    EXPECT_NE(error.find(message), std::string::npos) << error;
    EXPECT_EQ(ReadFileBytes(table_), bytes);  // reading never changes the file
  }

  EXPECT_EQ(ErrorOf([&] { OpenDbaseStorage(dir_ / "missing.dbf", OpenMode::Shared); }),
            "Table '" + (dir_ / "missing.dbf").string() + "' does not exist");
  DbaseFileBytes memo;
  memo.version = 0x8B;
  memo.fields = {{"NOTE", 'M', 10}};
  memo.write(table_);
  std::string error = ErrorOf([&] { OpenDbaseStorage(table_, OpenMode::Shared); });
  EXPECT_NE(error.find("table.dbt' does not exist"), std::string::npos) << error;
}

TEST_F(DbaseStorageTest, CreateReplacesTableOnlyWhenItSucceeds) {
  {
    auto storage = CreateDbaseStorage(
        table_, {NativeFieldDef("NOTE", 'M', 10), NativeFieldDef("ID", 'N', 3)}, {});
    storage->appendRecord({Value::Text("kept"), Value::Integer(1)});
  }
  std::string before = ReadFileBytes(table_);
  std::string memoBefore = ReadFileBytes(dir_ / "table.dbt");
  EXPECT_THROW(CreateDbaseStorage(
                   table_, {NativeFieldDef("ID", 'N', 3), NativeFieldDef("BAD", 'N', 40)}, {}),
               TableError);
  EXPECT_EQ(ReadFileBytes(table_), before);
  EXPECT_EQ(ReadFileBytes(dir_ / "table.dbt"), memoBefore);

  auto storage = CreateDbaseStorage(table_, {NativeFieldDef("ID", 'N', 3)}, {});
  EXPECT_EQ(storage->recordCount(), 0u);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "table.dbt"));
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
    ++files;
  }
  EXPECT_EQ(files, 1u);  // no temporary files left behind
}

}  // namespace
}  // namespace nox::tables
