#include "desktop/form_new.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "convert/workspace.h"
#include "forms/file_dialog.h"
#include "forms/modal.h"
#include "tests/support/host_test_support.h"

namespace nox::forms {
namespace {

using nox::test::CapturedMessages;

// Answers the file dialogs in turn from a queue (nothing: cancelled) and keeps what they asked.
class FileChooser {
 public:
  void Choose(std::optional<QString> answer) { answers_.push_back(std::move(answer)); }

  std::vector<FileDialogSpec> asked;

 private:
  std::deque<std::optional<QString>> answers_;
  ScopedFileDialogTestHook hook_{[this](const FileDialogSpec& spec) -> std::optional<QString> {
    asked.push_back(spec);
    if (answers_.empty()) ADD_FAILURE() << "unexpected file dialog " << spec.title.toStdString();
    if (answers_.empty()) return std::nullopt;
    std::optional<QString> answer = answers_.front();
    answers_.pop_front();
    return answer;
  }};
};

class FormNewTest : public ::testing::Test {
 protected:
  template <typename T = QLineEdit>
  T* Find(const char* name) {
    T* child = form->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  QString Text(const char* name) { return Find(name)->text(); }
  QPushButton* Button(const char* name) { return Find<QPushButton>(name); }
  bool Focused(const char* name) { return form->focusWidget() == Find<QWidget>(name); }

  void ChooseSource(const QString& path) {
    files.Choose(path);
    form->BtnSourceClick();
  }
  void ChooseTarget(const QString& path) {
    files.Choose(path);
    form->BtnTargetClick();
  }

  CapturedMessages messages;
  FileChooser files;
  FormPtr<TFormNew> form = CreateForm<TFormNew>();
};

TEST_F(FormNewTest, ShowingOffersOnlyTheSourceBrowse) {
  form->show();
  EXPECT_EQ(form->windowTitle(), QStringLiteral("New Convertation"));
  EXPECT_TRUE(form->windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_FALSE(Button("BBOk")->isEnabled());
  EXPECT_TRUE(Button("BBCancel")->isEnabled());
  EXPECT_TRUE(Focused("BtnSource"));
  for (const char* name : {"EditSourcePath", "EditSourceName", "EditSourceExt", "EditTargetPath",
                           "EditTargetName", "EditTargetExt"}) {
    EXPECT_TRUE(Find(name)->isReadOnly()) << name;
    EXPECT_TRUE(Text(name).isEmpty()) << name;
  }

  ChooseSource(QStringLiteral("/data/CLIENTS.DBF"));
  ChooseTarget(QStringLiteral("/data/CUSTOMER.DB"));
  ASSERT_EQ(files.asked.size(), 2u);
  EXPECT_EQ(files.asked[0].title, QStringLiteral("Open Source File"));
  EXPECT_EQ(files.asked[1].title, QStringLiteral("Open Target File"));
  for (const FileDialogSpec& spec : files.asked) {
    EXPECT_EQ(spec.kind, FileDialogSpec::Kind::Open);
    EXPECT_EQ(spec.filter, QStringLiteral("Tables (*.db;*.dbf)|*.db;*.dbf"));
    EXPECT_TRUE(spec.fileName.isEmpty());
  }
}

TEST_F(FormNewTest, EitherOrderOffersOkOnceBothAreChosen) {
  struct Case {
    bool sourceFirst;
    const char* focusAfterFirst;
  };
  for (const Case& c : {Case{true, "BtnTarget"}, Case{false, "BtnSource"}}) {
    SCOPED_TRACE(c.sourceFirst ? "source first" : "target first");
    form = CreateForm<TFormNew>();
    form->show();
    const QString source = QStringLiteral("/data/CLIENTS.DBF");
    const QString target = QStringLiteral("/data/CUSTOMER.DB");
    c.sourceFirst ? ChooseSource(source) : ChooseTarget(target);
    EXPECT_FALSE(Button("BBOk")->isEnabled());
    EXPECT_TRUE(Focused(c.focusAfterFirst));
    c.sourceFirst ? ChooseTarget(target) : ChooseSource(source);
    EXPECT_TRUE(Button("BBOk")->isEnabled());
    EXPECT_TRUE(Focused("BBOk"));
    EXPECT_EQ(form->SourcePath(), "/data/CLIENTS.DBF");
    EXPECT_EQ(form->TargetPath(), "/data/CUSTOMER.DB");
  }
  EXPECT_TRUE(messages.texts.empty());
}

TEST_F(FormNewTest, ChosenNameIsSplitIntoPathNameAndExtension) {
  struct Case {
    QString chosen;
    QString path, name, extension;
  };
  const std::vector<Case> cases = {
      {QStringLiteral("/data/CLIENTS.DBF"), QStringLiteral("/data/"), QStringLiteral("CLIENTS"),
       QStringLiteral(".DBF")},
      {QStringLiteral("/data/A.B.DBF"), QStringLiteral("/data/"), QStringLiteral("A"),
       QStringLiteral(".DBF")},
      {QStringLiteral("/data/CLIENTS"), QStringLiteral("/data/"), QString(), QString()},
      {QStringLiteral("/my.dir/T.db"), QStringLiteral("/my.dir/"), QStringLiteral("T"),
       QStringLiteral(".db")},
      {QStringLiteral("C:\\DATA\\SALES.DB"), QStringLiteral("C:\\DATA\\"), QStringLiteral("SALES"),
       QStringLiteral(".DB")},
      {QStringLiteral("/data/.dbf"), QStringLiteral("/data/"), QString(), QStringLiteral(".dbf")},
      {QStringLiteral("/data/\u0161\u0101.db"), QStringLiteral("/data/"),
       QStringLiteral("\u0161\u0101"), QStringLiteral(".db")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chosen.toStdString());
    ChooseTarget(c.chosen);
    EXPECT_EQ(Text("EditTargetPath"), c.path);
    EXPECT_EQ(Text("EditTargetName"), c.name);
    EXPECT_EQ(Text("EditTargetExt"), c.extension);
  }
  // The path goes to the core in its code page: š ā are one byte each.
  EXPECT_EQ(form->TargetPath(), "/data/\xF0\xE2.db");
}

TEST_F(FormNewTest, SameFileOnBothSidesDropsTheTarget) {
  for (bool sourceFirst : {true, false}) {
    SCOPED_TRACE(sourceFirst ? "source first" : "target first");
    form = CreateForm<TFormNew>();
    form->show();
    messages.texts.clear();
    const QString path = QStringLiteral("/data/CLIENTS.DBF");
    sourceFirst ? ChooseSource(path) : ChooseTarget(path);
    sourceFirst ? ChooseTarget(path) : ChooseSource(path);

    ASSERT_EQ(messages.texts, std::vector<std::string>{"Can't convert Source to itself!"});
    EXPECT_EQ(messages.kinds.back(), host::MessageKind::Error);
    for (const char* name : {"EditTargetPath", "EditTargetName", "EditTargetExt"})
      EXPECT_TRUE(Text(name).isEmpty()) << name;
    EXPECT_EQ(Text("EditSourceName"), QStringLiteral("CLIENTS"));
    EXPECT_EQ(form->SourcePath(), "/data/CLIENTS.DBF");
    EXPECT_EQ(form->TargetPath(), "");
    EXPECT_FALSE(Button("BBOk")->isEnabled());

    // The target dialog starts afresh and a different target offers OK again.
    ChooseTarget(QStringLiteral("/data/CUSTOMER.DB"));
    EXPECT_TRUE(files.asked.back().fileName.isEmpty());
    EXPECT_TRUE(Button("BBOk")->isEnabled());
  }
}

TEST_F(FormNewTest, SameNameInAnotherCaseIsNotCaught) {
  form->show();
  ChooseSource(QStringLiteral("/data/CLIENTS.DBF"));
  ChooseTarget(QStringLiteral("/data/clients.dbf"));
  EXPECT_TRUE(messages.texts.empty());
  EXPECT_TRUE(Button("BBOk")->isEnabled());
}

TEST_F(FormNewTest, CancelledFileDialogChangesNothing) {
  form->show();
  ChooseSource(QStringLiteral("/data/CLIENTS.DBF"));
  files.Choose(std::nullopt);
  form->BtnSourceClick();

  EXPECT_EQ(files.asked.back().fileName, QStringLiteral("/data/CLIENTS.DBF"));
  EXPECT_EQ(Text("EditSourcePath"), QStringLiteral("/data/"));
  EXPECT_EQ(Text("EditSourceName"), QStringLiteral("CLIENTS"));
  EXPECT_EQ(form->SourcePath(), "/data/CLIENTS.DBF");
  EXPECT_FALSE(Button("BBOk")->isEnabled());
  EXPECT_TRUE(Focused("BtnTarget"));
}

TEST_F(FormNewTest, NameTheDescriptionCannotHoldIsRefused) {
  form->show();
  ChooseSource(QStringLiteral("/data/CLIENTS.DBF"));
  ChooseSource(QStringLiteral("/data/\u4E2D.DBF"));
  ASSERT_EQ(messages.texts.size(), 1u);
  EXPECT_NE(messages.texts[0].find("Windows-1257"), std::string::npos);
  EXPECT_EQ(form->SourcePath(), "/data/CLIENTS.DBF");
  EXPECT_EQ(Text("EditSourceName"), QStringLiteral("CLIENTS"));
}

TEST_F(FormNewTest, DoubleClickOnAFieldBrowsesItsSide) {
  form->show();
  struct Case {
    const char* field;
    QString title;
  };
  for (const Case& c : {Case{"EditSourcePath", QStringLiteral("Open Source File")},
                        Case{"EditSourceExt", QStringLiteral("Open Source File")},
                        Case{"EditTargetName", QStringLiteral("Open Target File")}}) {
    files.Choose(std::nullopt);
    QTest::mouseDClick(Find(c.field), Qt::LeftButton);
    ASSERT_FALSE(files.asked.empty()) << c.field;
    EXPECT_EQ(files.asked.back().title, c.title) << c.field;
  }
  EXPECT_EQ(files.asked.size(), 3u);
}

TEST_F(FormNewTest, RunModalGivesThePathsOnOk) {
  files.Choose(QStringLiteral("/data/CLIENTS.DBF"));
  files.Choose(QStringLiteral("/data/CUSTOMER.DB"));
  ScopedDialogTestHook answer([](QDialog& dialog) -> QAbstractButton* {
    dialog.show();
    dialog.findChild<QPushButton*>(QStringLiteral("BtnSource"))->click();
    dialog.findChild<QPushButton*>(QStringLiteral("BtnTarget"))->click();
    return dialog.findChild<QPushButton*>(QStringLiteral("BBOk"));
  });
  EXPECT_EQ(RunModal(*form), QDialog::Accepted);
  EXPECT_EQ(form->SourcePath(), "/data/CLIENTS.DBF");
  EXPECT_EQ(form->TargetPath(), "/data/CUSTOMER.DB");
}

// The change-bases window over a description's FILES section.
class FormFileTest : public ::testing::Test {
 protected:
  class Indicator : public convert::StatusIndicator {
   public:
    void ShowReady() override { errorShown = false; }
    void ShowError() override { errorShown = true; }
    bool errorShown = false;
  };

  void SetUp() override {
    workspace.CFile =
        convert::DescriptionText::NewTemplate("/data/CLIENTS.DBF", "/data/CUSTOMER.DB");
    workspace.LoadOk = true;
    workspace.SetStatusIndicator(&indicator);
  }
  QString Text(const char* name) {
    return form->findChild<QLineEdit*>(QString::fromLatin1(name))->text();
  }
  QPushButton* Ok() { return form->findChild<QPushButton*>(QStringLiteral("BBOk")); }

  CapturedMessages messages;
  FileChooser files;
  Indicator indicator;
  convert::Workspace workspace;
  FormPtr<TFormFile> form = CreateForm<TFormFile>(workspace);
};

TEST_F(FormFileTest, ShowingFillsBothSidesAndOffersOk) {
  form->show();
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Change bazes"));
  EXPECT_TRUE(Ok()->isEnabled());
  EXPECT_EQ(Text("EditSourcePath"), QStringLiteral("/data/"));
  EXPECT_EQ(Text("EditSourceName"), QStringLiteral("CLIENTS"));
  EXPECT_EQ(Text("EditSourceExt"), QStringLiteral(".DBF"));
  EXPECT_EQ(Text("EditTargetName"), QStringLiteral("CUSTOMER"));
  EXPECT_EQ(Text("EditTargetExt"), QStringLiteral(".DB"));
  EXPECT_EQ(form->SourcePath(), "/data/CLIENTS.DBF");
  EXPECT_EQ(form->TargetPath(), "/data/CUSTOMER.DB");
  EXPECT_TRUE(messages.texts.empty());
  EXPECT_TRUE(workspace.LoadOk);

  // The dialogs start at the paths read, and choosing the source as target is refused.
  files.Choose(QStringLiteral("/data/CLIENTS.DBF"));
  form->BtnTargetClick();
  EXPECT_EQ(files.asked.back().fileName, QStringLiteral("/data/CUSTOMER.DB"));
  EXPECT_EQ(messages.texts, std::vector<std::string>{"Can't convert Source to itself!"});
  EXPECT_FALSE(Ok()->isEnabled());
  EXPECT_EQ(form->TargetPath(), "");
}

TEST_F(FormFileTest, MalformedFilesLinesAreReportedAndFillWhatCameBefore) {
  struct Case {
    int badLine;  // below FILES
    bool sourceFilled;
  };
  for (const Case& c : {Case{1, false}, Case{2, true}}) {
    SCOPED_TRACE(c.badLine);
    SetUp();
    const int section = workspace.CFile.FindSection("FILES");
    workspace.CFile.lines[static_cast<std::size_t>(section + c.badLine)] = "PATH=/data/X.DB";
    messages.texts.clear();
    indicator.errorShown = false;
    form = CreateForm<TFormFile>(workspace);
    form->show();

    EXPECT_EQ(messages.texts, std::vector<std::string>{"Error in INI file!"});
    EXPECT_FALSE(workspace.LoadOk);
    EXPECT_TRUE(indicator.errorShown);
    EXPECT_EQ(Text("EditSourceName"), c.sourceFilled ? QStringLiteral("CLIENTS") : QString());
    EXPECT_TRUE(Text("EditTargetName").isEmpty());
    EXPECT_FALSE(Ok()->isEnabled());
  }
}

}  // namespace
}  // namespace nox::forms
