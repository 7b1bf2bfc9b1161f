#include "controls/db_combo_box.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "controls/data_source.h"
#include "tables/table.h"
#include "tests/forms/dialog_probe.h"
#include "tests/support/memory_storage.h"

namespace nox::controls {
namespace {

using forms::testing::DialogAnswerer;
using tables::FieldType;
using tables::Value;

struct ComboWindow {
  QTemporaryDir dir;
  tables::TTable table;
  TNoxDataSource source;
  QWidget window;
  TNoxDBNComboBox* combo = new TNoxDBNComboBox(&window);
  QLineEdit* other = new QLineEdit(&window);

  ComboWindow() {
    QFile list(dir.filePath("UNITS.MNU"));
    EXPECT_TRUE(list.open(QIODevice::WriteOnly));
    list.write("kg\r\npcs\r\nm\r\n");
    list.close();
    // The list file lies beside the combo's own table.
    table.SetDatabaseName(dir.path().toStdString());
    table.OpenOnStorage(
        test::MakeMemoryStorage({{"UNIT", FieldType::String, 4}}, {}, {{Value::Text("pcs")}}));
    table.First();
    source.SetDataSet(&table);
    window.setWindowTitle("Goods");
    combo->setObjectName("CBUnit");
    combo->setGeometry(10, 10, 100, 24);
    other->setGeometry(10, 50, 100, 24);
    combo->SetDataSource(&source);
    combo->SetDataField("UNIT");
    combo->SetLoadStyle(TLoadStyle::lsFromAliasPath);
    combo->SetSourceFile("UNITS");
    window.show();
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
  }
};

TEST(DBNComboBox, LoadsTheListBesideItsTableAndWarnsOfOwnerDrawStyles) {
  struct Case {
    TComboBoxStyle style;
    bool warns;
  };
  const Case cases[] = {{TComboBoxStyle::csDropDown, false},
                        {TComboBoxStyle::csDropDownList, false},
                        {TComboBoxStyle::csOwnerDrawFixed, true},
                        {TComboBoxStyle::csOwnerDrawVariable, true}};
  for (const Case& c : cases) {
    ComboWindow w;
    w.combo->SetStyle(c.style);
    DialogAnswerer answerer("BtnOK", "LblSoob");
    w.combo->Loaded();
    ASSERT_EQ(answerer.Shown().size(), c.warns ? 1u : 0u);
    if (c.warns) {
      EXPECT_EQ(answerer.Shown()[0].message,
                "Property Style values csOwnerDrawFixed and csOwnerDrawVariable is not used");
      EXPECT_EQ(answerer.Shown()[0].caption, "Goods");
    }
    EXPECT_EQ(w.combo->Items(), QStringList({"kg", "pcs", "m"}));
    EXPECT_EQ(w.combo->currentText(), "pcs");
  }
}

TEST(DBNComboBox, AChosenLineIsWrittenToTheFieldWhenLeftAndEnterClosesTheList) {
  ComboWindow w;
  w.combo->SetStyle(TComboBoxStyle::csDropDownList);
  w.combo->Loaded();
  w.combo->setFocus();
  w.combo->showPopup();
  ASSERT_TRUE(w.combo->view()->isVisible());
  QTest::keyClick(w.combo->view(), Qt::Key_Down);
  QTest::keyClick(w.combo->view(), Qt::Key_Return);
  EXPECT_FALSE(w.combo->view()->isVisible());
  EXPECT_EQ(w.combo->LastKey(), Qt::Key_Return);
  EXPECT_EQ(w.combo->currentText(), "m");
  w.other->setFocus();
  ASSERT_TRUE(w.source.Post());
  EXPECT_EQ(w.table.FieldByName("UNIT").AsString(), "m");
  // No code cut: a whole line is stored as chosen.
  EXPECT_EQ(w.combo->currentText(), "m");
}

TEST(DBNComboBox, HeightUserDefHoldsAgainstResizing) {
  ComboWindow w;
  w.combo->SetHeightUserDef(30);
  w.combo->resize(120, 50);
  EXPECT_EQ(w.combo->height(), 30);
  w.combo->SetHeightUserDef(0);
  w.combo->resize(120, 50);
  EXPECT_EQ(w.combo->height(), 50);
}

}  // namespace
}  // namespace nox::controls
