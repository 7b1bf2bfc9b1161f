#include "desktop/form_convert.h"

#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <climits>
#include <utility>

#include "convert/description_file.h"
#include "forms/beeper.h"
#include "forms/controls.h"
#include "forms/text.h"

namespace nox::forms {
namespace {

constexpr int kPauseMs = 2000;
// How often a running conversion's counts are shown: repainting them after every batch of 50
// records costs the run about a third of its rate, and ten times a second is all an eye follows.
constexpr std::int64_t kProgressIntervalMs = 100;

const QColor kNavy(0x00, 0x00, 0x80);
const QColor kGreen(0x00, 0x80, 0x00);
const QColor kRed(0xFF, 0x00, 0x00);
const QColor kBlack(0x00, 0x00, 0x00);

void SetTextColour(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, colour);
  widget->setPalette(palette);
}

// A group box with "Path", "File Name" and "Extension" over the three read-only fields.
QGroupBox* MakeFileBox(QWidget* parent, const char* name, const QString& title, const char* side,
                       FileFields& fields) {
  auto* box = new QGroupBox(title, parent);
  box->setObjectName(QString::fromLatin1(name));
  MakeFileFields(*box, side, fields);
  return box;
}

// Labels that a run shows keep their place while hidden, so the window never grows under a run.
void KeepPlaceWhenHidden(QWidget* widget) {
  QSizePolicy policy = widget->sizePolicy();
  policy.setRetainSizeWhenHidden(true);
  widget->setSizePolicy(policy);
}

QString Count(std::size_t count) {
  return QString::number(static_cast<qulonglong>(count));
}

int BarValue(std::size_t count) {
  return static_cast<int>(std::min<std::size_t>(count, static_cast<std::size_t>(INT_MAX)));
}

}  // namespace

TFormConvert::TFormConvert(FormConvertHooks hooks, NoxBeeper* beeper, QWidget* parent)
    : TNoxForm(parent), hooks_(std::move(hooks)), beeper_(beeper) {
  setObjectName(QStringLiteral("FormConvert"));
  MakeTopLevelWindow(*this);
  setWindowTitle(QStringLiteral("Convertation"));
  BuildControls();
}

TFormConvert::~TFormConvert() = default;

