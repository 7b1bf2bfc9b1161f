// Navigation in index order, filters, key searches, ranges and the post-error path.

#include <gtest/gtest.h>

#include "host/date_time.h"
#include "host/host_formats.h"
#include "tables/table.h"
#include "tests/support/memory_storage.h"

namespace nox::tables {
namespace {

using test::MakeMemoryStorage;

Record Rate(const char* code, host::CivilDate from, host::CivilDate to, double rate) {
  return {Value::Text(code), Value::Date(host::EncodeDate(from)), Value::Date(host::EncodeDate(to)),
          Value::Float(rate)};
}

std::vector<std::string> Column(TTable& table, const char* field) {
  std::vector<std::string> values;
  for (table.First(); !table.Eof(); table.Next()) {
    values.push_back(table.FieldByName(field).AsString());
  }
  return values;
}

class NavigationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::HostFormats::SetShortDateFormat(host::DateFormat::Parse("dd.mm.yyyy"));
    host::HostFormats::SetDecimalSeparator('.');
  }

  // A keyed table: primary key Code, physical order by key.
  void OpenKeyed() {
    table.OpenOnStorage(
        MakeMemoryStorage({{"Code", FieldType::Integer, 0, true},
                           {"Name", FieldType::String, 20},
                           {"Qty", FieldType::Integer}},
                          {{"", "Code", ixPrimary | ixUnique}},
                          {{Value::Integer(30), Value::Text("cherry"), Value::Integer(3)},
                           {Value::Integer(10), Value::Text("Apple"), Value::Integer(1)},
                           {Value::Integer(20), Value::Text("banana"), Value::Integer(2)}}));
  }

  // The exchange-rate table: no primary index, searched by ValKod;DataKon.
  void OpenRates() {
    table.OpenOnStorage(MakeMemoryStorage({{"ValKod", FieldType::String, 3},
                                           {"DataNach", FieldType::Date},
                                           {"DataKon", FieldType::Date},
                                           {"ValKurs", FieldType::Float}},
                                          {{"iKod", "ValKod;DataKon", 0}},
                                          {Rate("USD", {2004, 2, 1}, {2004, 2, 29}, 60.5),
                                           Rate("EUR", {2004, 1, 1}, {2004, 12, 31}, 66),
                                           Rate("USD", {2004, 1, 1}, {2004, 1, 31}, 59)}));
  }

  TTable table;
};

TEST_F(NavigationTest, FollowsThePrimaryKeyAndEndsAfterTheLastRecord) {
  OpenKeyed();
  EXPECT_EQ(Column(table, "Code"), (std::vector<std::string>{"10", "20", "30"}));
  EXPECT_TRUE(table.Eof());
  EXPECT_EQ(table.FieldByName("Code").AsString(), "30");  // the last record stays current
  EXPECT_EQ(table.RecordCount(), 3u);
  EXPECT_EQ(table.QuickRecordCount(), 3u);
  table.IndexDefsUpdate();
  EXPECT_EQ(table.IndexDefs()[0].fields, "Code");
}

TEST_F(NavigationTest, TableWithoutIndexKeepsRecordOrderAndEmptyTableIsAtEnd) {
  table.OpenOnStorage(MakeMemoryStorage({{"A", FieldType::String, 5}}, {},
                                        {{Value::Text("z")}, {Value::Text("a")}}));
  EXPECT_EQ(Column(table, "A"), (std::vector<std::string>{"z", "a"}));
  EXPECT_THROW(table.FindKey({Value::Text("a")}), TableError);
  table.EmptyTable();
  EXPECT_EQ(table.RecordCount(), 0u);
  EXPECT_TRUE(table.Eof());
  EXPECT_EQ(table.FieldCount(), 1);
  EXPECT_TRUE(table.FieldByName("A").IsNull());
  EXPECT_THROW(table.Edit(), TableError);
}

TEST_F(NavigationTest, IndexFieldNamesOrdersBySecondaryKeysInMemory) {
  OpenKeyed();
  table.SetIndexFieldNames("Name");
  // Case counts unless an index definition says otherwise.
  EXPECT_EQ(Column(table, "Name"), (std::vector<std::string>{"Apple", "banana", "cherry"}));
  table.SetIndexFieldNames("Qty;Code");
  EXPECT_EQ(Column(table, "Code"), (std::vector<std::string>{"10", "20", "30"}));
  EXPECT_THROW(table.SetIndexFieldNames("Missing"), TableError);
  EXPECT_EQ(table.IndexFieldNames(), "Qty;Code");  // a failed change keeps the order
  // Records posted later land in their place of the in-memory order.
  table.SetIndexFieldNames("Name");
  table.Append();
  table.FieldByName("Code").SetAsString("40");
  table.FieldByName("Name").SetAsString("Avocado");
  table.Post();
  EXPECT_EQ(table.FieldByName("Name").AsString(), "Avocado");
  table.Next();
  EXPECT_EQ(table.FieldByName("Name").AsString(), "banana");
  table.First();
  table.FindKey({Value::Text("cherry")});
  table.Edit();
  table.FieldByName("Name").SetAsString("Banana");
  table.Post();
  EXPECT_EQ(Column(table, "Name"),
            (std::vector<std::string>{"Apple", "Avocado", "Banana", "banana"}));
}

