#include "desktop/main_form.h"

#include <QAction>
#include <QApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSocketNotifier>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>
#include <thread>
#include <tuple>
#include <utility>

#include "convert/conversion_run.h"
#include "convert/key_violations.h"
#include "convert/run_status.h"
#include "desktop/form_about.h"
#include "desktop/form_conv_options.h"
#include "desktop/form_func.h"
#include "desktop/form_memo.h"
#include "desktop/form_new.h"
#include "desktop/form_table.h"
#include "desktop/form_view.h"
#include "forms/application.h"
#include "forms/beeper.h"
#include "forms/controls.h"
#include "forms/double_click.h"
#include "forms/file_dialog.h"
#include "forms/message_dialog.h"
#include "forms/modal.h"
#include "forms/text.h"
#include "host/messages.h"

namespace nox::forms {
namespace {

using convert::workspace_messages::kNoName;

constexpr int kTimerNewMs = 1000;
constexpr int kTimerPauseMs = 3000;
constexpr int kRowHeight = 18;
constexpr int kMarkColumnWidth = 16;
constexpr int kTypeColumnWidth = 18;
constexpr int kSizeColumnWidth = 34;
constexpr int kLinkColumnWidth = 36;
constexpr int kPathLabelWidth = 170;

const QString kCnvFilter = QStringLiteral("NOX Base Convertation (*.cnv)|*.cnv");
const QString kCnvSuffix = QStringLiteral("cnv");

// The workspace's status goes to the window's beeper.
class BeeperIndicator : public convert::StatusIndicator {
 public:
  explicit BeeperIndicator(NoxBeeper& beeper) : beeper_(beeper) {}
  void ShowReady() override { beeper_.ShowReady(); }
  void ShowError() override { beeper_.ShowError(); }

