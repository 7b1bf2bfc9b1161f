#include "desktop/form_memo.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "convert/workspace.h"
#include "desktop/form_func.h"
#include "forms/application.h"
#include "forms/controls.h"
#include "forms/text.h"
#include "formula/tags.h"

namespace nox::forms {
namespace {

constexpr std::string_view kFromEditor = "VIZARD";

QListWidget* MakeList(QWidget* parent, const char* name) {
  auto* list = new QListWidget(parent);
  list->setObjectName(QString::fromLatin1(name));
  return list;
}

}  // namespace

TFormMemo::TFormMemo(convert::Workspace& workspace, formula::NamedWindow* mainWindow,
                     TFormFunc* editor, QWidget* parent)
    : TNoxForm(parent), workspace_(workspace), mainWindow_(mainWindow), editor_(editor) {
  setObjectName(QStringLiteral("FormMemo"));
  setWindowTitle(QStringLiteral("Formula Wizard"));
  setSizeGripEnabled(true);
  BuildControls();
}

void TFormMemo::BuildControls() {
  Edit_ = new QLineEdit(this);
  Edit_->setObjectName(QStringLiteral("Edit"));
  GuardCodePage(*Edit_);
  Button_ = MakeButton(this, "Button", QStringLiteral("Translate"));
  LBaStr_ = MakeList(this, "LBaStr");
  LBaTip_ = MakeList(this, "LBaTip");
  BtnCalc_ = MakeButton(this, "BtnCalc", QStringLiteral("Calculate"));
  BtnTransCalc_ = MakeButton(this, "BtnTransCalc", QStringLiteral("TransCalc"));
  Label1_ = new QLabel(QStringLiteral("Result"), this);
  Label1_->setObjectName(QStringLiteral("Label1"));
  EditRez_ = new QLineEdit(this);
  EditRez_->setObjectName(QStringLiteral("EditRez"));
  EditRez_->setReadOnly(true);
  Label1_->setBuddy(EditRez_);
  BBApply_ = MakeButton(this, "BBApply", QStringLiteral("Apply"));
  BitBtn1_ = MakeButton(this, "BitBtn1", QStringLiteral("&Close"));
  // Enter translates: the wizard is a test bench, and handing the formula back is a deliberate
  // step of its own.
  Button_->setDefault(true);
  // Escape closes the wizard as Close does.
  SetCancelButton(BitBtn1_);
  Describe(*Edit_, QStringLiteral("Formula"), QStringLiteral("The formula under test"));
  Describe(*Button_, QString(), QStringLiteral("Shows the formula's token and type lists"));
  Describe(*LBaStr_, QStringLiteral("Tokens"), QStringLiteral("The formula's token list"));
  Describe(*LBaTip_, QStringLiteral("Types"), QStringLiteral("The type of each token"));
  Describe(*BtnCalc_, QString(), QStringLiteral("Calculates the lists shown"));
  Describe(*BtnTransCalc_, QString(), QStringLiteral("Shows the value of the formula"));
  Describe(*EditRez_, QString(), QStringLiteral("The value of the formula"));
  Describe(*BBApply_, QString(), QStringLiteral("Hands the formula to the formula editor"));
  Describe(*BitBtn1_, QString(), QStringLiteral("Closes the wizard"));

  auto* formulaRow = new QHBoxLayout;
  formulaRow->addWidget(Edit_, 1);
  formulaRow->addWidget(Button_);
  auto* listsRow = new QHBoxLayout;
  listsRow->addWidget(LBaStr_, 2);
  listsRow->addWidget(LBaTip_, 1);
  auto* calculateRow = new QHBoxLayout;
  calculateRow->addWidget(BtnCalc_);
  calculateRow->addWidget(BtnTransCalc_);
  calculateRow->addStretch();
  auto* resultRow = new QHBoxLayout;
  resultRow->addWidget(Label1_);
  resultRow->addWidget(EditRez_, 1);
  auto* buttonRow = new QHBoxLayout;
  buttonRow->addStretch();
  buttonRow->addWidget(BBApply_);
  buttonRow->addWidget(BitBtn1_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(formulaRow);
  layout->addLayout(listsRow, 1);
  layout->addLayout(calculateRow);
  layout->addLayout(resultRow);
  layout->addLayout(buttonRow);
  resize(520, 420);

  // The type of each token stays beside it while either list scrolls.
  connect(LBaStr_->verticalScrollBar(), &QScrollBar::valueChanged, LBaTip_->verticalScrollBar(),
          &QScrollBar::setValue);
  connect(LBaTip_->verticalScrollBar(), &QScrollBar::valueChanged, LBaStr_->verticalScrollBar(),
          &QScrollBar::setValue);

  connect(Button_, &QPushButton::clicked, this, [this] { ButtonClick(); });
  connect(BtnCalc_, &QPushButton::clicked, this, [this] { BtnCalcClick(); });
  connect(BtnTransCalc_, &QPushButton::clicked, this, [this] { BtnTransCalcClick(); });
  connect(BBApply_, &QPushButton::clicked, this, [this] { BBApplyClick(); });
  connect(BitBtn1_, &QPushButton::clicked, this, [this] { accept(); });
}

// The mark is taken once, when the wizard is created for one call: a later activation of the same
// window (after switching to another program) must not take Apply away.
void TFormMemo::FormCreate() {
  TNoxForm::FormCreate();
  BBApply_->setEnabled(false);
  if (workspace_.DialogContext != kFromEditor) return;
  workspace_.DialogContext.clear();
  if (editor_ == nullptr) return;
  Edit_->setText(FromDataText(editor_->Formula()));
  BBApply_->setEnabled(true);
}

void TFormMemo::ShowLists(const formula::TokenList& tokens, const formula::TypeList& types) {
  shownTokens_ = tokens;
  shownTypes_ = types;
  LBaStr_->clear();
  for (const std::string& token : shownTokens_)
    LBaStr_->addItem(FromDataText(token));
  LBaTip_->clear();
  for (const formula::Tag tag : shownTypes_)
    LBaTip_->addItem(FromDataText(formula::TagText(tag)));
}

void TFormMemo::ButtonClick() {
  RunReported([this] {
    formula::TokenList tokens;
    formula::TypeList types;
    formula::TranslateFormula(FormulaText(*Edit_), tokens, types);
    ShowLists(tokens, types);
  });
}

void TFormMemo::BtnCalcClick() {
  RunReported([this] {
    // The calculator leaves the lists it is given alone and reduces its own copies.
    formula::CalculateFormula(shownTokens_, shownTypes_, &workspace_.TableSource, mainWindow_);
    ShowLists(formula::WorkTokens(), formula::WorkTypes());
  });
}

void TFormMemo::BtnTransCalcClick() {
  // A value left from an earlier formula must not stand beside this one when it fails.
  EditRez_->clear();
  RunReported([this] {
    EditRez_->setText(FromDataText(
        formula::EvaluateFormula(FormulaText(*Edit_), &workspace_.TableSource, mainWindow_)));
  });
}

void TFormMemo::BBApplyClick() {
  if (editor_ == nullptr || !BBApply_->isEnabled()) return;
  RunReported([this] {
    editor_->SetFormula(FormulaText(*Edit_));
    accept();
  });
}

}  // namespace nox::forms