TEST_F(NavigationTest, FindKeyFindNearestAndGotoKeyOnCompositeKeys) {
  OpenRates();
  table.SetIndexFieldNames("ValKod;DataKon");
  const auto day = [](int y, int m, int d) { return Value::Date(host::EncodeDate({y, m, d})); };
  struct Case {
    Value code;
    Value date;
    const char* foundCode;
    const char* foundEnd;
  };
  const Case nearest[] = {
      {Value::Text("USD"), day(2004, 1, 15), "USD", "31.01.2004"},
      {Value::Text("USD"), day(2004, 1, 31), "USD", "31.01.2004"},
      {Value::Text("USD"), day(2004, 2, 1), "USD", "29.02.2004"},
      {Value::Text("USD"), day(2004, 3, 1), "USD", "29.02.2004"},  // past the end: last record
      {Value::Text("AAA"), day(2004, 3, 1), "EUR", "31.12.2004"},
      {Value::Text("USD"), Value::Text("15.01.2004"), "USD", "31.01.2004"},  // key as text
  };
  for (const Case& c : nearest) {
    table.FindNearest({c.code, c.date});
    EXPECT_EQ(table.FieldByName("ValKod").AsString(), c.foundCode);
    EXPECT_EQ(table.FieldByName("DataKon").AsString(), c.foundEnd);
  }
  table.FindNearest({Value::Text("USD")});  // a partial key
  EXPECT_EQ(table.FieldByName("DataKon").AsString(), "31.01.2004");

  EXPECT_TRUE(table.FindKey({Value::Text("USD"), day(2004, 2, 29)}));
  EXPECT_EQ(table.FieldByName("ValKurs").AsString(), "60.5");
  EXPECT_FALSE(table.FindKey({Value::Text("USD"), day(2004, 2, 28)}));
  EXPECT_EQ(table.FieldByName("ValKurs").AsString(), "60.5");  // the cursor stayed
  EXPECT_TRUE(table.FindKey({Value::Text("EUR")}));
  EXPECT_THROW(table.FindKey({Value::Text("EUR"), day(2004, 1, 1), Value::Integer(1)}), TableError);

  table.SetKey();
  table.FieldByName("ValKod").SetAsString("USD");
  table.FieldByName("DataKon").SetAsString("31.01.2004");
  EXPECT_TRUE(table.GotoKey());
  EXPECT_EQ(table.FieldByName("ValKurs").AsString(), "59");
  table.SetKey();
  table.FieldByName("ValKod").SetAsString("GBP");
  EXPECT_FALSE(table.GotoKey());
  EXPECT_EQ(table.State(), TableState::Browse);
}

TEST_F(NavigationTest, CaseInsensitiveIndexSearchesWithoutRegardToCase) {
  table.OpenOnStorage(
      MakeMemoryStorage({{"KeyPx", FieldType::AutoInc},
                         {"Key", FieldType::String, 40},
                         {"Lang1", FieldType::String, 250}},
                        {{"", "KeyPx", ixPrimary}, {"iLang1", "Key", ixCaseInsensitive}},
                        {{Value::Integer(1), Value::Text("BBClose"), Value::Text("&Close")},
                         {Value::Integer(2), Value::Text("bbconvert"), Value::Text("&Convert")},
                         {Value::Integer(3), Value::Text("LBL\xc5\xa0"), Value::Text("x")}}));
  table.SetIndexName("iLang1");
  EXPECT_TRUE(table.FindKey({Value::Text("BBCONVERT")}));
  EXPECT_EQ(table.FieldByName("Lang1").AsString(), "&Convert");
  EXPECT_TRUE(table.FindKey({Value::Text("bbclose")}));
  EXPECT_EQ(table.FieldByName("KeyPx").AsString(), "1");
  // Windows-1257 letters fold too (0xE0 ą to 0xC0 Ą).
  table.SetIndexFieldNames("Key");
  EXPECT_TRUE(table.FindKey({Value::Text("lbl\xe5\xa0")}));
  EXPECT_EQ(table.FieldByName("KeyPx").AsString(), "3");
  EXPECT_THROW(table.SetIndexName("iMissing"), TableError);
}