 private:
  NoxBeeper& beeper_;
};

std::string UpperAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// A path chosen in a dialog, as the core keeps paths: in the data code page, or as the file
// system spells it when a character has no byte there.
std::string DataPath(const QString& path) {
  if (std::optional<std::string> text = ToDataText(path)) return *text;
  return path.toLocal8Bit().toStdString();
}

// Blocks for one to two seconds, without handling events, so that the splash stays in view:
// until the seconds of the monotonic clock have gone up by two.
void SplashWait() {
  const auto seconds = [] {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  };
  const auto until = seconds() + 2;
  while (seconds() < until)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

// An icon-only button: its hint is also what a screen reader calls it.
QToolButton* MakeToolButton(QWidget* parent, const char* name, const QString& hint,
                            QStyle::StandardPixmap icon, const QString& description) {
  auto* button = new QToolButton(parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setToolTip(hint);
  Describe(*button, hint, description);
  button->setIcon(parent->style()->standardIcon(icon));
  button->setAutoRaise(true);
  return button;
}

QLineEdit* MakeDisplay(QWidget* parent, const char* name, const QString& hint) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setReadOnly(true);
  edit->setToolTip(hint);
  return edit;
}

QTableWidget* MakeGrid(QWidget* parent, const char* name, int columns, const QString& hint,
                       const QString& accessibleName) {
  auto* grid = new QTableWidget(0, columns, parent);
  grid->setObjectName(QString::fromLatin1(name));
  grid->setToolTip(hint);
  Describe(*grid, accessibleName, hint);
  grid->horizontalHeader()->hide();
  grid->verticalHeader()->hide();
  grid->verticalHeader()->setDefaultSectionSize(kRowHeight);
  grid->setSelectionBehavior(QAbstractItemView::SelectRows);
  grid->setSelectionMode(QAbstractItemView::SingleSelection);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
  grid->setAutoScroll(false);  // only the window's scrolling rules move the rows
  grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid->setTabKeyNavigation(false);
  return grid;
}

// Narrow columns keep their width; the stretching ones share the rest, which leaves room for the
// scroll bar by itself when the rows do not fit.
void SetColumns(QTableWidget& grid, const std::vector<int>& widths) {
  QHeaderView& header = *grid.horizontalHeader();
  for (std::size_t column = 0; column < widths.size(); ++column) {
    const int index = static_cast<int>(column);
    if (widths[column] > 0) {
      header.setSectionResizeMode(index, QHeaderView::Fixed);
      header.resizeSection(index, widths[column]);
    } else {
      header.setSectionResizeMode(index, QHeaderView::Stretch);
    }
  }
}

void SetRowCount(QTableWidget& grid, int rows) {
  grid.setRowCount(rows);
  for (int row = 0; row < rows; ++row) {
    for (int column = 0; column < grid.columnCount(); ++column) {
      if (grid.item(row, column) == nullptr) grid.setItem(row, column, new QTableWidgetItem);
    }
  }
}

void SetCell(QTableWidget& grid, int row, int column, std::string_view text) {
  grid.item(row, column)->setText(FromDataText(text));
}

// The ".." rule counts average characters, and upper-case paths run wider than that: whatever
// still does not fit is cut after the "..", so that the label keeps the tail the rule keeps.
QString FitTail(const QString& text, const QLabel& label) {
  const QFontMetrics metrics = label.fontMetrics();
  const int width = label.contentsRect().width();
  if (metrics.horizontalAdvance(text) <= width) return text;
  const QString dots = QStringLiteral("..");
  QString tail = text.startsWith(dots) ? text.mid(2) : text;
  while (!tail.isEmpty() && metrics.horizontalAdvance(dots + tail) > width)
    tail.remove(0, 1);
  return dots + tail;
}

void SelectRow(QTableWidget& grid, int row) {
  if (row < 0 || row >= grid.rowCount()) {
    grid.clearSelection();
    grid.setCurrentItem(nullptr);
    return;
  }
  grid.setCurrentCell(row, 0);
  grid.selectRow(row);
}

}  // namespace

bool AutomaticRunArguments(const std::vector<std::string>& arguments) {
  return arguments.size() >= 2 && UpperAscii(arguments[1]) == "AUTO";
}

TMainForm::TMainForm(MainFormStart start, QWidget* parent)
    : TNoxForm(parent),
      start_(std::move(start)),
      namedWindow_("MainForm", {&workspace_.TableSource, &workspace_.TableTarget,
                                &workspace_.TableKeyViol, &workspace_.TablKursVal}) {
  setObjectName(QStringLiteral("MainForm"));
  if (!AutomaticRunArguments(start_.arguments)) messages_.emplace();
  MakeTopLevelWindow(*this);
  setWindowTitle(QString::fromLatin1(
      convert::workspace_messages::kProgramCaption.data(),
      static_cast<qsizetype>(convert::workspace_messages::kProgramCaption.size())));
  BuildControls();
  BuildMenu();
  indicator_ = std::make_unique<BeeperIndicator>(*Beeper_);
  workspace_.SetStatusIndicator(indicator_.get());
}

TMainForm::~TMainForm() {
  workspace_.SetStatusIndicator(nullptr);
}

void TMainForm::BuildControls() {
  Beeper_ = new NoxBeeper(this);
  Beeper_->setObjectName(QStringLiteral("Beeper"));
  Beeper_->setToolTip(QStringLiteral("Status"));
  Describe(*Beeper_, QStringLiteral("Status"),
           QStringLiteral("Shows whether the program is ready, busy or met an error"));
  Beeper_->setFixedSize(Beeper_->size());  // a layout would otherwise squeeze it to nothing
  SBNew_ = MakeToolButton(this, "SBNew", QStringLiteral("New"), QStyle::SP_FileIcon,
                          QStringLiteral("Starts a new description from a source and a target"));
  SBOpen_ = MakeToolButton(this, "SBOpen", QStringLiteral("Open"), QStyle::SP_DialogOpenButton,
                           QStringLiteral("Opens a description file"));
  SBSave_ = MakeToolButton(this, "SBSave", QStringLiteral("Save"), QStyle::SP_DialogSaveButton,
                           QStringLiteral("Saves the description"));
  SBConvert_ = MakeToolButton(this, "SBConvert", QStringLiteral("Convert"), QStyle::SP_MediaPlay,
                              QStringLiteral("Opens the conversion window"));
  SBExit_ = MakeToolButton(this, "SBExit", QStringLiteral("Exit"), QStyle::SP_DialogCloseButton,
                           QStringLiteral("Closes the program"));
  connect(SBNew_, &QToolButton::clicked, this, [this] { NewClick(); });
  connect(SBOpen_, &QToolButton::clicked, this, [this] { OpenClick(); });
  connect(SBSave_, &QToolButton::clicked, this, [this] { SaveClick(); });
  connect(SBConvert_, &QToolButton::clicked, this, [this] { ConvertClick(); });
  connect(SBExit_, &QToolButton::clicked, this, [this] { ExitClick(); });
  auto* toolRow = new QHBoxLayout;
  for (QToolButton* button : {SBNew_, SBOpen_, SBSave_, SBConvert_, SBExit_})
    toolRow->addWidget(button);
  toolRow->addStretch();
  toolRow->addWidget(Beeper_);

  // The two tables side by side with the relation buttons between them.
  auto* PanelFiles = new QGroupBox(QStringLiteral(" Files "), this);
  PanelFiles->setObjectName(QStringLiteral("PanelFiles"));
  const QString fieldHint = QStringLiteral("Click to select field");
  // `side` is "S" or "T": the captions of the path and name are LblSPath, LblSName, ...
  const auto makeTableGroup = [&](const char* name, const QString& title, const char* side,
                                  const char* pathName, const char* fileName, const char* gridName,
                                  QLabel*& path, QLabel*& file, QTableWidget*& grid,
                                  const QString& listName) {
    auto* group = new QGroupBox(title, PanelFiles);
    group->setObjectName(QString::fromLatin1(name));
    auto* layout = new QGridLayout(group);
    path = MakeLabel(group, pathName);
    file = MakeLabel(group, fileName);
    path->setFixedWidth(kPathLabelWidth);
    grid = MakeGrid(group, gridName, 4, fieldHint, listName);
    SetColumns(*grid, {kMarkColumnWidth, 0, kTypeColumnWidth, kSizeColumnWidth});
    int row = 0;
    for (auto [part, caption, shown] : {std::tuple{"Path", QStringLiteral("Path:"), path},
                                        std::tuple{"Name", QStringLiteral("Name:"), file}}) {
      const QByteArray labelName = QByteArray("Lbl") + side + part;
      QLabel* label = MakeLabel(group, labelName.constData(), caption);
      label->setBuddy(shown);
      layout->addWidget(label, row, 0);
      layout->addWidget(shown, row++, 1);
    }
    layout->addWidget(grid, 2, 0, 1, 2);
    return group;
  };
  QGroupBox* GBSource = makeTableGroup("GBSource", QStringLiteral(" Source "), "S", "LSourcePath",
                                       "LSourceName", "SGSource", LSourcePath_, LSourceName_,
                                       SGSource_, QStringLiteral("Source fields"));
  QGroupBox* GBTarget = makeTableGroup("GBTarget", QStringLiteral("Target"), "T", "LTargetPath",
                                       "LTargetName", "SGTarget", LTargetPath_, LTargetName_,
                                       SGTarget_, QStringLiteral("Target fields"));

  auto* GBRelation = new QGroupBox(QStringLiteral(" Relation "), PanelFiles);
  GBRelation->setObjectName(QStringLiteral("GBRelation"));
  BBAdd_ = MakeButton(GBRelation, "BBAdd", QStringLiteral("Add"), QStringLiteral("Add relation"));
  BBDelete_ = MakeButton(GBRelation, "BBDelete", QStringLiteral("Delete"),
                         QStringLiteral("Delete relation"));
  auto* relationButtons = new QVBoxLayout(GBRelation);
  relationButtons->addWidget(BBAdd_);
  relationButtons->addWidget(BBDelete_);
  BBFunction_ = MakeButton(PanelFiles, "BBFunction", QStringLiteral("Function"),
                           QStringLiteral("Change convertation function"));
  auto* middle = new QVBoxLayout;
  middle->addStretch();
  middle->addWidget(GBRelation);
  middle->addWidget(BBFunction_);
  middle->addStretch();
  auto* files = new QHBoxLayout(PanelFiles);
  files->addWidget(GBSource, 1);
  files->addLayout(middle);
  files->addWidget(GBTarget, 1);

  auto* PanelRelations = new QGroupBox(QStringLiteral(" Relations "), this);
  PanelRelations->setObjectName(QStringLiteral("PanelRelations"));
  SGRelat_ = MakeGrid(PanelRelations, "SGRelat", 3, QStringLiteral("Click to select relation"),
                      QStringLiteral("Relations"));
  // A failed load hides the list; the fixed-size window keeps its place rather than shrink.
  QSizePolicy keepPlace = SGRelat_->sizePolicy();
  keepPlace.setRetainSizeWhenHidden(true);
  SGRelat_->setSizePolicy(keepPlace);
  SetColumns(*SGRelat_, {0, kLinkColumnWidth, 0});
  LBFunc_ = new QListWidget(PanelRelations);
  LBFunc_->setObjectName(QStringLiteral("LBFunc"));
  LBFunc_->hide();
  const QString optionsHint = QStringLiteral("See Menu Options/Convertation Options");
  EditFunc_ = MakeDisplay(PanelRelations, "EditFunc",
                          QStringLiteral("Click button Function to change this field"));
  EditPack_ = MakeDisplay(PanelRelations, "EditPack", optionsHint);
  EditFilter_ = MakeDisplay(PanelRelations, "EditFilter", optionsHint);
  auto* displays = new QVBoxLayout;
  for (auto [name, caption, display] :
       {std::tuple{"LblFunc", QStringLiteral("Convertation function"), EditFunc_},
        std::tuple{"LblPack", QStringLiteral("Pack fields"), EditPack_},
        std::tuple{"LblFilter", QStringLiteral("Source file filter"), EditFilter_}}) {
    QLabel* label = MakeLabel(PanelRelations, name, caption);
    label->setBuddy(display);
    displays->addWidget(label);
    displays->addWidget(display);
  }
  displays->addStretch();
  auto* relations = new QHBoxLayout(PanelRelations);
  relations->addWidget(SGRelat_, 3);
  relations->addLayout(displays, 2);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(toolRow);
  layout->addWidget(PanelFiles);
  layout->addWidget(PanelRelations);
  layout->setSizeConstraint(QLayout::SetFixedSize);  // a fixed-size window
  for (QTableWidget* grid : {SGSource_, SGTarget_})
    grid->setMinimumSize(230, 10 * kRowHeight);
  SGRelat_->setMinimumSize(330, 8 * kRowHeight);

  // A click (mouse) or a move of the current row (keyboard) selects as the user meant; the
  // handlers give the same result when both come for one click.
  const auto wire = [this](QTableWidget* grid, void (TMainForm::*handler)(int)) {
    connect(grid, &QTableWidget::cellClicked, this,
            [this, handler](int row, int) { (this->*handler)(row); });
    connect(grid, &QTableWidget::currentCellChanged, this,
            [this, grid, handler](int row, int, int previousRow, int) {
              if (grid->signalsBlocked() || row < 0 || row == previousRow) return;
              if (QApplication::mouseButtons() != Qt::NoButton) return;  // cellClicked follows
              (this->*handler)(row);
            });
  };
  wire(SGSource_, &TMainForm::SGSourceClick);
  wire(SGTarget_, &TMainForm::SGTargetClick);
  wire(SGRelat_, &TMainForm::SGRelatClick);

  connect(BBAdd_, &QPushButton::clicked, this, [this] { BBAddClick(); });
  connect(BBDelete_, &QPushButton::clicked, this, [this] { BBDeleteClick(); });
  connect(BBFunction_, &QPushButton::clicked, this, [this] { BBFunctionClick(); });
  OnDoubleClick(*EditFunc_, [this] { EditFuncDblClick(); });
  OnDoubleClick(*EditPack_, [this] { EditPackDblClick(); });
  OnDoubleClick(*EditFilter_, [this] { EditFilterDblClick(); });

  TimerNew_ = new QTimer(this);
  TimerNew_->setObjectName(QStringLiteral("TimerNew"));
  TimerNew_->setInterval(kTimerNewMs);
  connect(TimerNew_, &QTimer::timeout, this, [this] { TimerNewTimer(); });
  TimerPause_ = new QTimer(this);
  TimerPause_->setObjectName(QStringLiteral("TimerPause"));
  TimerPause_->setInterval(kTimerPauseMs);
  connect(TimerPause_, &QTimer::timeout, this, [this] { TimerPauseTimer(); });
}

void TMainForm::BuildMenu() {
  auto* menuBar = new QMenuBar(this);
  menuBar->setObjectName(QStringLiteral("MainMenu"));
  const auto addMenu = [menuBar](const char* name, const QString& title) {
    QMenu* menu = menuBar->addMenu(title);
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
  };
  const auto addItem = [this](QMenu* menu, const char* name, const QString& text,
                              void (TMainForm::*handler)()) {
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromLatin1(name));
    connect(action, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    return action;
  };
  QMenu* file = addMenu("File1", QStringLiteral("&File"));
  // The desktop's usual keys; Ctrl+S stays the base window's field-settings key.
  addItem(file, "New1", QStringLiteral("&New"), &TMainForm::NewClick)
      ->setShortcut(QKeySequence::New);
  addItem(file, "Open1", QStringLiteral("&Open"), &TMainForm::OpenClick)
      ->setShortcut(QKeySequence::Open);
  Save1_ = addItem(file, "Save1", QStringLiteral("&Save"), &TMainForm::SaveClick);
  SaveAs1_ = addItem(file, "SaveAs1", QStringLiteral("Save &As"), &TMainForm::SaveAsClick);
  file->addSeparator();
  Convertation1_ =
      addItem(file, "Convertation1", QStringLiteral("&Convertation"), &TMainForm::ConvertClick);
  file->addSeparator();
  addItem(file, "Exit1", QStringLiteral("E&xit"), &TMainForm::ExitClick)
      ->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  QMenu* options = addMenu("Options1", QStringLiteral("&Options"));
  Convertationoptions1_ =
      addItem(options, "Convertationoptions1", QStringLiteral("&Convertation options"),
              &TMainForm::ConvertationOptionsClick);
  Changebases1_ = addItem(options, "Changebases1", QStringLiteral("Change &bases"),
                          &TMainForm::ChangeBasesClick);
  ViewINIfile1_ = addItem(options, "ViewINIfile1", QStringLiteral("&View INI file"),
                          &TMainForm::ViewIniFileClick);
  QMenu* tables = addMenu("Tables1", QStringLiteral("&Tables"));
  SourceTable1_ = addItem(tables, "SourceTable1", QStringLiteral("&Source table"),
                          &TMainForm::SourceTableClick);
  TargetTable1_ = addItem(tables, "TargetTable1", QStringLiteral("&Target table"),
                          &TMainForm::TargetTableClick);
  KeyViolTable1_ = addItem(tables, "KeyViolTable1", QStringLiteral("&Key-violation table"),
                           &TMainForm::KeyViolTableClick);
  tables->addSeparator();
  addItem(tables, "OtherTable1", QStringLiteral("&Other table..."), &TMainForm::OtherTableClick);
  QMenu* help = addMenu("HelpMenu", QStringLiteral("&Help"));
  addItem(help, "Help1", QStringLiteral("&Help"), &TMainForm::HelpClick);
  addItem(help, "FormulaWizard1", QStringLiteral("&Formula Wizard"),
          &TMainForm::FormulaWizardClick);
  addItem(help, "About1", QStringLiteral("&About"), &TMainForm::AboutClick);
  layout()->setMenuBar(menuBar);
}

// --- Life ---

void TMainForm::FormCreate() {
  TNoxForm::FormCreate();
  if (start_.busyWait) SplashWait();  // no events meanwhile: the splash just stays up

  const std::size_t count = start_.arguments.size();
  splashPending_ = count >= 1;
  if (count >= 2) {
    workspace_.AutoRun = UpperArgument(1) == "AUTO";
    workspace_.NewOnStart = UpperArgument(1) == "NEW";
  }
  if (count >= 3) workspace_.DdeLink = UpperArgument(2) == "DDE";
  if (workspace_.DdeLink) OpenLink();
  if (workspace_.AutoRun) setEnabled(false);  // no user input for the whole automatic run
  CreateFormConvert();
  ShowWorkspace();
}

void TMainForm::OpenLink() {
  link_.emplace(start_.arguments.front(), start_.linkService);
  link_->Open();
  workspace_.DdePathLines = link_->PathLines();
  for (int fd : link_->Fds()) {
    auto* notifier = new QSocketNotifier(static_cast<qintptr>(fd), QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] { ProcessLink(); });
    linkNotifiers_.push_back(notifier);
  }
}

void TMainForm::ProcessLink() {
  link_->ProcessIncoming();
  workspace_.DdePathLines = link_->PathLines();
  // A change announced too soon after the last request is requested a little later.
  if (link_->RequestPending())
    QTimer::singleShot(link::kRequestSpacing, this, [this] {
      if (link_) ProcessLink();
    });
  // A conversation the caller ended has no socket left to watch.
  const std::vector<int> open = link_->Fds();
  for (QSocketNotifier* notifier : linkNotifiers_) {
    const auto fd = static_cast<int>(notifier->socket());
    if (std::find(open.begin(), open.end(), fd) == open.end()) notifier->setEnabled(false);
  }
}

void TMainForm::CreateFormConvert() {
  FormConvertHooks hooks;
  hooks.mayStart = [this] { return MayStartRun(); };
  hooks.inputs = [this] {
    convert::ConversionInputs inputs = convert::WorkspaceInputs(workspace_);
    inputs.messageName =
        link::MessageName(start_.arguments.empty() ? std::string() : start_.arguments.front());
    inputs.automatic = AutomaticArgument();
    inputs.dde = workspace_.DdeLink;
    inputs.window = &namedWindow_;
    return inputs;
  };
  hooks.descriptionName = [this] {
    return std::string(convert::FileNamePart(workspace_.CnvFileName));
  };
  hooks.poke = [this](std::string_view text) {
    if (!link_) return;
    // The run's messages begin with the message name, which the link adds itself.
    const std::string name = link::MessageName(start_.arguments.front());
    if (text.starts_with(name)) text.remove_prefix(name.size());
    link_->Send(text);
  };
  hooks.descriptionError = [this](std::string_view) {
    workspace_.LoadOk = false;
    ShowWorkspace();
    // An automatic run that cannot start must still end, or its caller waits for ever.
    if (AutomaticArgument()) FinishAutomaticRun();
  };
  hooks.hideMainWindow = [this] { hide(); };
  hooks.automaticFinished = [this] { FinishAutomaticRun(); };
  formConvert_ = CreateForm<TFormConvert>(std::move(hooks), Beeper_);
}

void TMainForm::FinishAutomaticRun() {
  show();
  TimerPause_->start();
}

void TMainForm::FormShow() {
  const std::size_t count = start_.arguments.size();
  if (count == 1 || (count >= 2 && UpperArgument(1) != "NEW")) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool read = workspace_.Load(start_.arguments.front(), true);
    descriptionRead_ = read;
    QApplication::restoreOverrideCursor();
    ShowWorkspace();
    if (!read) {
      // The message named the file. The splash would cover the window for good, and an
      // automatic run that cannot start ends instead of leaving its caller waiting.
      if (splashPending_ && start_.closeSplash) start_.closeSplash();
      splashPending_ = false;
      if (workspace_.AutoRun) {
        workspace_.AutoRun = false;
        TimerPause_->start();
      }
      return;
    }
  }
  Beeper_->ShowReady();
  if (splashPending_) {
    if (start_.closeSplash) start_.closeSplash();
    splashPending_ = false;
  }
  if (workspace_.AutoRun && AutomaticArgument()) {
    workspace_.AutoRun = false;
    formConvert_->show();
  }
  if (workspace_.NewOnStart) TimerNew_->start();
}

