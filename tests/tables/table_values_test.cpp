// Field values: assigning converts to the field's type, reading gives the formula language's text.

#include <gtest/gtest.h>

#include <cmath>

#include "host/date_time.h"
#include "host/host_formats.h"
#include "tables/table.h"
#include "tables/value_convert.h"
#include "tests/support/memory_storage.h"

namespace nox::tables {
namespace {

using test::MakeMemoryStorage;

class TableValuesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::HostFormats::SetShortDateFormat(host::DateFormat::Parse("dd.mm.yyyy"));
    host::HostFormats::SetDecimalSeparator(',');
    table.SetName("TableTarget");
    table.OpenOnStorage(MakeMemoryStorage({
        {"Name", FieldType::String, 5},
        {"Small", FieldType::SmallInt},
        {"Count", FieldType::Integer},
        {"Unsigned", FieldType::Word},
        {"Flag", FieldType::Boolean},
        {"Amount", FieldType::Float},
        {"Day", FieldType::Date},
        {"Price", FieldType::Currency},
        {"Exact", FieldType::BCD},
        {"Clock", FieldType::Time},
        {"Stamp", FieldType::DateTime},
        {"Serial", FieldType::AutoInc},
        {"Notes", FieldType::Memo},
        {"Picture", FieldType::Blob},
    }));
    table.Append();
  }
  void TearDown() override { host::HostFormats::SetDecimalSeparator('.'); }

  TTable table;
};

TEST_F(TableValuesTest, TextAssignedToEachTypeReadsBackAsString) {
  struct Case {
    const char* field;
    const char* text;
    const char* asString;
  };
  const Case cases[] = {
      {"Name", "Riga", "Riga"},
      {"Name", "Liepaja", "Liepa"},  // cut to the field's size
      {"Small", " -32768", "-32768"},
      {"Count", "+2147483647", "2147483647"},
      {"Unsigned", "65535", "65535"},
      {"Flag", "true", "True"},
      {"Flag", "F", "False"},
      {"Flag", "tr", "True"},
      {"Amount", "3,25", "3,25"},  // host separator both ways
      {"Amount", "1E20", "1E20"},
      {"Amount", "0,1", "0,1"},
      {"Day", "29.02.2004", "29.02.2004"},
      {"Day", "1.2.2004", "01.02.2004"},
      {"Price", "12,34567", "12,3457"},  // currency keeps four decimals
      {"Exact", "-7,5", "-7,5"},
      {"Clock", "7:05", "07:05:00"},
      {"Clock", "23:59:59", "23:59:59"},
      {"Stamp", "31.12.1999 13:45:10", "31.12.1999 13:45:10"},
      {"Stamp", "31.12.1999", "31.12.1999"},
      {"Serial", "17", "17"},
      {"Notes", "a long memo text is not cut", "a long memo text is not cut"},
      {"Picture", "\x01\xff", "\x01\xff"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " <- '" + c.text + "'");
    TField& field = table.FieldByName(c.field);
    field.SetAsString(c.text);
    EXPECT_EQ(field.AsString(), c.asString);
    EXPECT_FALSE(field.IsNull());
  }
}

