#pragma once
// TFormConvert: the conversion window. It shows the source and target files, the counts, the
// progress bar and the remaining minutes of a convert::ConversionRun and drives it: Convert starts
// the run, a zero-interval timer converts one batch per tick so the window stays responsive, and
// Cancel takes effect between two batches. The window is created once and then shown and hidden;
// closing it does not stop a run.

#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "convert/conversion_run.h"
#include "forms/nox_form.h"
#include "formula/named_window.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;

namespace nox::forms {

class NoxBeeper;

// How the window reaches the main window and the calling application. Every hook may be empty.
struct FormConvertHooks {
  // The inputs of a run; asked at each show while no run is going, so that a description or
  // tables changed in the meantime are seen. Required.
  std::function<convert::ConversionInputs()> inputs;
  // The current description's file name without directory (Windows-1257), for the caption.
  std::function<std::string()> descriptionName;
  // A progress message for the calling application.
  std::function<void(std::string_view text)> poke;
  // The description's FILES or OPTIONS section is malformed; the text is the error shown.
  std::function<void(std::string_view error)> descriptionError;
  // Convert was pressed: false, after a message, when the run may not start now.
  std::function<bool()> mayStart;
  // Automatic mode, two seconds after the run started by itself: hide the main window.
  std::function<void()> hideMainWindow;
  // Automatic mode, after completion or Close: show the main window and start its close timer.
  std::function<void()> automaticFinished;
};

class TFormConvert : public TNoxForm, private convert::ConversionObserver {
  Q_OBJECT

 public:
  // The beeper is the main window's status indicator (not owned; may be null).
  explicit TFormConvert(FormConvertHooks hooks, NoxBeeper* beeper = nullptr,
                        QWidget* parent = nullptr);
  ~TFormConvert() override;

  // The run of the last show; null before the first show.
  const convert::ConversionRun* Run() const { return run_.get(); }

  // The handlers of the window's buttons and timers.
  void BBConvertClick();
  void BBCancelClick();
  void BBCloseClick();
  void TimerConvTimer();
  void TimerPauseTimer();

 protected:
  void FormCreate() override;
  void FormShow() override;

 private:
  // ConversionObserver
  void DisplayChanged() override;
  void Poke(std::string_view text) override;
  void Completed() override;

  void BuildControls();
  void SetCaption();
  void Refresh();
  void SyncTimer();
  std::int64_t NowMs() const;
  bool Automatic() const { return inputs_.automatic; }

  FormConvertHooks hooks_;
  // Formulas find the window by its name (FORMNOTNIL('FormConvert')) for as long as it exists.
  formula::TableWindow namedWindow_{"FormConvert", {}};
  NoxBeeper* beeper_;
  convert::ConversionInputs inputs_;
  std::unique_ptr<convert::ConversionRun> run_;
  // What the display last showed: a batch end within a run refreshes it only after an interval.
  convert::RunState shownState_ = convert::RunState::Ready;
  std::int64_t shownAtMs_ = 0;

  QGroupBox* GBSource_ = nullptr;
  QGroupBox* GroupBox1_ = nullptr;
  QLineEdit* EditSourcePath_ = nullptr;
  QLineEdit* EditSourceName_ = nullptr;
  QLineEdit* EditSourceExt_ = nullptr;
  QLineEdit* EditTargetPath_ = nullptr;
  QLineEdit* EditTargetName_ = nullptr;
  QLineEdit* EditTargetExt_ = nullptr;
  QLabel* LblSourceCount_ = nullptr;
  QLabel* LblSRec_ = nullptr;
  QLabel* LblTargetCount_ = nullptr;
  QLabel* LblTRec_ = nullptr;
  QLabel* LblClear_ = nullptr;
  QLabel* LabelKeyViol_ = nullptr;
  QLabel* LabelKVCount_ = nullptr;
  QLabel* LabelKVRec_ = nullptr;
  QProgressBar* GaugeProgr_ = nullptr;
  QLabel* LblProgCount_ = nullptr;
  QLabel* LblMes_ = nullptr;
  QLabel* LblTime_ = nullptr;
  QPushButton* BBConvert_ = nullptr;
  QPushButton* BBCancel_ = nullptr;
  QPushButton* BBClose_ = nullptr;
  QTimer* TimerConv_ = nullptr;
  QTimer* TimerPause_ = nullptr;
};

}  // namespace nox::forms