void TMainForm::FormResize() {
  ShowPathLabels();
}

void TMainForm::FormClose(CloseAction& action) {
  if (workspace_.Modified && !AskToSave()) {
    action = CloseAction::caNone;
    return;
  }
  // A table window stores its correction as it closes; one the table refuses keeps it open.
  for (TFormTable* form : TableForms()) {
    if (!form->close()) {
      action = CloseAction::caNone;
      return;
    }
  }
  if (workspace_.DdeLink && link_) link_->Send(link::kProgramDestroySuffix);
}

void TMainForm::FormDestroy() {
  tableForms_.clear();
  TimerNew_->stop();
  TimerPause_->stop();
  if (workspace_.DdeLink && link_) {
    for (QSocketNotifier* notifier : linkNotifiers_)
      notifier->setEnabled(false);
    if (!link_->Close()) host::ShowMessage(host::MessageKind::Warning, link::kFalseInLinkMessage);
  }
  TNoxForm::FormDestroy();
}

void TMainForm::TimerNewTimer() {
  TimerNew_->stop();
  NewClick();
}

void TMainForm::TimerPauseTimer() {
  TimerPause_->stop();
  formConvert_->close();
  // The conversion window may have hidden this one meanwhile; done() closes it all the same,
  // through the close handler.
  done(QDialog::Rejected);
}

