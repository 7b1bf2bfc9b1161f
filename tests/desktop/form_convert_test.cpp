#include "desktop/form_convert.h"

#include <gtest/gtest.h>
#include <sys/mount.h>

#include <QCoreApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "convert/conversion_run.h"
#include "convert/workspace.h"
#include "forms/beeper.h"
#include "formula/named_window.h"
#include "host/messages.h"
#include "tables/table.h"
#include "tests/support/host_test_support.h"

namespace nox::forms {
namespace {

using tables::FieldType;
using tables::TTable;
using tables::Value;

const QColor kNavy(0x00, 0x00, 0x80);
const QColor kGreen(0x00, 0x80, 0x00);
const QColor kRed(0xFF, 0x00, 0x00);

using nox::test::CapturedMessages;

// A dBase source CLIENTS.DBF (CODE, NAME) and a Paradox target CUSTOMER.DB keyed on CODE, loaded
// into a workspace with the field relations CODE and NAME, and the conversion window over it.
class FormConvertTest : public ::testing::Test {
 protected:
  std::string Dir() const { return dir.path().toStdString(); }
  std::string SourcePath() const { return Dir() + "/CLIENTS.DBF"; }
  std::string TargetPath() const { return Dir() + "/CUSTOMER.DB"; }

  void CreateSource(int records) {
    TTable table;
    table.SetDatabaseName(Dir());
    table.SetTableName("CLIENTS.DBF");
    table.FieldDefs() = {{"CODE", FieldType::Integer}, {"NAME", FieldType::String, 20}};
    table.CreateTable();
    table.Open();
    for (int code = 1; code <= records; ++code) {
      table.Append();
      table.FieldByName("CODE").SetValue(Value::Integer(code));
      table.FieldByName("NAME").SetValue(Value::Text("Client " + std::to_string(code)));
      table.Post();
    }
    table.Close();
  }

  // The target, already holding the given codes.
  void CreateTarget(const std::vector<int>& codes = {}) {
    TTable table;
    table.SetDatabaseName(Dir());
    table.SetTableName("CUSTOMER.DB");
    table.FieldDefs() = {{"CODE", FieldType::Integer, 0, true}, {"NAME", FieldType::String, 20}};
    table.IndexDefs() = {{"", "CODE", tables::ixPrimary}};
    table.CreateTable();
    table.Open();
    for (int code : codes) {
      table.Append();
      table.FieldByName("CODE").SetValue(Value::Integer(code));
      table.FieldByName("NAME").SetValue(Value::Text("Old"));
      table.Post();
    }
    table.Close();
  }

  void Load(int sourceRecords, const std::vector<int>& targetCodes = {}) {
    CreateSource(sourceRecords);
    CreateTarget(targetCodes);
    ASSERT_TRUE(workspace.New(SourcePath(), TargetPath()));
    ASSERT_TRUE(workspace.LoadOk);
    for (const char* field : {"CODE", "NAME"})
      workspace.AddFieldRelation(workspace.SGSource.Find(field), workspace.SGTarget.Find(field));
    ASSERT_EQ(workspace.SGRelat.RelationCount(), 2);
  }

  void MakeForm() {
    FormConvertHooks hooks;
    hooks.inputs = [this] {
      convert::ConversionInputs inputs = convert::WorkspaceInputs(workspace);
      inputs.messageName = "SALES.CNV";
      inputs.automatic = automatic;
      inputs.dde = true;
      if (clock) inputs.clock = clock;
      return inputs;
    };
    hooks.descriptionName = [] { return std::string("sales.cnv"); };
    hooks.poke = [this](std::string_view text) { pokes.emplace_back(text); };
    hooks.descriptionError = [this](std::string_view error) { errors.emplace_back(error); };
    hooks.hideMainWindow = [this] { ++mainHidden; };
    hooks.automaticFinished = [this] { ++finished; };
    form = CreateForm<TFormConvert>(std::move(hooks), &beeper);
  }

  template <typename T>
  T* Find(const char* name) {
    T* child = form->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
  }
  QString Text(const char* name) { return Find<QLabel>(name)->text(); }
  bool Shown(const char* name) { return !Find<QWidget>(name)->isHidden(); }
  QColor TextColour(const char* name) {
    return Find<QLabel>(name)->palette().color(QPalette::WindowText);
  }
  QColor BarColour() {
    return Find<QProgressBar>("GaugeProgr")->palette().color(QPalette::Highlight);
  }

  // Lets the window's timer run batches until the run stops; gives the number of rounds.
  int ProcessUntilStopped() {
    int rounds = 0;
    while (form->Run()->IsRunning() && rounds < 10000) {
      QCoreApplication::processEvents();
      ++rounds;
    }
    return rounds;
  }