void TFormConvert::BuildControls() {
  FileFields source;
  FileFields target;
  GBSource_ = MakeFileBox(this, "GBSource", QStringLiteral("Source"), "Source", source);
  GroupBox1_ = MakeFileBox(this, "GroupBox1", QStringLiteral("Target"), "Target", target);
  EditSourcePath_ = source.path;
  EditSourceName_ = source.name;
  EditSourceExt_ = source.extension;
  EditTargetPath_ = target.path;
  EditTargetName_ = target.name;
  EditTargetExt_ = target.extension;

  auto* sourceGrid = qobject_cast<QGridLayout*>(GBSource_->layout());
  LblSourceCount_ = MakeLabel(GBSource_, "LblSourceCount", QString(), true);
  LblSRec_ = MakeLabel(GBSource_, "LblSRec", QStringLiteral("records"));
  sourceGrid->addWidget(LblSourceCount_, 2, 0, Qt::AlignRight);
  sourceGrid->addWidget(LblSRec_, 2, 1);

  auto* targetGrid = qobject_cast<QGridLayout*>(GroupBox1_->layout());
  LblTargetCount_ = MakeLabel(GroupBox1_, "LblTargetCount", QString(), true);
  LblTRec_ = MakeLabel(GroupBox1_, "LblTRec", QStringLiteral("records"));
  LblClear_ = MakeLabel(GroupBox1_, "LblClear", QStringLiteral("Clear before convertation"), true);
  SetTextColour(LblClear_, kGreen);
  targetGrid->addWidget(LblTargetCount_, 2, 0, Qt::AlignRight);
  targetGrid->addWidget(LblTRec_, 2, 1);
  targetGrid->addWidget(LblClear_, 3, 0, 1, 3);
  LabelKeyViol_ = MakeLabel(GroupBox1_, "LabelKeyViol", QStringLiteral("Key violations"));
  LabelKVCount_ = MakeLabel(GroupBox1_, "LabelKVCount", QString(), true);
  LabelKVRec_ = MakeLabel(GroupBox1_, "LabelKVRec", QStringLiteral("records"));
  auto* keyViolations = new QHBoxLayout;
  keyViolations->addWidget(LabelKeyViol_);
  keyViolations->addWidget(LabelKVCount_);
  keyViolations->addWidget(LabelKVRec_);
  keyViolations->addStretch();
  targetGrid->addLayout(keyViolations, 4, 0, 1, 3);

  auto* progressLabel = MakeLabel(this, "LblProgress", QStringLiteral("Progress"), true);
  GaugeProgr_ = new QProgressBar(this);
  GaugeProgr_->setObjectName(QStringLiteral("GaugeProgr"));
  GaugeProgr_->setTextVisible(true);
  progressLabel->setBuddy(GaugeProgr_);
  GaugeProgr_->setAccessibleDescription(QStringLiteral("Source records converted so far"));
  LblProgCount_ = MakeLabel(this, "LblProgCount", QStringLiteral("0"));
  auto* progressUnit = MakeLabel(this, "LblProgRec", QStringLiteral("rec."));
  LblMes_ = MakeLabel(this, "LblMes", QString(), true);
  LblTime_ = MakeLabel(this, "LblTime", QString(), true);

  BBConvert_ = MakeButton(this, "BBConvert", QStringLiteral("&Convert"));
  BBCancel_ = MakeButton(this, "BBCancel", QStringLiteral("Cancel"));
  BBClose_ = MakeButton(this, "BBClose", QStringLiteral("&Close"));
  BBCancel_->hide();
  SetCancelButton(BBCancel_);
  BBConvert_->setAccessibleDescription(QStringLiteral("Starts the conversion"));
  BBCancel_->setAccessibleDescription(QStringLiteral("Stops the conversion after this batch"));
  BBClose_->setAccessibleDescription(QStringLiteral("Closes the window"));
  for (QWidget* shownByRun : std::initializer_list<QWidget*>{
           LblSourceCount_, LblSRec_, LblTargetCount_, LblTRec_, LblClear_, LabelKeyViol_,
           LabelKVCount_, LabelKVRec_, LblTime_})
    KeepPlaceWhenHidden(shownByRun);

  auto* progressRow = new QHBoxLayout;
  progressRow->addWidget(GaugeProgr_, 1);
  progressRow->addWidget(LblProgCount_);
  progressRow->addWidget(progressUnit);
  auto* messageRow = new QHBoxLayout;
  messageRow->addWidget(LblMes_);
  messageRow->addWidget(LblTime_);
  messageRow->addStretch();
  // Convert and Cancel share one place: only one of them is shown at a time.
  auto* buttonRow = new QGridLayout;
  buttonRow->setColumnStretch(0, 1);
  buttonRow->addWidget(BBConvert_, 0, 1);
  buttonRow->addWidget(BBCancel_, 0, 1);
  buttonRow->addWidget(BBClose_, 0, 2);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(GBSource_);
  layout->addWidget(GroupBox1_);
  layout->addWidget(progressLabel);
  layout->addLayout(progressRow);
  layout->addLayout(messageRow);
  layout->addLayout(buttonRow);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  TimerConv_ = new QTimer(this);
  TimerConv_->setObjectName(QStringLiteral("TimerConv"));
  TimerConv_->setInterval(0);
  TimerPause_ = new QTimer(this);
  TimerPause_->setObjectName(QStringLiteral("TimerPause"));
  TimerPause_->setInterval(kPauseMs);

  connect(BBConvert_, &QPushButton::clicked, this, [this] { BBConvertClick(); });
  connect(BBCancel_, &QPushButton::clicked, this, [this] { BBCancelClick(); });
  connect(BBClose_, &QPushButton::clicked, this, [this] { BBCloseClick(); });
  connect(TimerConv_, &QTimer::timeout, this, [this] { TimerConvTimer(); });
  connect(TimerPause_, &QTimer::timeout, this, [this] { TimerPauseTimer(); });
}

void TFormConvert::FormCreate() {
  TNoxForm::FormCreate();
  for (QWidget* hidden :
       std::initializer_list<QWidget*>{LblSourceCount_, LblSRec_, LblTargetCount_, LblTRec_,
                                       LabelKeyViol_, LabelKVCount_, LabelKVRec_, LblTime_})
    hidden->hide();
  GaugeProgr_->setRange(0, 1);
  GaugeProgr_->setValue(0);
}

void TFormConvert::FormShow() {
  TNoxForm::FormShow();
  if (beeper_ != nullptr) beeper_->StepBusy();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  struct CursorBack {
    ~CursorBack() { QApplication::restoreOverrideCursor(); }
  } cursorBack;

  SetCaption();
  // A run going on while the window was hidden keeps its run and display; otherwise the inputs
  // are read afresh (the description, its tables and target directory may have changed).
  const bool fresh = run_ == nullptr || !run_->IsRunning();
  if (fresh) {
    run_.reset();  // the old run gives back the tables' handlers before a new one takes them
    inputs_ = hooks_.inputs();
    run_ = std::make_unique<convert::ConversionRun>(inputs_);
    shownState_ = run_->State();
    run_->SetObserver(this);
  }
  if (!run_->Show()) {
    if (beeper_ != nullptr) beeper_->ShowError();
    if (hooks_.descriptionError) hooks_.descriptionError(run_->LastError());
    return;
  }
  if (beeper_ != nullptr) beeper_->ShowReady();
  Refresh();
  // The window's one task is Convert: Enter or Space starts it.
  for (QPushButton* button : {BBConvert_, BBCancel_, BBClose_}) {
    if (!button->isHidden()) {
      button->setFocus();
      break;
    }
  }
  if (fresh && Automatic()) TimerPause_->start();
}