bool TMainForm::AutomaticArgument() const {
  return AutomaticRunArguments(start_.arguments);
}

int TMainForm::ExitStatus() const {
  if (!AutomaticArgument()) return convert::kRunComplete;
  if (!descriptionRead_) return convert::kRunBadDescription;
  // A description whose tables or relations did not load: the run, if it started, failed on it.
  if (!workspace_.LoadOk) return convert::LoadFailure(workspace_);
  const convert::ConversionRun* run = formConvert_->Run();
  const bool ended = run != nullptr && (run->State() == convert::RunState::Complete ||
                                        run->State() == convert::RunState::Cancelled ||
                                        run->State() == convert::RunState::Failed);
  return ended ? convert::EndedRunStatus(*run) : convert::kRunBadDescription;
}

std::string TMainForm::UpperArgument(std::size_t index) const {
  return index < start_.arguments.size() ? UpperAscii(start_.arguments[index]) : std::string();
}

// --- Commands ---

bool TMainForm::AskToSave() {
  const int answer = NoxMessageDlg(FromDataText(workspace_.SavePromptText()), QString(),
                                   MsgDlgType::Warning, 0, kButtonsYesNoCancel);
  if (answer == mrNo) return true;
  if (answer != mrYes) return false;  // Cancel or the close box
  // A cancelled file dialog lets the command go on; a failed write stops it, so that closing or
  // replacing the description does not lose the changes the user wanted kept.
  if (workspace_.CnvFileName != kNoName) {
    const bool saved = workspace_.Save();
    ShowWorkspace();
    return saved;
  }
  return SaveAsDialog() != SaveAsResult::failed;
}

