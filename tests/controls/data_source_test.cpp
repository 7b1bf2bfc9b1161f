// The data source: controls' typed values reach the record before it is stored, and a record the
// table refuses stays in edit, unstored, with the error shown (or not, when a handler aborts).

#include "controls/data_source.h"

#include <gtest/gtest.h>

#include "tests/forms/dialog_probe.h"
#include "tests/support/memory_storage.h"

namespace nox::controls {
namespace {

using tables::FieldType;
using tables::PostErrorAction;
using tables::TableState;
using tables::Value;

class DataSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    table.OpenOnStorage(test::MakeMemoryStorage(
        {{"Code", FieldType::Integer, 0, true}, {"Name", FieldType::String, 10}},
        {{"", "Code", tables::ixPrimary | tables::ixUnique}},
        {{Value::Integer(1), Value::Text("one")}, {Value::Integer(2), Value::Text("two")}}));
    source.SetDataSet(&table);
    code.SetDataSource(&source);
    code.SetFieldName("Code");
    code.SetOnUpdateData([this] { code.WriteText(typedCode); });
    QObject::connect(&code, &TNoxFieldDataLink::DataChanged, [this] { ++shown; });
  }

  std::vector<std::string> Codes() {
    std::vector<std::string> codes;
    for (table.First(); !table.Eof(); table.Next())
      codes.push_back(table.FieldByName("Code").AsString());
    return codes;
  }

  tables::TTable table;
  TNoxDataSource source;
  TNoxFieldDataLink code;
  std::string typedCode;
  int shown = 0;
};

TEST_F(DataSourceTest, TypedValueIsWrittenOnPostAndEveryControlFollowsTheRecord) {
  EXPECT_EQ(code.Text(), "1");
  shown = 0;
  ASSERT_TRUE(code.Edit());
  typedCode = "5";
  code.Modified();
  ASSERT_TRUE(source.Post());
  EXPECT_EQ(source.State(), TableState::Browse);
  EXPECT_EQ(code.Text(), "5");
  EXPECT_GT(shown, 0);
  EXPECT_FALSE(code.IsModified());
  ASSERT_TRUE(source.First());
  EXPECT_EQ(code.Text(), "2");
}

TEST_F(DataSourceTest, RefusedRecordStaysInEditUnstoredWithTheErrorShownUnlessAborted) {
  struct Case {
    const char* typed;
    PostErrorAction action;
    const char* message;  // empty: no dialog
  };
  const Case cases[] = {
      {"2", PostErrorAction::Fail, "Key violation"},
      {"2", PostErrorAction::Abort, ""},
      {"abc", PostErrorAction::Fail, "'abc' is not a valid integer value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    table.SetOnPostError([&](tables::TTable&, const tables::TableError&, PostErrorAction& action) {
      action = c.action;
    });
    source.First();
    ASSERT_TRUE(code.Edit());
    typedCode = c.typed;
    code.Modified();
    forms::testing::DialogAnswerer answerer;
    EXPECT_FALSE(source.Post());
    ASSERT_EQ(answerer.Shown().size(), *c.message ? 1u : 0u);
    if (*c.message) {
      EXPECT_EQ(answerer.Shown()[0].message, QString::fromUtf8(c.message));
    }
    EXPECT_EQ(source.State(), TableState::Edit);
    // Moving on tries to store it again and stays where it is.
    EXPECT_FALSE(source.Next());
    EXPECT_EQ(source.State(), TableState::Edit);
    source.Cancel();
    EXPECT_EQ(Codes(), (std::vector<std::string>{"1", "2"}));
  }
}

}  // namespace
}  // namespace nox::controls
