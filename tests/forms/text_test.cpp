#include "forms/text.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>

namespace nox::forms {
namespace {

TEST(DataText, RoundTripsTheCodePageAndRefusesWhatItLacks) {
  struct Case {
    QString text;
    std::optional<std::string> bytes;
  };
  const Case cases[] = {
      {QStringLiteral("Rīga ŠĶ"), std::string("R\xEEga \xD0\xCD")},
      {QStringLiteral("•€"), std::string("\x95\x80")},
      {QString(), std::string()},
      {QStringLiteral("a中b"), std::nullopt},
      {QStringLiteral("Ж"), std::nullopt},  // Cyrillic has no byte in 1257
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text.toStdString());
    EXPECT_EQ(ToDataText(c.text), c.bytes);
    if (c.bytes) {
      EXPECT_EQ(FromDataText(*c.bytes), c.text);
    }
  }
  EXPECT_EQ(ToDataText(QStringLiteral("Ж"), host::CodePage::Windows1251), std::string("\xC6"));
}

TEST(DataText, GuardedEditRefusesTypedAndPastedCharactersWithoutAByte) {
  QLineEdit edit;
  GuardCodePage(edit);
  edit.show();
  const int refusedBefore = RefusedInputs();

  for (const QString& typed : {QStringLiteral("ā"), QStringLiteral("中"), QStringLiteral("b")}) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, typed);
    QApplication::sendEvent(&edit, &press);
  }
  EXPECT_EQ(edit.text(), QStringLiteral("āb"));
  EXPECT_EQ(RefusedInputs(), refusedBefore + 1);

  QApplication::clipboard()->setText(QStringLiteral("x Ж y"));
  edit.paste();
  EXPECT_EQ(edit.text(), QStringLiteral("āb"));  // all of a paste or nothing
  QApplication::clipboard()->setText(QStringLiteral("ņ"));
  edit.paste();
  EXPECT_EQ(edit.text(), QStringLiteral("ābņ"));
  EXPECT_EQ(RefusedInputs(), refusedBefore + 2);
  EXPECT_EQ(ToDataText(edit.text()), std::string("\xE2"
                                                 "b\xF2"));
}

}  // namespace
}  // namespace nox::forms