void TFormConvert::SetCaption() {
  const QString separator = QStringLiteral(" - ");
  QString own = windowTitle();
  if (const qsizetype at = own.indexOf(separator); at >= 0) own = own.mid(at + separator.size());
  QString name = hooks_.descriptionName ? FromDataText(hooks_.descriptionName()) : QString();
  if (!name.isEmpty()) name[0] = name[0].toUpper();
  setWindowTitle(name + separator + own);
}

void TFormConvert::BBConvertClick() {
  if (run_ == nullptr || !run_->Described()) return;
  if (hooks_.mayStart && !hooks_.mayStart()) return;
  run_->Start();
  Refresh();
}

void TFormConvert::TimerConvTimer() {
  // The run reports what it changed through DisplayChanged.
  if (run_ != nullptr) run_->RunBatch();
  SyncTimer();
}

void TFormConvert::BBCancelClick() {
  if (run_ != nullptr) run_->Cancel();
  Refresh();
}

void TFormConvert::BBCloseClick() {
  if (Automatic() && hooks_.automaticFinished) hooks_.automaticFinished();
  hide();
}

void TFormConvert::TimerPauseTimer() {
  TimerPause_->stop();
  if (hooks_.hideMainWindow) hooks_.hideMainWindow();
}

void TFormConvert::DisplayChanged() {
  const bool onlyCounts = run_->IsRunning() && shownState_ == convert::RunState::Running;
  if (onlyCounts && NowMs() - shownAtMs_ < kProgressIntervalMs) return;
  Refresh();
}

std::int64_t TFormConvert::NowMs() const {
  if (inputs_.clock) return inputs_.clock();
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void TFormConvert::Poke(std::string_view text) {
  if (hooks_.poke) hooks_.poke(text);
}

void TFormConvert::Completed() {
  SyncTimer();
  if (Automatic() && hooks_.automaticFinished) hooks_.automaticFinished();
}

void TFormConvert::SyncTimer() {
  const bool running = run_ != nullptr && run_->IsRunning();
  if (running && !TimerConv_->isActive()) TimerConv_->start();
  if (!running) TimerConv_->stop();
}

void TFormConvert::Refresh() {
  SyncTimer();
  if (run_ == nullptr) return;
  const convert::ConversionRun& run = *run_;
  const convert::RunState before = shownState_;
  shownState_ = run.State();
  shownAtMs_ = NowMs();

  if (run.Described()) {
    const convert::PathParts& source = run.SourceParts();
    const convert::PathParts& target = run.TargetParts();
    ShowFromStart(*EditSourcePath_, FromDataText(source.path));
    ShowFromStart(*EditSourceName_, FromDataText(source.name));
    ShowFromStart(*EditSourceExt_, FromDataText(source.extension));
    ShowFromStart(*EditTargetPath_, FromDataText(target.path));
    ShowFromStart(*EditTargetName_, FromDataText(target.name));
    ShowFromStart(*EditTargetExt_, FromDataText(target.extension));
    LblClear_->setVisible(run.ClearOption());
  }

  const bool counts = run.CountsVisible();
  LblSourceCount_->setText(Count(run.SourceCount()));
  LblTargetCount_->setText(Count(run.TargetCount()));
  for (QWidget* label : {LblSourceCount_, LblSRec_, LblTargetCount_, LblTRec_})
    label->setVisible(counts);

  LabelKVCount_->setText(Count(run.KeyViolationCount()));
  for (QWidget* label : {LabelKeyViol_, LabelKVCount_, LabelKVRec_})
    label->setVisible(run.KeyViolationsVisible());

  // An empty source still gets a bar with a range (a zero range would show a busy bar).
  GaugeProgr_->setRange(0, std::max(1, BarValue(run.SourceCount())));
  GaugeProgr_->setValue(BarValue(run.ProcessedCount()));
  QPalette bar = GaugeProgr_->palette();
  bar.setColor(QPalette::Highlight,
               run.ProgressBarColour() == convert::BarColour::Red ? kRed : kNavy);
  GaugeProgr_->setPalette(bar);
  LblProgCount_->setText(Count(run.ShownProcessedCount()));

  LblMes_->setText(FromDataText(run.MessageText()));
  switch (run.MessageTextColour()) {
    case convert::MessageColour::Black:
      SetTextColour(LblMes_, kBlack);
      break;
    case convert::MessageColour::Green:
      SetTextColour(LblMes_, kGreen);
      break;
    case convert::MessageColour::Red:
      SetTextColour(LblMes_, kRed);
      break;
  }
  LblTime_->setText(FromDataText(run.TimeText()));
  LblTime_->setVisible(run.TimeVisible());

  const convert::RunState state = run.State();
  const bool busy = state == convert::RunState::Running || state == convert::RunState::Starting;
  BBConvert_->setVisible(!busy);
  BBCancel_->setVisible(state == convert::RunState::Running);
  if (state == convert::RunState::Failed && beeper_ != nullptr) beeper_->ShowError();
  // An automatic run that failed or was cancelled ends as a complete one does: nobody may be
  // there to close the window.
  const bool stopped = state == convert::RunState::Failed || state == convert::RunState::Cancelled;
  if (stopped && state != before && Automatic() && hooks_.automaticFinished)
    hooks_.automaticFinished();
}

}  // namespace nox::forms