TEST_F(NavigationTest, RangeLimitsNavigationAndCount) {
  OpenRates();
  table.SetIndexFieldNames("ValKod;DataKon");
  table.SetRange({Value::Text("USD")}, {Value::Text("USD")});
  EXPECT_EQ(Column(table, "DataKon"), (std::vector<std::string>{"31.01.2004", "29.02.2004"}));
  EXPECT_EQ(table.RecordCount(), 2u);
  EXPECT_FALSE(table.FindKey({Value::Text("EUR")}));
  table.SetRange({Value::Text("A")}, {Value::Text("F")});
  EXPECT_EQ(Column(table, "ValKod"), (std::vector<std::string>{"EUR"}));
  table.SetRange({Value::Text("X")}, {Value::Text("Z")});
  EXPECT_TRUE(table.Eof());
  EXPECT_EQ(table.RecordCount(), 0u);
  table.CancelRange();
  EXPECT_EQ(table.RecordCount(), 3u);
}

TEST_F(NavigationTest, FilterSkipsFailingRecordsEverywhere) {
  OpenKeyed();
  table.SetFilter("Qty >= 2");
  EXPECT_EQ(table.RecordCount(), 3u);  // not filtered yet
  table.SetFiltered(true);
  EXPECT_EQ(Column(table, "Code"), (std::vector<std::string>{"20", "30"}));
  EXPECT_EQ(table.RecordCount(), 2u);
  EXPECT_EQ(table.QuickRecordCount(), 3u);
  EXPECT_FALSE(table.FindKey({Value::Integer(10)}));
  table.FindNearest({Value::Integer(5)});
  EXPECT_EQ(table.FieldByName("Code").AsString(), "20");
  table.Last();
  EXPECT_EQ(table.FieldByName("Code").AsString(), "30");
  table.Prior();
  EXPECT_EQ(table.FieldByName("Code").AsString(), "20");
  table.Prior();
  EXPECT_TRUE(table.Bof());

  EXPECT_THROW(table.SetFilter("Qty >"), TableError);
  EXPECT_EQ(table.RecordCount(), 2u);  // a bad expression leaves the filter as it was
  table.SetFiltered(false);
  EXPECT_EQ(table.RecordCount(), 3u);
}

TEST_F(NavigationTest, OrderPositionsCountRangeAndFilteredRecordsAndReadsKeepAnEdit) {
  OpenRates();
  table.SetIndexFieldNames("ValKod;DataKon");
  table.SetRange({Value::Text("USD")}, {Value::Text("USD")});
  EXPECT_EQ(table.OrderCount(), 2u);
  EXPECT_EQ(table.OrderPosition(), 0u);
  ASSERT_TRUE(table.MoveToOrderPosition(1));
  EXPECT_EQ(table.FieldByName("DataKon").AsString(), "29.02.2004");
  EXPECT_EQ(table.OrderPosition(), 1u);
  EXPECT_FALSE(table.MoveToOrderPosition(2));  // past the range: the cursor stays
  EXPECT_EQ(table.OrderPosition(), 1u);
  table.CancelRange();

  table.SetFilter("ValKurs > 60");
  table.SetFiltered(true);
  EXPECT_EQ(table.OrderCount(), 3u);  // the filter's refusals keep their positions
  EXPECT_EQ(table.OrderPosition(), 0u);
  EXPECT_FALSE(table.MoveToOrderPosition(1));  // USD of January is refused: the cursor stays
  EXPECT_EQ(table.OrderPosition(), 0u);
  EXPECT_TRUE(table.MoveToOrderPosition(2));

  table.Edit();
  table.FieldByName("ValKurs").SetValue(Value::Float(99));
  Record other;
  EXPECT_FALSE(table.ReadAtOrderPosition(1, other));
  EXPECT_EQ(other[0], Value::Text("USD"));
  EXPECT_TRUE(table.ReadAtOrderPosition(2, other));
  EXPECT_FALSE(table.ReadAtOrderPosition(3, other));
  EXPECT_EQ(table.State(), TableState::Edit);  // reading elsewhere keeps the pending edit
  EXPECT_EQ(table.FieldByName("ValKurs").AsString(), "99");
}

TEST_F(NavigationTest, BadFilterRaisesWhenFilteringStartsOrTheTableOpens) {
  table.SetFilter("Nothing = 1");
  table.SetFiltered(true);
  EXPECT_THROW(OpenKeyed(), TableError);
  EXPECT_FALSE(table.Active());
  table.SetFiltered(false);
  OpenKeyed();
  EXPECT_THROW(table.SetFiltered(true), TableError);
  EXPECT_FALSE(table.Filtered());
  EXPECT_EQ(table.RecordCount(), 3u);
}

