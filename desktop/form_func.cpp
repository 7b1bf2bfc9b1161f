#include "desktop/form_func.h"

#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStringList>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <functional>
#include <optional>
#include <stdexcept>
#include <utility>

#include "convert/workspace.h"
#include "desktop/form_memo.h"
#include "forms/application.h"
#include "forms/controls.h"
#include "forms/modal.h"
#include "forms/text.h"
#include "formula/formula.h"

namespace nox::forms {
namespace {

// The operators and function templates offered for insertion. The argument slots only show where
// arguments go; they need not match the functions' signatures.
// clang-format off
constexpr std::array<const char*, 45> kFunctionItems = {
    "+", "\"\"", ">", "<", "<=", ">=", "<>", "#", "=", "!", "-",
    "AfterAtNum( , , , )", "AllTrim()", "AtNum( , , , )", "AtToKen( , , )",
    "BeforAtNum( , , , )", "LTrim()", "NumAt( , , )", "PadL( , , )", "PadR( , , )",
    "PadC( , , )", "Replicate( , )", "Right( , )", "RTrim()", "Left( , )", "Space()",
    "StrTran( , , , , )", "Stuff( , , , )", "Token( , , )", "SubStr( , , )", "Pos( , )",
    "Str( , , , )", "Val( , , , )", "Date()", "DTOC( )", "CTOD( )", "Year( )", "Month( )",
    "Day( )", "YearStr( )", "MonthStr( )", "DayStr( )", "Not( )", "If( , , )", "In( , )"};
// clang-format on

// Both lists show their items in alphabetical order without regard to case.
void FillSorted(QListWidget& list, QStringList items) {
  std::stable_sort(items.begin(), items.end(), [](const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
  });
  list.clear();
  list.addItems(items);
}

// Calls back when the watched control loses the focus.
class FocusOutWatcher : public QObject {
 public:
  FocusOutWatcher(QWidget& watched, std::function<void()> onFocusOut)
      : QObject(&watched), onFocusOut_(std::move(onFocusOut)) {
    watched.installEventFilter(this);
  }

  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    if (event->type() == QEvent::FocusOut) onFocusOut_();
    return false;
  }

 private:
  std::function<void()> onFocusOut_;
};

QListWidget* MakeList(QWidget* parent, const char* name) {
  auto* list = new QListWidget(parent);
  list->setObjectName(QString::fromLatin1(name));
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  return list;
}

QGroupBox* MakeGroup(QWidget* parent, const char* name, const QString& title) {
  auto* group = new QGroupBox(title, parent);
  group->setObjectName(QString::fromLatin1(name));
  return group;
}

}  // namespace

std::string FormulaText(const QLineEdit& edit) {
  const QString text = edit.text();
  if (std::optional<std::string> bytes = ToDataText(text)) return *std::move(bytes);
  for (const uint code : text.toUcs4()) {
    const char32_t character = code;
    if (ToDataText(QString::fromUcs4(&character, 1))) continue;
    std::string message("The formula holds the character U+");
    message.append(QString::number(code, 16).toUpper().rightJustified(4, u'0').toStdString())
        .append(", which the Windows-1257 code page has no byte for.");
    throw std::runtime_error(message);
  }
  throw std::runtime_error("The formula cannot be written in the Windows-1257 code page.");
}

TFormFunc::TFormFunc(convert::Workspace& workspace, formula::NamedWindow* mainWindow,
                     QWidget* parent)
    : TNoxForm(parent), workspace_(workspace), mainWindow_(mainWindow) {
  setObjectName(QStringLiteral("FormFunc"));
  setWindowTitle(QStringLiteral("Convertation function"));
  // A fixed-size dialog with the system menu and nothing else in its title bar.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                 Qt::MSWindowsFixedSizeDialogHint);
  BuildControls();
}