TMainForm::SaveAsResult TMainForm::SaveAsDialog() {
  FileDialogSpec spec;
  spec.kind = FileDialogSpec::Kind::Save;
  spec.title = QStringLiteral("Save Convertation File");
  spec.name = QStringLiteral("SaveDialog1");
  spec.filter = kCnvFilter;
  spec.defaultSuffix = kCnvSuffix;
  const std::optional<QString> path = RunFileDialog(this, spec);
  if (!path) return SaveAsResult::cancelled;
  const bool saved = workspace_.SaveAs(DataPath(*path));
  ShowWorkspace();
  return saved ? SaveAsResult::saved : SaveAsResult::failed;
}

void TMainForm::NewClick() {
  if (workspace_.Modified && !AskToSave()) return;
  auto form = CreateForm<TFormNew>(this);
  if (RunModal(*form) == QDialog::Accepted) {
    const std::string source = form->SourcePath();
    const std::string target = form->TargetPath();
    form.reset();
    workspace_.New(source, target);
  }
  ShowWorkspace();
}

void TMainForm::OpenClick() {
  if (workspace_.Modified && !AskToSave()) return;
  Beeper_->StepBusy();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  struct Finish {
    TMainForm& form;
    ~Finish() {
      form.Beeper_->ShowReady();
      QApplication::restoreOverrideCursor();
    }
  } finish{*this};
  FileDialogSpec spec;
  spec.kind = FileDialogSpec::Kind::Open;
  spec.title = QStringLiteral("Open Convertation File");
  spec.name = QStringLiteral("OpenDialog1");
  spec.filter = kCnvFilter;
  spec.defaultSuffix = kCnvSuffix;
  spec.fileName = QStringLiteral("*.cnv");
  if (const std::optional<QString> path = RunFileDialog(this, spec)) {
    workspace_.Load(DataPath(*path));
    ShowWorkspace();
  }
}