TEST_F(NavigationTest, AppendPostCancelAndEdit) {
  OpenKeyed();
  EXPECT_THROW(table.FieldByName("Qty").SetAsString("1"), TableError);  // browse mode
  table.Append();
  EXPECT_EQ(table.State(), TableState::Insert);
  EXPECT_TRUE(table.FieldByName("Code").IsNull());
  table.FieldByName("Code").SetAsString("15");
  table.Post();
  EXPECT_EQ(table.State(), TableState::Browse);
  EXPECT_EQ(table.FieldByName("Code").AsString(), "15");
  table.Next();
  EXPECT_EQ(table.FieldByName("Code").AsString(), "20");

  table.Append();
  table.FieldByName("Code").SetAsString("99");
  table.Cancel();
  EXPECT_EQ(table.FieldByName("Code").AsString(), "20");
  // An unposted record is never stored by a later Append or a move.
  table.Append();
  table.FieldByName("Code").SetAsString("98");
  table.Append();
  table.Cancel();
  table.Append();
  table.FieldByName("Code").SetAsString("97");
  table.First();
  EXPECT_EQ(table.RecordCount(), 4u);

  table.Edit();
  table.FieldByName("Qty").SetAsString("11");
  table.Post();
  EXPECT_TRUE(table.FindKey({Value::Integer(10)}));
  EXPECT_EQ(table.FieldByName("Qty").AsString(), "11");
  // A changed key moves the record.
  table.Edit();
  table.FieldByName("Code").SetAsString("50");
  table.Post();
  EXPECT_EQ(Column(table, "Code"), (std::vector<std::string>{"15", "20", "30", "50"}));
}

TEST_F(NavigationTest, PostErrorActions) {
  OpenKeyed();
  std::vector<std::string> errors;
  PostErrorAction chosen = PostErrorAction::Fail;
  table.SetOnPostError([&](TTable& t, const TableError& error, PostErrorAction& action) {
    errors.push_back(error.what());
    EXPECT_EQ(action, PostErrorAction::Fail);  // the default
    if (chosen == PostErrorAction::Retry) t.FieldByName("Code").SetAsString("21");
    action = chosen;
  });
  const auto appendDuplicate = [&] {
    table.Append();
    table.FieldByName("Code").SetAsString("20");
    table.FieldByName("Name").SetAsString("dup");
    table.Post();
  };

  EXPECT_THROW(appendDuplicate(), KeyViolation);  // fail
  EXPECT_EQ(table.State(), TableState::Insert);
  chosen = PostErrorAction::Abort;
  EXPECT_THROW(appendDuplicate(), AbortError);  // abort: silent, record still pending
  EXPECT_EQ(table.State(), TableState::Insert);
  table.Cancel();
  EXPECT_EQ(table.RecordCount(), 3u);
  chosen = PostErrorAction::Retry;  // the handler fixes the key, then the post is tried again
  appendDuplicate();
  EXPECT_EQ(table.FieldByName("Code").AsString(), "21");
  EXPECT_EQ(table.RecordCount(), 4u);
  EXPECT_EQ(errors, (std::vector<std::string>(3, "Key violation")));

  // A missing required value takes the same path.
  chosen = PostErrorAction::Fail;
  table.Append();
  table.FieldByName("Name").SetAsString("no code");
  EXPECT_THROW(table.Post(), TableError);
  EXPECT_EQ(errors.back(), "Field 'Code' must have a value");
}

TEST_F(NavigationTest, HandlerMayCancelAndSearchTheSameTableBeforeAborting) {
  OpenKeyed();
  table.SetOnPostError([](TTable& t, const TableError&, PostErrorAction& action) {
    action = PostErrorAction::Abort;
    const std::string refusedName = t.FieldByName("Name").AsString();
    t.Cancel();
    t.SetKey();
    t.FieldByName("Code").SetAsString("20");
    ASSERT_TRUE(t.GotoKey());
    t.Edit();
    t.FieldByName("Name").SetAsString(t.FieldByName("Name").AsString() + "+" + refusedName);
    t.Post();
  });
  table.Append();
  table.FieldByName("Code").SetAsString("20");
  table.FieldByName("Name").SetAsString("more");
  EXPECT_THROW(table.Post(), AbortError);
  EXPECT_EQ(table.State(), TableState::Browse);
  EXPECT_EQ(Column(table, "Name"), (std::vector<std::string>{"Apple", "banana+more", "cherry"}));
}

}  // namespace
}  // namespace nox::tables
