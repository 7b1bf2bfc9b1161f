// The control gallery on a copy of the bundled example: the conversions fill the tables, and every
// control of the window shows their data; the lookup combo picks a client for an order.

#include <gtest/gtest.h>

#include <QTest>
#include <functional>

#include "controls/combo_box.h"
#include "controls/db_combo_box.h"
#include "controls/db_edit.h"
#include "controls/db_grid.h"
#include "controls/look_list.h"
#include "controls/lookup_combo.h"
#include "controls/memo.h"
#include "controls/string_grid.h"
#include "examples/gallery/example_copy.h"
#include "examples/gallery/form_controls.h"
#include "tests/forms/dialog_probe.h"
#include "tests/support/temp_dir.h"

namespace nox::gallery {
namespace {

using namespace nox::controls;

class GalleryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = std::filesystem::current_path();
    PrepareWorkingCopy(NOX_EXAMPLES_DIR, dir.path());
    data.emplace(dir.path());
    form = forms::CreateForm<TFormControls>(*data);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  }
  void TearDown() override {
    form.reset();
    data->Close();
    std::filesystem::current_path(previous_);
    for (const auto& shown : answerer.Shown())
      ADD_FAILURE() << shown.message.toStdString();
  }
  template <typename Control>
  Control& Find(const char* name) {
    auto* control = form->findChild<Control*>(QString::fromLatin1(name));
    if (control == nullptr) throw std::runtime_error(std::string("no control ") + name);
    return *control;
  }

  forms::testing::DialogAnswerer answerer;
  test::TempDir dir;
  std::filesystem::path previous_;
  std::optional<TGalleryData> data;
  forms::FormPtr<TFormControls> form;
};

TEST_F(GalleryTest, EveryControlShowsTheExamplesData) {
  // The conversions ran: 22 clients (four codes refused as repeated), 15 orders.
  EXPECT_EQ(data->clients.RecordCount(), 22u);
  EXPECT_EQ(data->orders.RecordCount(), 15u);
  const struct {
    const char* name;
    std::function<QString()> shown;
    QString expected;  // empty: anything but empty
  } cases[] = {
      {"DBGridOrders",
       [&] { return Find<TNoxDBGrid>("DBGridOrders").model()->index(0, 0).data().toString(); },
       "5001"},
      {"EditOrderNo", [&] { return Find<TNoxDBEdit>("EditOrderNo").text(); }, "5001"},
      {"LookupClient", [&] { return Find<TNoxLookupCombo>("LookupClient").text(); }, "101"},
      {"EditAmount", [&] { return Find<TNoxDBEdit>("EditAmount").text(); }, "125"},
      {"EditDate", [&] { return Find<TNoxDBEdit>("EditDate").text(); }, ""},
      {"DBNComboNote", [&] { return Find<TNoxDBNComboBox>("DBNComboNote").currentText(); },
       QString::fromUtf8("Piegāde uz Rīgu")},
      {"DBNComboNote items", [&] { return Find<TNoxDBNComboBox>("DBNComboNote").Items().value(1); },
       QString::fromUtf8("Ātrā piegāde")},
      {"LookListClients",
       [&] { return Find<TNoxLookList>("LookListClients").model()->index(0, 1).data().toString(); },
       QString::fromUtf8("Bērziņš Jānis")},
      {"DBMemoClientNote", [&] { return Find<TNoxDBMemo>("DBMemoClientNote").toPlainText(); },
       QString::fromUtf8("Bērziņš Jānis, Rīga")},
      {"ComboTag", [&] { return Find<TNoxComboBox>("ComboTag").Items().value(0); },
       "A - price above 50"},
      {"SingleComboCity",
       [&] { return Find<TNoxSingleComboBox>("SingleComboCity").Items().join(','); },
       QString::fromUtf8("Cēsis,Daugavpils,Jēkabpils,Liepāja,Rīga")},
      {"LBFiles", [&] { return Find<TNoxListBox>("LBFiles").item(0)->text(); }, "CUSTOMER.DBF"},
      {"SGFields", [&] { return Find<TNoxStringGrid>("SGFields").item(1, 0)->text(); }, "NAME"},
      {"MemoDescription", [&] { return Find<TNoxMemo>("MemoDescription").toPlainText(); }, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const QString shown = c.shown();
    if (c.expected.isEmpty()) {
      EXPECT_FALSE(shown.trimmed().isEmpty());
    } else {
      EXPECT_TRUE(shown.startsWith(c.expected)) << shown.toStdString();
    }
  }
}

TEST_F(GalleryTest, LookupComboPicksAClientForTheOrder) {
  auto& lookup = Find<TNoxLookupCombo>("LookupClient");
  lookup.setFocus();
  lookup.DropDown();
  ASSERT_TRUE(lookup.DroppedDown());
  QTest::keyClicks(&lookup, QStringLiteral("104"));
  QTest::keyClick(&lookup, Qt::Key_Return);
  EXPECT_EQ(lookup.text(), "104");
  Find<TNoxDBEdit>("EditAmount").setFocus();  // leaving stores the code in the order
  ASSERT_TRUE(data->ordersSource.Post());
  data->ordersSource.First();
  EXPECT_EQ(data->orders.FieldByName("CODE").AsString(), "104");
}

}  // namespace
}  // namespace nox::gallery
