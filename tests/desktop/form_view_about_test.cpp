#include <gtest/gtest.h>

#include <QFontInfo>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSet>
#include <QTest>
#include <string>
#include <vector>

#include "convert/description_file.h"
#include "desktop/form_about.h"
#include "desktop/form_view.h"
#include "forms/modal.h"

namespace nox::forms {
namespace {

template <typename T>
T* Find(QWidget& form, const char* name) {
  T* child = form.findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(child, nullptr) << name;
  return child;
}

TEST(FormView, ShowsACopyOfTheLinesInAFixedPitchFont) {
  convert::DescriptionText text;
  text.lines = {"FILES", "SOURCE=C:\\DATA\\\xD0\xE0.DBF", "", "RELATIONS", "NAME to NAME"};
  const std::vector<std::string> stored = text.lines;
  FormPtr<TFormView> form = CreateForm<TFormView>(text);
  form->show();

  auto* view = Find<QPlainTextEdit>(*form, "CFileView");
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Convertation INI file"));
  EXPECT_EQ(view->toPlainText(),
            QStringLiteral("FILES\nSOURCE=C:\\DATA\\\u0160\u0105.DBF\n\nRELATIONS\nNAME to NAME"));
  EXPECT_TRUE(QFontInfo(view->font()).fixedPitch());
  EXPECT_EQ(view->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(view->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);

  // Typing stays in the window; showing again copies the text afresh.
  view->moveCursor(QTextCursor::End);
  QTest::keyClicks(view, "X");
  QTest::keyClick(view, Qt::Key_Return);
  EXPECT_TRUE(view->toPlainText().endsWith(QStringLiteral("NAMEX\n")));
  EXPECT_EQ(text.lines, stored);
  text.lines.pop_back();
  form->hide();
  form->show();
  EXPECT_EQ(view->toPlainText(),
            QStringLiteral("FILES\nSOURCE=C:\\DATA\\\u0160\u0105.DBF\n\nRELATIONS"));

  ScopedDialogTestHook close([](QDialog& dialog) -> QAbstractButton* {
    return dialog.findChild<QPushButton*>(QStringLiteral("BBClose"));
  });
  EXPECT_EQ(Find<QPushButton>(*form, "BBClose")->text(), QStringLiteral("Close"));
  EXPECT_EQ(RunModal(*form), QDialog::Accepted);
}

TEST(FormAbout, ShowsTheProductAndClosesWithOk) {
  FormPtr<TFormAbout> form = CreateForm<TFormAbout>();
  EXPECT_EQ(form->windowTitle(), QStringLiteral("About"));
  auto* product = Find<QLabel>(*form, "ProductName");
  EXPECT_EQ(product->text(), QStringLiteral("NOX Base Convertation"));
  EXPECT_TRUE(product->font().bold());
  EXPECT_EQ(Find<QLabel>(*form, "Version")->text(), QStringLiteral("Version 1.1"));
  EXPECT_EQ(Find<QLabel>(*form, "Comments")->text(),
            QStringLiteral("Works with two bases and converts fields using special functions."));
  EXPECT_FALSE(Find<QLabel>(*form, "ProgramIcon")->pixmap().isNull());
  auto* ok = Find<QPushButton>(*form, "OKButton");
  EXPECT_EQ(ok->text(), QStringLiteral("OK"));
  EXPECT_TRUE(ok->isDefault());

  ScopedDialogTestHook press([](QDialog& dialog) -> QAbstractButton* {
    return dialog.findChild<QPushButton*>(QStringLiteral("OKButton"));
  });
  EXPECT_EQ(RunModal(*form), QDialog::Accepted);
}

TEST(FormPres, IsAFramelessPanelThatTakesNoInput) {
  FormPtr<TFormPres> form = CreateForm<TFormPres>();
  form->show();
  EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(form->testAttribute(Qt::WA_TransparentForMouseEvents));
  EXPECT_TRUE(form->windowTitle().isEmpty());
  auto* product = Find<QLabel>(*form, "ProductName");
  EXPECT_EQ(product->text(), QStringLiteral("NOX Base Convertation"));
  EXPECT_TRUE(product->font().bold());
  EXPECT_EQ(Find<QLabel>(*form, "Version")->text(), QStringLiteral("Version 1.2"));
  EXPECT_FALSE(Find<QLabel>(*form, "ProgramIcon")->pixmap().isNull());
  EXPECT_TRUE(form->findChildren<QPushButton*>().isEmpty());
  EXPECT_EQ(form->frameGeometry().center(), form->screen()->availableGeometry().center());
}

TEST(ProgramIcon, IsDrawnAtEverySize) {
  const QIcon icon = ProgramIcon();
  for (int size : {16, 32, 48, 64}) {
    const QImage image = icon.pixmap(size, size).toImage();
    ASSERT_EQ(image.size(), QSize(size, size)) << size;
    // Two tables and an arrow: several colours and a transparent background.
    QSet<QRgb> colours;
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x)
        colours.insert(image.pixel(x, y));
    }
    EXPECT_GE(colours.size(), 5) << size;
    EXPECT_EQ(qAlpha(image.pixel(size - 1, 0)), 0) << size;
  }
}

}  // namespace
}  // namespace nox::forms
