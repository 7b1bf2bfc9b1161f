#include "controls/single_combo_box.h"

#include <gtest/gtest.h>

#include <QListWidget>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

namespace nox::controls {
namespace {

struct ComboWindow {
  QWidget window;
  TNoxSingleComboBox* combo = new TNoxSingleComboBox(&window);

  ComboWindow() {
    combo->setGeometry(10, 10, 120, 24);
    combo->SetItems({"Alpha", "Alpine", "Beta"});
    window.resize(300, 200);
    window.show();
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    combo->setFocus();
  }
};

TEST(SingleComboBox, TypeAheadCompletesFromTheFirstMatchingItem) {
  struct Case {
    const char* typed;
    int finalKey;  // 0: none
    QString text;
    QString selected;
  };
  const Case cases[] = {
      {"Alp", 0, "Alpha", "ha"},
      {"Alpi", 0, "Alpine", "ne"},
      {"alp", 0, "alp", ""},  // case-sensitive
      {"Alpha", 0, "Alpha", ""},
      {"Alp", Qt::Key_Escape, "Alp", ""},
      {"Alp", Qt::Key_Return, "Alpha", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    ComboWindow w;
    w.combo->SetShowHinting(true);
    QTest::keyClicks(w.combo, c.typed);
    if (c.finalKey != 0) QTest::keyClick(w.combo, static_cast<Qt::Key>(c.finalKey));
    EXPECT_EQ(w.combo->text(), c.text);
    EXPECT_EQ(w.combo->selectedText(), c.selected);
  }
  ComboWindow off;
  QTest::keyClicks(off.combo, "Alp");
  EXPECT_EQ(off.combo->text(), "Alp");
}

TEST(SingleComboBox, ArrowsStepThroughTheItemsWithinTheListsEnds) {
  ComboWindow w;
  const std::pair<Qt::Key, QString> steps[] = {
      {Qt::Key_Down, "Alpha"}, {Qt::Key_Up, "Alpha"},  {Qt::Key_Down, "Alpine"},
      {Qt::Key_Down, "Beta"},  {Qt::Key_Down, "Beta"}, {Qt::Key_Up, "Alpine"},
  };
  for (const auto& [key, text] : steps) {
    QTest::keyClick(w.combo, key);
    EXPECT_EQ(w.combo->text(), text);
  }
  EXPECT_EQ(w.combo->ItemIndex(), 1);
}

TEST(SingleComboBox, TheListWindowTakesARowOnEnterAndNothingOnEscape) {
  ComboWindow w;
  QSignalSpy dropped(w.combo, &TNoxSingleComboBox::OnDropDown);
  QSignalSpy closed(w.combo, &TNoxSingleComboBox::OnCloseUp);
  w.combo->SetItems({"  Alpha  ", "Alpine", "Beta", "Gamma", "Delta"});
  w.combo->SetDropDownCount(3);
  QTest::mouseClick(w.combo->Button(), Qt::LeftButton);
  TNoxRunComponentRunComboForm_PNU* list = w.combo->ListWindow();
  ASSERT_TRUE(list->isVisible());
  EXPECT_GE(list->width(), w.combo->width());
  EXPECT_EQ(list->height(), 3 * list->List()->sizeHintForRow(0) + 20);
  EXPECT_EQ(list->List()->objectName(), "List");
  QTest::keyClick(list->List(), Qt::Key_Down);  // from the first row, taken on opening
  QTest::keyClick(list->List(), Qt::Key_Return);
  EXPECT_FALSE(list->isVisible());
  EXPECT_EQ(w.combo->text(), "Alpine");
  EXPECT_EQ(w.combo->ItemIndex(), 1);
  EXPECT_EQ(closed.count(), 1);

  QTest::keyClick(w.combo, Qt::Key_Down, Qt::AltModifier);
  ASSERT_TRUE(list->isVisible());
  QTest::keyClick(list->List(), Qt::Key_Down);
  QTest::keyClick(list->List(), Qt::Key_Escape);
  EXPECT_FALSE(list->isVisible());
  EXPECT_EQ(w.combo->text(), "Alpine");
  EXPECT_EQ(closed.count(), 1);
  EXPECT_EQ(dropped.count(), 2);
  EXPECT_TRUE(w.combo->hasFocus());
}

TEST(SingleComboBox, StyleDecidesTypingAndOutOfRangeIndexes) {
  struct Case {
    TComboBoxStyle style;
    QString typedText;
    QString afterBadIndex;
  };
  const Case cases[] = {
      {TComboBoxStyle::csDropDown, "Bx", "Bx"},
      {TComboBoxStyle::csSimple, "Bx", ""},
      {TComboBoxStyle::csDropDownList, "", ""},
  };
  for (const Case& c : cases) {
    ComboWindow w;
    w.combo->SetStyle(c.style);
    QTest::keyClicks(w.combo, "Bx");
    EXPECT_EQ(w.combo->text(), c.typedText);
    w.combo->SetItemIndex(7);
    EXPECT_EQ(w.combo->text(), c.afterBadIndex);
    EXPECT_EQ(w.combo->ItemIndex(), -1);
  }
  ComboWindow w;
  w.combo->SetItemHeight(19);
  EXPECT_EQ(QFontInfo(w.combo->font()).pixelSize(), 16);
  EXPECT_EQ(w.combo->ItemHeight(), 19);
}

}  // namespace
}  // namespace nox::controls