void TFormFunc::BuildControls() {
  auto* targetGroup = MakeGroup(this, "GBTField", QStringLiteral(" Target field "));
  LblTField_ = new QLabel(targetGroup);
  LblTField_->setObjectName(QStringLiteral("LblTField"));
  (new QVBoxLayout(targetGroup))->addWidget(LblTField_);

  auto* functionGroup = MakeGroup(this, "GBFunc", QStringLiteral("Convertation function"));
  EditFunc_ = new QLineEdit(functionGroup);
  EditFunc_->setObjectName(QStringLiteral("EditFunc"));
  EditFunc_->setMinimumWidth(420);
  GuardCodePage(*EditFunc_);
  (new QVBoxLayout(functionGroup))->addWidget(EditFunc_);
  new FocusOutWatcher(*EditFunc_, [this] { rememberedCaret_ = EditFunc_->cursorPosition(); });

  auto* sourceGroup = MakeGroup(this, "GBSFields", QStringLiteral(" Source Fields "));
  LBSFields_ = MakeList(sourceGroup, "LBSFields");
  BtnInsField_ = MakeButton(sourceGroup, "BtnInsField", QStringLiteral("Insert"));
  auto* sourceLayout = new QVBoxLayout(sourceGroup);
  sourceLayout->addWidget(LBSFields_);
  sourceLayout->addWidget(BtnInsField_);

  auto* listGroup = MakeGroup(this, "GBFunctions", QStringLiteral("Function list"));
  LBFunctions_ = MakeList(listGroup, "LBFunctions");
  BtnInsFunc_ = MakeButton(listGroup, "BtnInsFunc", QStringLiteral("Insert"));
  auto* listLayout = new QVBoxLayout(listGroup);
  listLayout->addWidget(LBFunctions_);
  listLayout->addWidget(BtnInsFunc_);

  BBOk_ = MakeButton(this, "BBOk", QStringLiteral("OK"));
  BBCancel_ = MakeButton(this, "BBCancel", QStringLiteral("Cancel"));
  BBTool_ = MakeButton(this, "BBTool", QStringLiteral("Wizard"));
  BBOk_->setDefault(true);
  SetCancelButton(BBCancel_);
  Describe(*LblTField_, QString(), QStringLiteral("The target field whose formula is edited"));
  Describe(*EditFunc_, QStringLiteral("Convertation function"),
           QStringLiteral("The formula of the target field"));
  Describe(*LBSFields_, QStringLiteral("Source Fields"),
           QStringLiteral("Source field names to insert into the formula"));
  Describe(*BtnInsField_, QStringLiteral("Insert field"),
           QStringLiteral("Inserts the selected field name at the caret"));
  Describe(*LBFunctions_, QStringLiteral("Function list"),
           QStringLiteral("Operators and function templates to insert into the formula"));
  Describe(*BtnInsFunc_, QStringLiteral("Insert function"),
           QStringLiteral("Inserts the selected operator or function at the caret"));
  Describe(*BBOk_, QString(), QStringLiteral("Tests the formula and accepts it"));
  Describe(*BBCancel_, QString(), QStringLiteral("Closes the editor without changes"));
  Describe(*BBTool_, QString(), QStringLiteral("Opens the formula wizard"));

  auto* lists = new QHBoxLayout;
  lists->addWidget(sourceGroup);
  lists->addWidget(listGroup);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(BBOk_);
  buttons->addWidget(BBCancel_);
  buttons->addWidget(BBTool_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(targetGroup);
  layout->addWidget(functionGroup);
  layout->addLayout(lists);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  for (auto [list, insert] :
       {std::pair{LBSFields_, BtnInsField_}, std::pair{LBFunctions_, BtnInsFunc_}}) {
    connect(list, &QListWidget::itemSelectionChanged, insert,
            [list, insert] { insert->setEnabled(!list->selectedItems().isEmpty()); });
  }
  connect(LBSFields_, &QListWidget::itemDoubleClicked, this, [this] { BtnInsFieldClick(); });
  connect(LBFunctions_, &QListWidget::itemDoubleClicked, this, [this] { BtnInsFuncClick(); });
  connect(BtnInsField_, &QPushButton::clicked, this, [this] { BtnInsFieldClick(); });
  connect(BtnInsFunc_, &QPushButton::clicked, this, [this] { BtnInsFuncClick(); });
  connect(BBOk_, &QPushButton::clicked, this, [this] { BBOkClick(); });
  connect(BBCancel_, &QPushButton::clicked, this, [this] { reject(); });
  connect(BBTool_, &QPushButton::clicked, this, [this] { BBToolClick(); });
}

// Filled at creation rather than at show, so that a dialog answered without being shown offers
// the same as a shown one; the editor is created for each use.
void TFormFunc::FormCreate() {
  TNoxForm::FormCreate();
  BtnInsField_->setEnabled(false);
  BtnInsFunc_->setEnabled(false);

  const convert::FieldList& targets = workspace_.SGTarget;
  const bool targetSelected =
      targets.selected >= 0 && targets.selected < static_cast<int>(targets.rows.size());
  LblTField_->setText(
      targetSelected ? FromDataText(targets.rows[static_cast<std::size_t>(targets.selected)].name)
                     : QString());

  const std::string& display = workspace_.EditFunc.text;
  SetFormula(display == convert::kDefaultFormula ? std::string() : display);

  QStringList sourceNames;
  for (const convert::FieldRow& row : workspace_.SGSource.rows)
    sourceNames << FromDataText(row.name);
  FillSorted(*LBSFields_, sourceNames);
  QStringList functionItems;
  for (const char* item : kFunctionItems)
    functionItems << QString::fromLatin1(item);
  FillSorted(*LBFunctions_, functionItems);
}

void TFormFunc::FormShow() {
  TNoxForm::FormShow();
  EditFunc_->setFocus();
}

std::string TFormFunc::Formula() const {
  return FormulaText(*EditFunc_);
}

void TFormFunc::SetFormula(const std::string& text) {
  EditFunc_->setText(FromDataText(text));
  rememberedCaret_ = EditFunc_->cursorPosition();
}

void TFormFunc::BtnInsFieldClick() {
  InsertFrom(*LBSFields_, *BtnInsField_);
}

void TFormFunc::BtnInsFuncClick() {
  InsertFrom(*LBFunctions_, *BtnInsFunc_);
}

void TFormFunc::InsertFrom(QListWidget& list, QPushButton& insertButton) {
  const QList<QListWidgetItem*> selected = list.selectedItems();
  if (selected.isEmpty()) return;
  const QString item = selected.front()->text();
  QString text = EditFunc_->text();
  // The one position serves as insertion point and as base of the new caret, so the caret always
  // ends right after the inserted item.
  const int at = std::clamp(rememberedCaret_, 0, static_cast<int>(text.size()));
  text.insert(at, item);
  EditFunc_->setText(text);
  rememberedCaret_ = at + static_cast<int>(item.size());
  EditFunc_->setCursorPosition(rememberedCaret_);
  list.clearSelection();
  insertButton.setEnabled(false);
  EditFunc_->setFocus();
}

void TFormFunc::BBOkClick() {
  formula::FormulaValue value;
  try {
    value = formula::EvaluateFormula(Formula(), &workspace_.TableSource, mainWindow_);
  } catch (...) {
    // A formula whose test fails is not accepted: the error is shown and the editor stays open.
    ReportCurrentException();
    return;
  }
  // The calculator has already shown why the formula cannot be reduced.
  if (value == formula::kFormulaError) return;
  accept();
}

void TFormFunc::BBToolClick() {
  workspace_.DialogContext = "VIZARD";
  FormPtr<TFormMemo> wizard = CreateForm<TFormMemo>(workspace_, mainWindow_, this, this);
  RunModal(*wizard);
}

}  // namespace nox::forms