  QTemporaryDir dir;
  CapturedMessages messages;
  convert::Workspace workspace;
  NoxBeeper beeper;
  bool automatic = false;
  std::function<std::int64_t()> clock;  // empty: the real one
  std::vector<std::string> pokes;
  std::vector<std::string> errors;
  int mainHidden = 0;
  int finished = 0;
  FormPtr<TFormConvert> form;  // after the workspace: the run lets go of its tables first
};

TEST_F(FormConvertTest, ShowingPreparesTheDisplay) {
  Load(3);
  MakeForm();
  form->show();
  form->show();  // showing again keeps the caption's own text once

  EXPECT_EQ(form->windowTitle(), QStringLiteral("Sales.cnv - Convertation"));
  EXPECT_NE(formula::FindNamedWindow("formconvert"), nullptr);  // FORMNOTNIL('FormConvert')
  const std::vector<std::pair<const char*, QString>> edits = {
      {"EditSourcePath", QString::fromStdString(Dir() + "/")},
      {"EditSourceName", QStringLiteral("CLIENTS")},
      {"EditSourceExt", QStringLiteral(".DBF")},
      {"EditTargetPath", QString::fromStdString(Dir() + "/")},
      {"EditTargetName", QStringLiteral("CUSTOMER")},
      {"EditTargetExt", QStringLiteral(".DB")}};
  for (const auto& [name, text] : edits) {
    EXPECT_EQ(Find<QLineEdit>(name)->text(), text) << name;
    EXPECT_TRUE(Find<QLineEdit>(name)->isReadOnly()) << name;
  }
  EXPECT_EQ(Find<QGroupBox>("GBSource")->title(), QStringLiteral("Source"));
  EXPECT_EQ(Find<QGroupBox>("GroupBox1")->title(), QStringLiteral("Target"));
  EXPECT_EQ(Text("LblMes"), QStringLiteral("Click button Convert to start"));
  EXPECT_EQ(TextColour("LblMes"), QColor(Qt::black));
  EXPECT_EQ(Text("LblProgCount"), QStringLiteral("0"));
  EXPECT_EQ(BarColour(), kNavy);
  EXPECT_EQ(Find<QPushButton>("BBConvert")->text(), QStringLiteral("&Convert"));
  EXPECT_EQ(Find<QPushButton>("BBClose")->text(), QStringLiteral("&Close"));
  EXPECT_TRUE(Shown("BBConvert"));
  EXPECT_EQ(form->focusWidget(), Find<QPushButton>("BBConvert"));  // Enter starts the run
  for (const char* hidden : {"BBCancel", "LblClear", "LblSourceCount", "LblSRec", "LblTargetCount",
                             "LblTRec", "LabelKeyViol", "LabelKVCount", "LabelKVRec", "LblTime"})
    EXPECT_FALSE(Shown(hidden)) << hidden;
  EXPECT_FALSE(Find<QTimer>("TimerConv")->isActive());
  EXPECT_FALSE(Find<QTimer>("TimerPause")->isActive());
  EXPECT_EQ(beeper.Status(), TBeepStatus::bsOK);
  EXPECT_TRUE(messages.texts.empty());
}

TEST_F(FormConvertTest, ClearOptionShowsItsLabel) {
  Load(1);
  ASSERT_TRUE(workspace.CFile.SetValue(convert::DescriptionLine::ClearTarget, "TRUE"));
  MakeForm();
  form->show();
  EXPECT_TRUE(Shown("LblClear"));
  EXPECT_EQ(Text("LblClear"), QStringLiteral("Clear before convertation"));
  EXPECT_EQ(TextColour("LblClear"), kGreen);
  EXPECT_TRUE(Find<QLabel>("LblClear")->font().bold());
}

TEST_F(FormConvertTest, ConvertRunsInBatchesToCompletion) {
  Load(120);
  MakeForm();
  form->show();
  Find<QPushButton>("BBConvert")->click();

  EXPECT_TRUE(form->Run()->IsRunning());
  EXPECT_TRUE(Find<QTimer>("TimerConv")->isActive());
  EXPECT_FALSE(Shown("BBConvert"));
  EXPECT_TRUE(Shown("BBCancel"));
  EXPECT_EQ(Text("LblMes"), QStringLiteral("Pass approximaly (minutes)"));
  EXPECT_EQ(Text("LblSourceCount"), QStringLiteral("120"));
  EXPECT_EQ(Text("LblTargetCount"), QStringLiteral("0"));
  for (const char* shown : {"LblSourceCount", "LblSRec", "LblTargetCount", "LblTRec", "LblTime"})
    EXPECT_TRUE(Shown(shown)) << shown;

  // 120 records: batches of 50, 50 and 20, then the tick that finds the end.
  EXPECT_GE(ProcessUntilStopped(), 3);
  ASSERT_EQ(form->Run()->State(), convert::RunState::Complete);
  EXPECT_FALSE(Find<QTimer>("TimerConv")->isActive());
  EXPECT_EQ(Text("LblMes"), QStringLiteral("Convertation complete"));
  EXPECT_EQ(TextColour("LblMes"), kGreen);
  EXPECT_EQ(Text("LblProgCount"), QStringLiteral("120"));
  EXPECT_EQ(Text("LblTargetCount"), QStringLiteral("120"));
  EXPECT_EQ(Find<QProgressBar>("GaugeProgr")->maximum(), 120);
  EXPECT_EQ(Find<QProgressBar>("GaugeProgr")->value(), 120);
  EXPECT_TRUE(Shown("BBConvert"));
  for (const char* hidden : {"BBCancel", "LblTime", "LabelKeyViol", "LabelKVCount", "LabelKVRec"})
    EXPECT_FALSE(Shown(hidden)) << hidden;
  EXPECT_EQ(workspace.TableTarget.RecordCount(), 120);
  // At most one report per batch end; ":Complete" belongs to the automatic mode.
  EXPECT_EQ(pokes, (std::vector<std::string>{"SALES.CNV:0%", "SALES.CNV:10%", "SALES.CNV:20%"}));
  EXPECT_EQ(finished, 0);
}

// A disk that fills before the records reach it: the window shows the write error, not
// completion.
TEST_F(FormConvertTest, WriteErrorAtTheEndIsShownAsAFailure) {
  if (::mount("tmpfs", Dir().c_str(), "tmpfs", 0, "size=256k") != 0) {
    GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
  }
  struct Unmount {
    std::string at;
    ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
  } unmount{Dir()};
  Load(100);
  MakeForm();
  form->show();
  Find<QPushButton>("BBConvert")->click();
  form->TimerConvTimer();  // the first block is on disk; the next records stay cached
  {
    std::ofstream filler(Dir() + "/filler", std::ios::binary);
    const std::string block(4096, 'x');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) &&
           filler.flush()) {
    }
  }
  ProcessUntilStopped();
  EXPECT_EQ(form->Run()->State(), convert::RunState::Failed);
  EXPECT_NE(Text("LblMes").indexOf(QStringLiteral("No space left on device")), -1)
      << Text("LblMes").toStdString();
  EXPECT_EQ(TextColour("LblMes"), kRed);
  EXPECT_FALSE(messages.texts.empty());
}