void TMainForm::SaveClick() {
  if (workspace_.CnvFileName == kNoName) {
    SaveAsDialog();
    return;
  }
  workspace_.Save();
  ShowWorkspace();
}

void TMainForm::SaveAsClick() {
  SaveAsDialog();
}

void TMainForm::ConvertClick() {
  if (!workspace_.Commands.convertation) return;
  if (workspace_.CnvFileName == kNoName) SaveAsDialog();
  if (workspace_.CnvFileName == kNoName) return;
  formConvert_->show();
  formConvert_->raise();
  formConvert_->activateWindow();
}

void TMainForm::ExitClick() {
  close();
}

void TMainForm::ConvertationOptionsClick() {
  auto form = CreateForm<TFormConvOptions>(workspace_, this);
  RunModal(*form);
  form.reset();
  ShowWorkspace();
}

void TMainForm::ChangeBasesClick() {
  auto form = CreateForm<TFormFile>(workspace_, this);
  if (RunModal(*form) == QDialog::Accepted) {
    const std::string source = form->SourcePath();
    const std::string target = form->TargetPath();
    form.reset();
    workspace_.ChangeBases(source, target);
  }
  ShowWorkspace();
}

void TMainForm::ViewIniFileClick() {
  auto form = CreateForm<TFormView>(workspace_.CFile, this);
  RunModal(*form);
}

void TMainForm::HelpClick() {
  NoxMessageDlg(QStringLiteral("Nothing there !"), QStringLiteral("Help"), MsgDlgType::Information,
                0, kButtonsOk);
}

void TMainForm::FormulaWizardClick() {
  auto form = CreateForm<TFormMemo>(workspace_, &namedWindow_, nullptr, this);
  RunModal(*form);
}

void TMainForm::AboutClick() {
  auto form = CreateForm<TFormAbout>(this);
  RunModal(*form);
}

// --- Table windows ---

namespace {

// The workspace takes back the tables it let go of, unless it has opened others meanwhile.
void TakeBack(const std::vector<tables::TTable*>& released, const std::filesystem::path& path) {
  for (tables::TTable* table : released) {
    if (!table->Active() && convert::SameFile(table->FilePath(), path)) {
      RunReported([table] { table->Open(); });
    }
  }
}

// The key-violation table of the description's target, named as the run names it.
void NameKeyViolations(const convert::Workspace& workspace, tables::TTable& keyViolations) {
  convert::NameKeyViolationTable(keyViolations, workspace.TableTarget.DatabaseName(),
                                 workspace.TableTarget.TableName());
}

}  // namespace

void TMainForm::SourceTableClick() {
  OpenTableForm(workspace_.TableSource.DatabaseName(), workspace_.TableSource.TableName());
}

void TMainForm::TargetTableClick() {
  OpenTableForm(workspace_.TableTarget.DatabaseName(), workspace_.TableTarget.TableName());
}

void TMainForm::KeyViolTableClick() {
  tables::TTable keyViolations;
  NameKeyViolations(workspace_, keyViolations);
  OpenTableForm(keyViolations.DatabaseName(), keyViolations.TableName());
}

void TMainForm::OtherTableClick() {
  FileDialogSpec spec;
  spec.kind = FileDialogSpec::Kind::Open;
  spec.title = QStringLiteral("Open Table");
  spec.name = QStringLiteral("OpenTableDialog");
  spec.filter = QString::fromLatin1(kTablesFilter);
  spec.fileName = QStringLiteral("*.db");
  if (const std::optional<QString> path = RunFileDialog(this, spec)) {
    const std::string chosen = DataPath(*path);
    OpenTableForm(std::string(convert::DirectoryPart(chosen)),
                  std::string(convert::FileNamePart(chosen)));
  }
}

std::vector<TFormTable*> TMainForm::TableForms() const {
  std::vector<TFormTable*> forms;
  for (const HeldTable& held : tableForms_)
    forms.push_back(held.form.get());
  return forms;
}

