#include "calc/form_calcul.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFont>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <optional>
#include <string>

#include "calc/key_pictures.h"
#include "forms/application.h"
#include "forms/beeper.h"
#include "forms/controls.h"
#include "forms/text.h"

namespace nox::calc {
namespace {

constexpr int kButtonWidth = 40;
constexpr int kButtonHeight = 28;

QLabel* MakeDisplay(QWidget* parent, const char* name, int pixelSize) {
  QLabel* label = forms::MakeLabel(parent, name);
  label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  label->setAutoFillBackground(true);
  label->setBackgroundRole(QPalette::Base);
  QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setPixelSize(pixelSize);
  label->setFont(font);
  return label;
}

QAction* AddMenuItem(QMenu& menu, const char* name, const QString& caption) {
  QAction* action = menu.addAction(caption);
  action->setObjectName(QString::fromLatin1(name));
  return action;
}

}  // namespace

TFormCalcul::TFormCalcul(QWidget* parent) : TNoxForm(parent), logic_(forms::Beep) {
  setObjectName(QStringLiteral("FormCalcul"));
  setWindowTitle(QStringLiteral("Kalkulators"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

  auto* menuBar = new QMenuBar(this);
  menuBar->setObjectName(QStringLiteral("MainMenu"));  // named, so that its items are translated
  QMenu* fileMenu = menuBar->addMenu(QStringLiteral("&Fails"));
  fileMenu->setObjectName(QStringLiteral("MenuFile"));
  MenuTransfer_ =
      AddMenuItem(*fileMenu, "MenuTransfer", QStringLiteral("Pārnest laukumā       Ins"));
  fileMenu->addSeparator();
  QAction* exit =
      AddMenuItem(*fileMenu, "MenuExit", QStringLiteral("Iziet                        Alt-F4"));
  QMenu* editMenu = menuBar->addMenu(QStringLiteral("&Rediģēt"));
  editMenu->setObjectName(QStringLiteral("MenuEdit"));
  QAction* copy = AddMenuItem(*editMenu, "MenuCopy", QStringLiteral("Kopēt     Ctrl-C"));
  QAction* paste = AddMenuItem(*editMenu, "MenuPaste", QStringLiteral("Ielikt       Ctrl-V"));
  // Help is not offered: the menu and its items are shown unavailable.
  QMenu* helpMenu = menuBar->addMenu(QStringLiteral("Palīdzība"));
  helpMenu->setObjectName(QStringLiteral("MenuHelp"));
  AddMenuItem(*helpMenu, "MenuHelpContents", QStringLiteral("Palīdzība"))->setEnabled(false);
  helpMenu->addSeparator()->setEnabled(false);
  AddMenuItem(*helpMenu, "MenuAbout", QStringLiteral("Par kalkulātoru"))->setEnabled(false);
  helpMenu->setEnabled(false);

  LblB_ = MakeDisplay(this, "LblB", 12);
  ImgZn_ = forms::MakeLabel(this, "ImgZn");
  ImgZn_->setFixedSize(kPictureWidth, kPictureHeight);
  LblDisp_ = MakeDisplay(this, "LblDisp", 20);
  LblDisp_->setMinimumHeight(34);

  MemoryBox_ = new QGroupBox(QStringLiteral("Atmiņa"), this);
  MemoryBox_->setObjectName(QStringLiteral("MemoryBox"));
  // Holds the group's caption for the translation (system texts), which replaces the caption
  // at creation.
  LblMemText_ = forms::MakeLabel(this, "LblMemText", QStringLiteral("Atmiņa"));
  LblMemText_->setProperty("LoadAs", QStringLiteral("AsSystem"));
  LblMemText_->hide();
  LblMem_ = MakeDisplay(MemoryBox_, "LblMem", 12);
  auto* memoryLayout = new QHBoxLayout(MemoryBox_);
  memoryLayout->addWidget(LblMem_, 1);
  struct MemoryKey {
    const char* name;
    const char* caption;
    const char* hint;
    CalcCommand command;
  };
  const MemoryKey memoryKeys[] = {
      {"BtnMC", "MC", "Attīrīt atmiņu [C]", CalcCommand::MemoryClear},
      {"BtnMR", "MR", "Lasīt atmiņu [R]", CalcCommand::MemoryRecall},
      {"BtnMS", "MS", "Ievietot atmiņā [S]", CalcCommand::MemoryStore},
      {"BtnMPlus", "M+", "Pielikt atmiņai [M]", CalcCommand::MemoryAdd},
  };
  for (const MemoryKey& key : memoryKeys) {
    QPushButton* button = AddButton(key.name, key.command);
    button->setText(QString::fromLatin1(key.caption));
    button->setToolTip(QString::fromUtf8(key.hint));
    memoryLayout->addWidget(button);
  }

  BtnCopy_ = forms::MakeButton(this, "BtnCopy", QString(),
                               QStringLiteral("Pārvietot rezultātu formā [Ins]"));
  BtnCopy_->setIcon(QPixmap::fromImage(TransferPicture()));
  BtnCopy_->setIconSize(QSize(kPictureWidth, kPictureHeight));
  BtnCopy_->setFixedSize(kButtonWidth, kButtonHeight);
  QPushButton* back = AddButton("BtnBack", CalcCommand::Back);
  back->setToolTip(QStringLiteral("Izdzēst simbolu"));
  QPushButton* clearEntry = AddButton("BtnCE", CalcCommand::ClearEntry);
  clearEntry->setText(QStringLiteral("CE"));
  clearEntry->setToolTip(QStringLiteral("Izdzēst skaitli [Del]"));
  QPushButton* clearAll = AddButton("BtnC", CalcCommand::ClearAll);
  clearAll->setText(QStringLiteral("C"));
  clearAll->setToolTip(QStringLiteral("Izdzēst darbību [Esc]"));
  auto* editRow = new QHBoxLayout;
  editRow->addWidget(BtnCopy_);
  editRow->addStretch();
  editRow->addWidget(back);
  editRow->addWidget(clearEntry);
  editRow->addWidget(clearAll);

  struct Key {
    const char* name;
    CalcCommand command;
  };
  // The keypad, row by row.
  const Key keypad[4][5] = {
      {{"Btn7", CalcCommand::Digit7},
       {"Btn8", CalcCommand::Digit8},
       {"Btn9", CalcCommand::Digit9},
       {"BtnDiv", CalcCommand::Divide},
       {"BtnSqrt", CalcCommand::SquareRoot}},
      {{"Btn4", CalcCommand::Digit4},
       {"Btn5", CalcCommand::Digit5},
       {"Btn6", CalcCommand::Digit6},
       {"BtnMult", CalcCommand::Multiply},
       {"BtnPercent", CalcCommand::Percent}},
      {{"Btn1", CalcCommand::Digit1},
       {"Btn2", CalcCommand::Digit2},
       {"Btn3", CalcCommand::Digit3},
       {"BtnMinus", CalcCommand::Minus},
       {"BtnInv", CalcCommand::Inverse}},
      {{"Btn0", CalcCommand::Digit0},
       {"BtnSign", CalcCommand::Sign},
       {"BtnPoint", CalcCommand::Point},
       {"BtnPlus", CalcCommand::Plus},
       {"BtnEqual", CalcCommand::Equals}},
  };
  auto* keys = new QGridLayout;
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 5; ++column) {
      const Key& key = keypad[row][column];
      keys->addWidget(AddButton(key.name, key.command), row, column);
    }
  }

  auto* displayRow = new QHBoxLayout;
  displayRow->addWidget(LblB_, 1);
  displayRow->addWidget(ImgZn_);
  auto* layout = new QVBoxLayout(this);
  layout->setMenuBar(menuBar);
  layout->addLayout(displayRow);
  layout->addWidget(LblDisp_);
  layout->addWidget(MemoryBox_);
  layout->addLayout(editRow);
  layout->addLayout(keys);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(BtnCopy_, &QPushButton::clicked, this, &QDialog::accept);
  connect(MenuTransfer_, &QAction::triggered, BtnCopy_, &QPushButton::click);
  connect(exit, &QAction::triggered, this, &QDialog::reject);
  connect(copy, &QAction::triggered, this, &TFormCalcul::CopyClick);
  connect(paste, &QAction::triggered, this, &TFormCalcul::PasteClick);
  Refresh();
}

QPushButton* TFormCalcul::AddButton(const char* name, CalcCommand command) {
  QPushButton* button = forms::MakeButton(this, name, QString());
  const QImage picture = CommandPicture(command);
  if (!picture.isNull()) {
    button->setIcon(QPixmap::fromImage(picture));
    button->setIconSize(picture.size());
  }
  button->setFixedSize(kButtonWidth, kButtonHeight);
  buttons_[static_cast<std::size_t>(command)] = button;
  connect(button, &QPushButton::clicked, this, [this, command] { Run(command); });
  return button;
}

void TFormCalcul::Begin(std::string_view display, bool canTransfer) {
  logic_.SetCanTransfer(canTransfer);
  logic_.Start(display);
  Refresh();
}

void TFormCalcul::FormCreate() {
  TNoxForm::FormCreate();
  MemoryBox_->setTitle(LblMemText_->text());
  buttons_[static_cast<std::size_t>(CalcCommand::Equals)]->setFocus();
}

void TFormCalcul::FormShow() {
  TNoxForm::FormShow();
  Refresh();
  buttons_[static_cast<std::size_t>(CalcCommand::Equals)]->setFocus();
}

void TFormCalcul::Run(CalcCommand command) {
  forms::RunReported([&] { logic_.Execute(command); });
  Refresh();
  buttons_[static_cast<std::size_t>(CalcCommand::Equals)]->setFocus();
}

void TFormCalcul::CopyClick() {
  QApplication::clipboard()->setText(forms::FromDataText(logic_.Display()));
  buttons_[static_cast<std::size_t>(CalcCommand::Equals)]->setFocus();
}

void TFormCalcul::PasteClick() {
  // The display holds single-byte text: a character without a byte cannot be pasted.
  if (const std::optional<std::string> text =
          forms::ToDataText(QApplication::clipboard()->text())) {
    logic_.Paste(*text);
  } else {
    forms::Beep();
  }
  Refresh();
  buttons_[static_cast<std::size_t>(CalcCommand::Equals)]->setFocus();
}

void TFormCalcul::Refresh() {
  LblDisp_->setText(forms::FromDataText(logic_.Display()));
  LblB_->setText(forms::FromDataText(logic_.PrevOperand()));
  LblMem_->setText(forms::FromDataText(logic_.MemoryText()));
  const std::optional<CalcCommand> shown =
      logic_.ShownOperator().empty() ? std::nullopt : CommandForChar(logic_.ShownOperator()[0]);
  ImgZn_->setPixmap(shown ? QPixmap::fromImage(CommandPicture(*shown)) : QPixmap());
  buttons_[static_cast<std::size_t>(CalcCommand::SquareRoot)]->setEnabled(
      logic_.SquareRootAvailable());
  buttons_[static_cast<std::size_t>(CalcCommand::Inverse)]->setEnabled(logic_.InverseAvailable());
  BtnCopy_->setEnabled(logic_.CanTransfer());
  MenuTransfer_->setEnabled(logic_.CanTransfer());
}

QAbstractButton* TFormCalcul::ButtonForKey(int key, Qt::KeyboardModifiers shift) const {
  if ((shift & ~Qt::ShiftModifier) != Qt::NoModifier) return nullptr;
  const auto button = [this](CalcCommand command) {
    return buttons_[static_cast<std::size_t>(command)];
  };
  switch (key) {
    case Qt::Key_Backspace:
      return button(CalcCommand::Back);
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return button(CalcCommand::Equals);
    case Qt::Key_Escape:
      return button(CalcCommand::ClearAll);
    case Qt::Key_Delete:
      return button(CalcCommand::ClearEntry);
    case Qt::Key_Insert:
      return BtnCopy_;
    default:
      break;
  }
  // The keys of printable characters carry the character's code (letters in upper case).
  if (key < ' ' || key > '~') return nullptr;
  const std::optional<CalcCommand> command = CommandForChar(static_cast<char>(key));
  return command ? button(*command) : nullptr;
}

void TFormCalcul::KeyDown(int& key, Qt::KeyboardModifiers shift) {
  TNoxForm::KeyDown(key, shift);
  if (shift == Qt::ControlModifier && (key == Qt::Key_C || key == Qt::Key_V)) {
    if (key == Qt::Key_C) {
      CopyClick();
    } else {
      PasteClick();
    }
    key = 0;
    return;
  }
  QAbstractButton* button = ButtonForKey(key, shift);
  if (button == nullptr) return;
  key = 0;
  button->setFocus();
  if (button->isEnabled()) {
    button->click();
  } else {
    forms::Beep();
  }
}

}  // namespace nox::calc