// The counts of a running conversion are shown at most ten times a second; the end is shown at
// once and exactly.
TEST_F(FormConvertTest, RunningCountsAreShownAtIntervals) {
  std::int64_t now = 1000;
  clock = [&now] { return now; };
  Load(160);
  MakeForm();
  form->show();
  Find<QPushButton>("BBConvert")->click();
  form->TimerConvTimer();
  EXPECT_EQ(Text("LblProgCount"), QStringLiteral("0"));
  now += 100;
  form->TimerConvTimer();
  EXPECT_EQ(Text("LblProgCount"), QStringLiteral("100"));
  form->TimerConvTimer();
  EXPECT_EQ(Text("LblProgCount"), QStringLiteral("100"));
  ProcessUntilStopped();
  ASSERT_EQ(form->Run()->State(), convert::RunState::Complete);
  EXPECT_EQ(Text("LblProgCount"), QStringLiteral("160"));
  EXPECT_EQ(Text("LblTargetCount"), QStringLiteral("160"));
}

TEST_F(FormConvertTest, CancelStopsBetweenBatches) {
  Load(300);
  MakeForm();
  form->show();
  Find<QPushButton>("BBConvert")->click();
  form->TimerConvTimer();  // the first batch
  ASSERT_EQ(form->Run()->ProcessedCount(), 50u);
  Find<QPushButton>("BBCancel")->click();

  EXPECT_EQ(form->Run()->State(), convert::RunState::Cancelled);
  EXPECT_FALSE(Find<QTimer>("TimerConv")->isActive());
  EXPECT_EQ(BarColour(), kRed);
  EXPECT_EQ(Text("LblMes"), QStringLiteral("Terminated by user "));
  EXPECT_EQ(TextColour("LblMes"), kRed);
  EXPECT_TRUE(Shown("BBConvert"));
  EXPECT_FALSE(Shown("BBCancel"));
  EXPECT_EQ(pokes.back(), "SALES.CNV: Convertation terminated by user.");

  for (int i = 0; i < 20; ++i)
    QCoreApplication::processEvents();
  EXPECT_EQ(form->Run()->ProcessedCount(), 50u);
  EXPECT_EQ(workspace.TableTarget.RecordCount(), 50);

  // Convert again starts from the first source record with a navy bar.
  Find<QPushButton>("BBConvert")->click();
  EXPECT_EQ(BarColour(), kNavy);
  EXPECT_EQ(form->Run()->ProcessedCount(), 0u);
  EXPECT_TRUE(Shown("BBCancel"));
}