void TMainForm::OpenTableForm(const std::string& databaseName, const std::string& tableName) {
  tables::TTable named;
  named.SetDatabaseName(databaseName);
  named.SetTableName(tableName);
  const std::filesystem::path path = named.FilePath();
  // One window per table: two would keep each other from storing.
  for (const HeldTable& held : tableForms_) {
    if (convert::SameFile(held.path, path)) {
      held.form->raise();
      held.form->activateWindow();
      return;
    }
  }
  // The workspace's shared lock would keep the window from storing a correction: it lets go of
  // the table meanwhile, but never under a running conversion.
  HeldTable held{nullptr, path, {}};
  for (tables::TTable* table :
       {&workspace_.TableSource, &workspace_.TableTarget, &workspace_.TableKeyViol}) {
    if (table->Active() && convert::SameFile(table->FilePath(), path))
      held.released.push_back(table);
  }
  if (!held.released.empty() && formConvert_->Run() != nullptr &&
      formConvert_->Run()->IsRunning()) {
    NoxMessageDlg(QStringLiteral("The table '%1' is in use by the conversion: open it when the "
                                 "conversion has ended.")
                      .arg(FromDataText(tableName)),
                  QString(), MsgDlgType::Error, 0, kButtonsOk);
    return;
  }
  for (tables::TTable* table : held.released) {
    if (!RunReported([table] { table->Close(); })) {
      TakeBack(held.released, path);
      return;
    }
  }
  held.form = CreateForm<TFormTable>();
  if (!held.form->OpenTable(databaseName, tableName)) {
    held.form.reset();
    TakeBack(held.released, path);
    return;
  }
  TFormTable* form = held.form.get();
  connect(form, &QDialog::finished, this, [this, form] { TableFormClosed(form); });
  tableForms_.push_back(std::move(held));
  form->show();
}

void TMainForm::TableFormClosed(const TFormTable* form) {
  const auto at = std::find_if(tableForms_.begin(), tableForms_.end(),
                               [form](const HeldTable& held) { return held.form.get() == form; });
  if (at == tableForms_.end()) return;
  HeldTable held = std::move(*at);
  tableForms_.erase(at);
  // The window lets go of its table first (it is within its own signal: deleted later).
  TFormTable* closing = held.form.release();
  closing->RunDestroy();
  closing->deleteLater();
  TakeBack(held.released, held.path);
}

bool TMainForm::MayStartRun() const {
  tables::TTable keyViolations;
  NameKeyViolations(workspace_, keyViolations);
  for (const HeldTable& held : tableForms_) {
    for (const tables::TTable* table : {&workspace_.TableSource, &workspace_.TableTarget,
                                        static_cast<const tables::TTable*>(&keyViolations)}) {
      if (convert::SameFile(table->FilePath(), held.path)) {
        NoxMessageDlg(QStringLiteral("The table '%1' is open in a table window: close that "
                                     "window before converting.")
                          .arg(FromDataText(table->TableName())),
                      QString(), MsgDlgType::Error, 0, kButtonsOk);
        return false;
      }
    }
  }
  return true;
}

// --- Lists, relation buttons and displays ---

void TMainForm::SGSourceClick(int row) {
  if (!workspace_.SGSource.enabled || row < 0 ||
      row >= static_cast<int>(workspace_.SGSource.rows.size()))
    return;
  workspace_.SGSourceClick(row);
  ShowWorkspace();
  if (workspace_.SGSource.rows[static_cast<std::size_t>(row)].Linked()) {
    ScrollTo(*SGRelat_, workspace_.SGRelat.selected, 3);
    ScrollTo(*SGTarget_, workspace_.SGTarget.selected, 5);
  }
}

void TMainForm::SGTargetClick(int row) {
  if (!workspace_.SGTarget.enabled || row < 0 ||
      row >= static_cast<int>(workspace_.SGTarget.rows.size()))
    return;
  workspace_.SGTargetClick(row);
  ShowWorkspace();
  if (workspace_.SGTarget.rows[static_cast<std::size_t>(row)].Linked()) {
    ScrollTo(*SGRelat_, workspace_.SGRelat.selected, 3);
    ScrollTo(*SGSource_, workspace_.SGSource.selected, 5);
  }
}

void TMainForm::SGRelatClick(int row) {
  if (!workspace_.SGRelat.enabled || row < 0 ||
      row >= static_cast<int>(workspace_.SGRelat.rows.size()))
    return;
  workspace_.SGRelatClick(row);
  ShowWorkspace();
  if (row < workspace_.SGRelat.RelationCount()) {
    ScrollTo(*SGSource_, workspace_.SGSource.selected, 5);
    ScrollTo(*SGTarget_, workspace_.SGTarget.selected, 5);
  }
}

void TMainForm::BBAddClick() {
  if (!workspace_.BBAdd.enabled) return;
  workspace_.BBAddClick();
  ShowWorkspace();
  ScrollTo(*SGRelat_, workspace_.SGRelat.selected, 2, 2);
}

void TMainForm::BBDeleteClick() {
  if (!workspace_.BBDelete.enabled) return;
  workspace_.BBDeleteClick();
  ShowWorkspace();
}

void TMainForm::BBFunctionClick() {
  if (!workspace_.BBFunction.enabled) return;
  auto editor = CreateForm<TFormFunc>(workspace_, &namedWindow_, this);
  if (RunModal(*editor) == QDialog::Accepted) {
    const std::string formula = editor->Formula();
    editor.reset();
    workspace_.ApplyFunction(formula);
  }
  ShowWorkspace();
}