TEST_F(TableValuesTest, BadTextsRaiseClearErrorsAndKeepTheOldValue) {
  struct Case {
    const char* field;
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {"Count", "abc", "'abc' is not a valid integer value"},
      {"Count", "12,5", "'12,5' is not a valid integer value"},
      {"Count", "99999999999999999999", "'99999999999999999999' is not a valid integer value"},
      {"Small", "40000",
       "40000 is not a valid value for field 'Small'. The allowed range is -32768 to 32767"},
      {"Unsigned", "-1",
       "-1 is not a valid value for field 'Unsigned'. The allowed range is 0 to 65535"},
      {"Count", "2147483648",
       "2147483648 is not a valid value for field 'Count'. The allowed range is -2147483648 to "
       "2147483647"},
      {"Amount", "abc", "'abc' is not a valid floating point value"},
      {"Amount", "3.25", "'3.25' is not a valid floating point value"},  // host separator is ","
      {"Price", "1x", "'1x' is not a valid floating point value"},
      {"Day", "abc", "'abc' is not a valid date"},
      {"Day", "31.02.2004", "'31.02.2004' is not a valid date"},
      {"Clock", "25:00", "'25:00' is not a valid time"},
      {"Stamp", "01.01.2000 x", "'01.01.2000 x' is not a valid date and time"},
      {"Flag", "yes", "'yes' is not a valid boolean value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.field) + " <- '" + c.text + "'");
    TField& field = table.FieldByName(c.field);
    field.SetValue(Value::Integer(1));
    const Value before = field.GetValue();
    try {
      field.SetAsString(c.text);
      ADD_FAILURE() << "no error";
    } catch (const TableError& error) {
      EXPECT_STREQ(error.what(), c.message);
    }
    EXPECT_EQ(field.GetValue(), before);
  }
}

TEST_F(TableValuesTest, EmptyTextOrNullEmptiesEveryField) {
  for (int i = 0; i < table.FieldCount(); ++i) {
    TField& field = table.Fields(i);
    SCOPED_TRACE(field.FieldName());
    field.SetValue(Value::Integer(1));
    field.SetAsString("");
    EXPECT_TRUE(field.IsNull());
    EXPECT_EQ(field.AsString(), "");
    EXPECT_EQ(field.AsDateTime(), 0.0);
    field.SetValue(Value::Integer(1));
    field.SetValue(Value::Null());
    EXPECT_TRUE(field.IsNull());
  }
}

TEST_F(TableValuesTest, VariantsConvertToTheFieldKind) {
  const double day = host::EncodeDate({2004, 1, 15});
  struct Case {
    const char* field;
    Value value;
    Value stored;
  };
  const Case cases[] = {
      {"Name", Value::Integer(42), Value::Text("42")},
      {"Name", Value::Float(2.5), Value::Text("2,5")},
      {"Name", Value::Boolean(true), Value::Text("True")},
      {"Notes", Value::Date(day), Value::Text("15.01.2004")},
      {"Name", Value::Date(day), Value::Text("15.01")},
      {"Count", Value::Float(2.5), Value::Integer(2)},  // halves to even
      {"Count", Value::Float(3.5), Value::Integer(4)},
      {"Count", Value::Currency(-1.0), Value::Integer(-1)},
      {"Amount", Value::Integer(7), Value::Float(7.0)},
      {"Price", Value::Float(1.23456), Value::Currency(1.2346)},
      {"Day", Value::Date(day + 0.75), Value::Date(day)},
      {"Day", Value::Float(day), Value::Date(day)},
      {"Clock", Value::Date(day + 0.5), Value::Date(0.5)},
      {"Stamp", Value::Date(day + 0.5), Value::Date(day + 0.5)},
      {"Flag", Value::Integer(0), Value::Boolean(false)},
      {"Flag", Value::Float(2.0), Value::Boolean(true)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    table.FieldByName(c.field).SetValue(c.value);
    EXPECT_EQ(table.FieldByName(c.field).GetValue(), c.stored);
  }
}

TEST_F(TableValuesTest, AsDateTimeReadsDatesAndDateTexts) {
  const double day = host::EncodeDate({2004, 2, 29});
  table.FieldByName("Day").SetAsDateTime(day + 0.25);
  EXPECT_EQ(table.FieldByName("Day").AsDateTime(), day);
  table.FieldByName("Stamp").SetAsDateTime(day + 0.25);
  EXPECT_EQ(table.FieldByName("Stamp").AsDateTime(), day + 0.25);
  table.FieldByName("Notes").SetAsString("29.02.2004");
  EXPECT_EQ(table.FieldByName("Notes").AsDateTime(), day);
}

TEST_F(TableValuesTest, FieldsListNameTypeAndSizeInTableOrder) {
  EXPECT_EQ(table.FieldCount(), 14);
  EXPECT_EQ(table.Fields(0).FieldName(), "Name");
  EXPECT_EQ(table.Fields(0).DataType(), FieldType::String);
  EXPECT_EQ(table.Fields(0).Size(), 5);
  EXPECT_EQ(&table.FieldByName("AMOUNT"), &table.Fields(5));
  EXPECT_EQ(table.FindField("nothing"), nullptr);
  try {
    table.FieldByName("Nothing");
    ADD_FAILURE() << "no error";
  } catch (const TableError& error) {
    EXPECT_STREQ(error.what(), "Field 'Nothing' not found");
  }
  EXPECT_THROW(table.Fields(14), TableError);
}

// A storage skips converting a value already of its field's kind: that may hold only where the
// conversion would give the value back unchanged.
TEST(HoldsFieldValueTest, HoldsOnlyWhatConvertingGivesBackUnchanged) {
  const FieldDef text{"T", FieldType::String, 3};
  const FieldDef small{"S", FieldType::SmallInt};
  const FieldDef number{"N", FieldType::Float};
  const FieldDef date{"D", FieldType::Date};
  const FieldDef money{"M", FieldType::Currency};
  const FieldDef flag{"B", FieldType::Boolean};
  const struct {
    const FieldDef& field;
    Value value;
    bool holds;
  } cases[] = {
      {text, Value::Text("abc"), true},      {text, Value::Text("abcd"), false},
      {text, Value::Text(""), false},        {text, Value::Integer(1), false},
      {small, Value::Integer(-32768), true}, {small, Value::Integer(32768), false},
      {small, Value::Float(3.0), false},     {number, Value::Float(2.5), true},
      {number, Value::Float(NAN), false},    {number, Value::Integer(2), false},
      {date, Value::Date(45000.0), true},    {date, Value::Date(45000.5), false},
      {money, Value::Currency(1.25), false}, {flag, Value::Boolean(false), true},
      {flag, Value::Integer(0), false},      {number, Value::Null(), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.field.name + " " + FieldValueText(FieldType::Unknown, c.value));
    EXPECT_EQ(HoldsFieldValue(c.field, c.value), c.holds);
    if (c.holds) {
      EXPECT_EQ(ConvertForField(c.field, c.value), c.value);
    }
  }
}

TEST(FieldTypeListNameTest, NamesTheListedTypesOnly) {
  EXPECT_EQ(FieldTypeListName(FieldType::String), "ALPHA");
  EXPECT_EQ(FieldTypeListName(FieldType::SmallInt), "SINTEGER");
  EXPECT_EQ(FieldTypeListName(FieldType::Integer), "NUMBER");
  EXPECT_EQ(FieldTypeListName(FieldType::Word), "WORD");
  EXPECT_EQ(FieldTypeListName(FieldType::Boolean), "BOOLEAN");
  EXPECT_EQ(FieldTypeListName(FieldType::Float), "FLOAT");
  EXPECT_EQ(FieldTypeListName(FieldType::Date), "DATE");
  for (FieldType other : {FieldType::Currency, FieldType::BCD, FieldType::Time, FieldType::DateTime,
                          FieldType::AutoInc, FieldType::Memo, FieldType::Blob}) {
    EXPECT_EQ(FieldTypeListName(other), "");
  }
}

}  // namespace
}  // namespace nox::tables