TEST_F(FormConvertTest, RefusedRecordsShowTheKeyViolationCount) {
  Load(5, {2, 4});
  MakeForm();
  form->show();
  const QSize before = form->size();
  Find<QPushButton>("BBConvert")->click();
  ProcessUntilStopped();
  QCoreApplication::processEvents();  // the layout settles
  EXPECT_EQ(form->size(), before);    // the labels a run shows had their place kept

  ASSERT_EQ(form->Run()->State(), convert::RunState::Complete);
  for (const char* shown : {"LabelKeyViol", "LabelKVCount", "LabelKVRec"})
    EXPECT_TRUE(Shown(shown)) << shown;
  EXPECT_EQ(Text("LabelKeyViol"), QStringLiteral("Key violations"));
  EXPECT_EQ(Text("LabelKVCount"), QStringLiteral("2"));
  EXPECT_EQ(Text("LblTargetCount"), QStringLiteral("5"));
  EXPECT_EQ(Text("LblProgCount"), QStringLiteral("5"));
}

TEST_F(FormConvertTest, AutomaticModeRunsByItselfAndHandsBackToTheMainWindow) {
  Load(70);
  automatic = true;
  MakeForm();
  form->show();

  EXPECT_TRUE(form->Run()->IsRunning());
  EXPECT_TRUE(Find<QTimer>("TimerPause")->isActive());
  EXPECT_EQ(Find<QTimer>("TimerPause")->interval(), 2000);
  form->TimerPauseTimer();
  EXPECT_EQ(mainHidden, 1);
  EXPECT_FALSE(Find<QTimer>("TimerPause")->isActive());

  ProcessUntilStopped();
  ASSERT_EQ(form->Run()->State(), convert::RunState::Complete);
  EXPECT_EQ(finished, 1);
  EXPECT_EQ(workspace.TableTarget.RecordCount(), 70);
  EXPECT_EQ(pokes.back(), "SALES.CNV:Complete");

  Find<QPushButton>("BBClose")->click();
  EXPECT_EQ(finished, 2);
  EXPECT_TRUE(form->isHidden());
}

TEST_F(FormConvertTest, ClosingDoesNotStopTheRunNorDoesShowingAgain) {
  Load(120);
  MakeForm();
  form->show();
  Find<QPushButton>("BBConvert")->click();
  Find<QPushButton>("BBClose")->click();
  EXPECT_TRUE(form->isHidden());
  EXPECT_EQ(finished, 0);
  form->TimerConvTimer();
  // Showing the window again during the hidden run keeps the run and its display.
  const convert::ConversionRun* run = form->Run();
  form->show();
  EXPECT_EQ(form->Run(), run);
  EXPECT_EQ(form->Run()->ProcessedCount(), 50u);
  EXPECT_EQ(Text("LblMes"), QStringLiteral("Pass approximaly (minutes)"));
  EXPECT_TRUE(Shown("BBCancel"));
  ProcessUntilStopped();
  EXPECT_EQ(form->Run()->State(), convert::RunState::Complete);
  EXPECT_EQ(workspace.TableTarget.RecordCount(), 120);
}

TEST_F(FormConvertTest, MalformedDescriptionIsReported) {
  struct Case {
    const char* key;
    const char* broken;
    const char* error;
  };
  const std::vector<Case> cases = {{"SOURCE=", "SOURCX=", "Error in INI file!"},
                                   {"LATVIAN=", "LATVIAX=", "Error in .CNV file!"}};
  Load(1);
  MakeForm();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.key);
    errors.clear();
    messages.texts.clear();
    const std::vector<std::string> saved = workspace.CFile.lines;
    for (std::string& line : workspace.CFile.lines)
      if (line.rfind(c.key, 0) == 0) line.replace(0, std::string(c.key).size(), c.broken);
    form->show();
    EXPECT_EQ(errors, std::vector<std::string>{c.error});
    EXPECT_EQ(messages.texts, std::vector<std::string>{c.error});
    EXPECT_EQ(beeper.Status(), TBeepStatus::bsKREST);
    // Convert does nothing until a later show succeeds.
    Find<QPushButton>("BBConvert")->click();
    EXPECT_FALSE(form->Run()->IsRunning());
    form->hide();
    workspace.CFile.lines = saved;
  }
}

}  // namespace
}  // namespace nox::forms