void TMainForm::EditFuncDblClick() {
  if (workspace_.BBFunction.enabled) BBFunctionClick();
}

void TMainForm::EditPackDblClick() {
  if (!workspace_.Commands.convertationOptions) return;
  workspace_.DialogContext = "PACK";
  ConvertationOptionsClick();
}

void TMainForm::EditFilterDblClick() {
  if (!workspace_.Commands.convertationOptions) return;
  workspace_.DialogContext = "FILTER";
  ConvertationOptionsClick();
}

// --- Showing the workspace ---

void TMainForm::ShowWorkspace() {
  const convert::Workspace& ws = workspace_;
  ShowFieldList(*SGSource_, ws.SGSource);
  ShowFieldList(*SGTarget_, ws.SGTarget);
  ShowRelations();

  EditFunc_->setText(FromDataText(ws.EditFunc.text));
  QPalette palette = QApplication::palette();
  palette.setColor(QPalette::Base, ws.EditFunc.highlighted ? palette.color(QPalette::Highlight)
                                                           : palette.color(QPalette::Button));
  palette.setColor(QPalette::Text, ws.EditFunc.highlighted ? Qt::white : Qt::black);
  EditFunc_->setPalette(palette);
  EditPack_->setText(FromDataText(ws.EditPack));
  EditFilter_->setText(FromDataText(ws.EditFilter));
  LSourceName_->setText(FromDataText(ws.LSourceName));
  LTargetName_->setText(FromDataText(ws.LTargetName));
  ShowPathLabels();

  BBAdd_->setEnabled(ws.BBAdd.enabled);
  BBDelete_->setEnabled(ws.BBDelete.enabled);
  BBFunction_->setEnabled(ws.BBFunction.enabled);
  // A window has one default button. When the workspace marks several, Enter presses the one
  // that gives a field its content: Function before Add, Add before Delete.
  QPushButton* defaultButton = ws.BBFunction.isDefault ? BBFunction_
                               : ws.BBAdd.isDefault    ? BBAdd_
                               : ws.BBDelete.isDefault ? BBDelete_
                                                       : nullptr;
  for (QPushButton* button : {BBAdd_, BBDelete_, BBFunction_})
    button->setDefault(button == defaultButton);

  const convert::CommandAvailability& commands = ws.Commands;
  Save1_->setEnabled(commands.save);
  SaveAs1_->setEnabled(commands.saveAs);
  Convertation1_->setEnabled(commands.convertation);
  Convertationoptions1_->setEnabled(commands.convertationOptions);
  Changebases1_->setEnabled(commands.changeBases);
  ViewINIfile1_->setEnabled(commands.viewIniFile);
  // The description's tables are there once both field lists are.
  for (QAction* table : {SourceTable1_, TargetTable1_, KeyViolTable1_})
    table->setEnabled(ws.SGSource.enabled && ws.SGTarget.enabled);
  SBSave_->setEnabled(commands.sbSave);
  SBConvert_->setEnabled(commands.sbConvert);

  setWindowTitle(FromDataText(ws.Caption));
  SetApplicationTitle(FromDataText(ws.Title));
}

void TMainForm::ShowPathLabels() {
  const int average = fontMetrics().averageCharWidth();
  for (auto [label, path] : {std::pair{LSourcePath_, &workspace_.LSourcePath},
                             std::pair{LTargetPath_, &workspace_.LTargetPath}}) {
    label->setText(
        FitTail(FromDataText(convert::ShortenForLabel(*path, label->width(), average)), *label));
  }
}

void TMainForm::ShowFieldList(QTableWidget& grid, const convert::FieldList& list) {
  const QSignalBlocker blocker(grid);
  SetRowCount(grid, static_cast<int>(list.rows.size()));
  for (std::size_t index = 0; index < list.rows.size(); ++index) {
    const convert::FieldRow& field = list.rows[index];
    const int row = static_cast<int>(index);
    SetCell(grid, row, 0, field.mark);
    SetCell(grid, row, 1, field.name);
    SetCell(grid, row, 2, field.type);
    SetCell(grid, row, 3, field.size);
  }
  SelectRow(grid, list.selected);
  grid.setEnabled(list.enabled);
}

void TMainForm::ShowRelations() {
  const convert::RelationList& list = workspace_.SGRelat;
  {
    const QSignalBlocker blocker(SGRelat_);
    SetRowCount(*SGRelat_, static_cast<int>(list.rows.size()));
    for (std::size_t index = 0; index < list.rows.size(); ++index) {
      const convert::RelationRow& relation = list.rows[index];
      const int row = static_cast<int>(index);
      SetCell(*SGRelat_, row, 0, relation.source);
      SetCell(*SGRelat_, row, 1, relation.link);
      SetCell(*SGRelat_, row, 2, relation.target);
    }
    SelectRow(*SGRelat_, list.selected);
  }
  SGRelat_->setEnabled(list.enabled);
  SGRelat_->setVisible(list.visible);
  LBFunc_->clear();
  for (const std::string& entry : workspace_.LBFunc)
    LBFunc_->addItem(FromDataText(entry));
}

void TMainForm::ScrollTo(QTableWidget& grid, int row, int below, int asRow) {
  if (row < 0) return;
  QScrollBar& bar = *grid.verticalScrollBar();
  const int top = bar.value();  // per-item scrolling: the top visible row
  if (row < top || row > top + below) bar.setValue(std::max(0, row - asRow));
}

}  // namespace nox::forms
