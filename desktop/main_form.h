#pragma once
// TMainForm: the program's one main window. It owns the workspace (the open description, its
// lists, tables and command availability), the link with the calling program and the conversion
// window, shows the workspace's state and calls its operations from the handlers of its lists,
// buttons, menus and timers. Every handler ends by showing the workspace afresh (ShowWorkspace).

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "convert/workspace.h"
#include "desktop/form_convert.h"
#include "forms/message_sink.h"
#include "forms/nox_form.h"
#include "formula/named_window.h"
#include "link/caller_link.h"

class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSocketNotifier;
class QTableWidget;
class QTimer;
class QToolButton;

namespace nox::forms {

class NoxBeeper;
class TFormTable;

// Whether the command line asks for an automatic run: "AUTO", in any letter case, after the
// description. Such a run has nobody to click a dialog away: its messages go to standard error.
bool AutomaticRunArguments(const std::vector<std::string>& arguments);

// How the program starts the main window.
struct MainFormStart {
  // The command-line arguments after the program's name, in the data code page.
  std::vector<std::string> arguments;
  // The creation handler waits one to two seconds so that the splash stays visible; tests skip it.
  bool busyWait = true;
  // Hides and releases the splash window; called once, by the first show after arguments.
  std::function<void()> closeSplash;
  // The calling program's service name (tests use a private one).
  std::string linkService = std::string(link::kLinkService);
};

class TMainForm : public TNoxForm {
  Q_OBJECT

 public:
  explicit TMainForm(MainFormStart start, QWidget* parent = nullptr);
  ~TMainForm() override;

  convert::Workspace& Workspace() { return workspace_; }
  const formula::NamedWindow& NamedWindow() const { return namedWindow_; }
  // The conversion window, created with the main window and kept until its end.
  TFormConvert& FormConvert() { return *formConvert_; }
  bool SplashPending() const { return splashPending_; }
  // The exit status of the program: for an automatic run, how it ended (the statuses of the
  // command-line runner); otherwise 0.
  int ExitStatus() const;
  // The link with the calling program; null unless argument 3 is "DDE".
  const link::CallerConversations* Link() const { return link_ ? &*link_ : nullptr; }

  // --- Commands (menus and tool buttons) ---
  void NewClick();
  void OpenClick();
  void SaveClick();  // Save As while the description has no file
  void SaveAsClick();
  void ConvertClick();
  void ExitClick();
  void ConvertationOptionsClick();
  void ChangeBasesClick();
  void ViewIniFileClick();
  void HelpClick();
  void FormulaWizardClick();
  void AboutClick();
  // The table windows: the description's source, target and key-violation table, or any table
  // chosen in a file dialog. While a window shows a table the workspace holds, the workspace lets
  // go of it (so that the window can store corrections) and takes it back when the window closes.
  void SourceTableClick();
  void TargetTableClick();
  void KeyViolTableClick();
  void OtherTableClick();
  // The table windows open now, in the order they were opened.
  std::vector<TFormTable*> TableForms() const;

  // --- Lists, relation buttons and displays ---
  void SGSourceClick(int row);
  void SGTargetClick(int row);
  void SGRelatClick(int row);
  void BBAddClick();
  void BBDeleteClick();
  void BBFunctionClick();
  void EditFuncDblClick();
  void EditPackDblClick();
  void EditFilterDblClick();

  // --- Timers ---
  void TimerNewTimer();
  void TimerPauseTimer();

  // Shows the workspace's state in every control, the caption and the application title.
  void ShowWorkspace();

 protected:
  void FormCreate() override;
  void FormShow() override;
  void FormClose(CloseAction& action) override;
  void FormResize() override;
  void FormDestroy() override;

 private:
  void BuildControls();
  void BuildMenu();
  void CreateFormConvert();
  void OpenLink();
  // The save prompt; false when the calling command is to stop (Cancel, or the text could not be
  // written).
  bool AskToSave();
  enum class SaveAsResult { saved, cancelled, failed };
  SaveAsResult SaveAsDialog();
  void ProcessLink();
  // The run ends by itself: the main window comes back and closes after its pause.
  void FinishAutomaticRun();
  bool AutomaticArgument() const;
  void ShowPathLabels();
  void ShowFieldList(QTableWidget& grid, const convert::FieldList& list);
  void ShowRelations();
  // Brings a row into view: when it lies above the top visible row or more than `below` rows
  // under it, it becomes the top row (or, with `asRow`, that visible row counted from 0).
  static void ScrollTo(QTableWidget& grid, int row, int below, int asRow = 0);
  std::string UpperArgument(std::size_t index) const;
  void OpenTableForm(const std::string& databaseName, const std::string& tableName);
  void TableFormClosed(const TFormTable* form);
  // False, after a message naming it, while a table window holds one of the run's tables.
  bool MayStartRun() const;

  MainFormStart start_;
  convert::Workspace workspace_;
  std::unique_ptr<convert::StatusIndicator> indicator_;
  formula::TableWindow namedWindow_;
  std::optional<ScopedDialogMessages> messages_;  // none in an automatic run
  std::optional<link::CallerConversations> link_;
  std::vector<QSocketNotifier*> linkNotifiers_;
  FormPtr<TFormConvert> formConvert_;
  bool splashPending_ = false;
  bool descriptionRead_ = false;

  NoxBeeper* Beeper_ = nullptr;
  QToolButton* SBNew_ = nullptr;
  QToolButton* SBOpen_ = nullptr;
  QToolButton* SBSave_ = nullptr;
  QToolButton* SBConvert_ = nullptr;
  QToolButton* SBExit_ = nullptr;
  QAction* Save1_ = nullptr;
  QAction* SaveAs1_ = nullptr;
  QAction* Convertation1_ = nullptr;
  QAction* Convertationoptions1_ = nullptr;
  QAction* Changebases1_ = nullptr;
  QAction* ViewINIfile1_ = nullptr;
  QLabel* LSourcePath_ = nullptr;
  QLabel* LSourceName_ = nullptr;
  QLabel* LTargetPath_ = nullptr;
  QLabel* LTargetName_ = nullptr;
  QTableWidget* SGSource_ = nullptr;
  QTableWidget* SGTarget_ = nullptr;
  QTableWidget* SGRelat_ = nullptr;
  QListWidget* LBFunc_ = nullptr;
  QPushButton* BBAdd_ = nullptr;
  QPushButton* BBDelete_ = nullptr;
  QPushButton* BBFunction_ = nullptr;
  QLineEdit* EditFunc_ = nullptr;
  QLineEdit* EditPack_ = nullptr;
  QLineEdit* EditFilter_ = nullptr;
  QTimer* TimerNew_ = nullptr;
  QTimer* TimerPause_ = nullptr;
  QAction* SourceTable1_ = nullptr;
  QAction* TargetTable1_ = nullptr;
  QAction* KeyViolTable1_ = nullptr;

  // A table window and the workspace's tables it holds (closed while it is open).
  struct HeldTable {
    FormPtr<TFormTable> form;
    std::filesystem::path path;
    std::vector<tables::TTable*> released;
  };
  std::vector<HeldTable> tableForms_;  // last: the windows go before the workspace
};

}  // namespace nox::forms
