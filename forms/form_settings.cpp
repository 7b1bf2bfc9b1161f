#include "forms/form_settings.h"

#include <QCheckBox>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>

#include "forms/application.h"
#include "forms/form_services.h"
#include "forms/grad_caption.h"
#include "forms/modal.h"
#include "forms/text.h"
#include "tables/table.h"

namespace nox::forms {
namespace {

constexpr int kDescriptionWidth = 240;
constexpr int kFlagWidth = 90;
const QColor kHighlight = Qt::yellow;

QLabel* NamedLabel(const char* name, const QString& caption, QWidget* parent) {
  auto* label = new QLabel(caption, parent);
  label->setObjectName(QString::fromLatin1(name));
  return label;
}

bool HasLabelName(const std::string& names, const std::string& name) {
  std::string_view rest = names;
  while (!rest.empty()) {
    const std::size_t cut = rest.find(';');
    if (rest.substr(0, cut) == name) return true;
    if (cut == std::string_view::npos) break;
    rest.remove_prefix(cut + 1);
  }
  return false;
}

}  // namespace

TFormSettings::TFormSettings(QWidget* parent)
    : TNoxForm(parent),
      lblTxtFormName_(new QLabel(this)),
      ctrlGrid_(new QScrollArea(this)),
      gridRows_(new QWidget),
      btnClose_(new QPushButton(QStringLiteral("Close"), this)) {
  setObjectName(QStringLiteral("FormSettings"));
  setWindowTitle(QStringLiteral("FORMU IESTATĪŠANA"));
  setWindowFlag(Qt::Tool);
  setSizeGripEnabled(true);
  QFont design(QStringLiteral("Arial"));
  design.setPixelSize(12);
  design.setBold(true);
  setFont(design);

  auto* top = new QHBoxLayout;
  top->addWidget(NamedLabel("LblFormName", QStringLiteral("Forma"), this));
  lblTxtFormName_->setObjectName(QStringLiteral("LblTxtFormName"));
  QFont captionFont = design;
  captionFont.setPixelSize(16);
  lblTxtFormName_->setFont(captionFont);
  QPalette navy = lblTxtFormName_->palette();
  navy.setColor(QPalette::WindowText, QColor(0, 0, 128));
  lblTxtFormName_->setPalette(navy);
  top->addWidget(lblTxtFormName_, 1);

  auto* headers = new QHBoxLayout;
  headers->setContentsMargins(6, 0, 6, 0);
  const struct {
    const char* name;
    const char* caption;
    int width;
  } columns[] = {{"NoxLabel1", "Rādītājs", kDescriptionWidth},
                 {"LblVisible", "Redzams", kFlagWidth},
                 {"LblEnabled", "Pieejams", kFlagWidth},
                 {"LblRequired", "Obligāts", kFlagWidth},
                 {"LblConditions", "Nosacījumi", 0}};
  for (const auto& column : columns) {
    QLabel* header = NamedLabel(column.name, QString::fromUtf8(column.caption), this);
    if (column.width > 0) header->setFixedWidth(column.width);
    headers->addWidget(header, column.width > 0 ? 0 : 1);
  }

  ctrlGrid_->setObjectName(QStringLiteral("CtrlGrid"));
  ctrlGrid_->setWidgetResizable(true);
  ctrlGrid_->setFocusPolicy(Qt::StrongFocus);
  auto* rowsLayout = new QVBoxLayout(gridRows_);
  rowsLayout->setContentsMargins(0, 0, 0, 0);
  rowsLayout->setSpacing(0);
  rowsLayout->addStretch(1);
  ctrlGrid_->setWidget(gridRows_);

  btnClose_->setObjectName(QStringLiteral("BtnClose"));
  connect(btnClose_, &QPushButton::clicked, this, &QWidget::close);
  SetCancelButton(btnClose_);
  auto* bottom = new QHBoxLayout;
  bottom->addStretch(1);
  bottom->addWidget(btnClose_);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(headers);
  layout->addWidget(ctrlGrid_, 1);
  layout->addLayout(bottom);
  resize(700, 420);
}

void TFormSettings::FormShow() {
  TNoxForm::FormShow();
  if (target_ == nullptr) return;
  const auto* caption =
      target_->findChild<const TGradCaption*>(QString(), Qt::FindDirectChildrenOnly);
  lblTxtFormName_->setText(caption != nullptr && !caption->Caption().isEmpty()
                               ? caption->Caption()
                               : target_->windowTitle());
  highlighting_ = false;
  UndoHighlighting();
  LoadRows();
  AddFieldRows();
  AddLabelNames();
  BuildGrid();
  highlighting_ = true;
  current_ = -1;
  SetCurrentRow(rows_.empty() ? -1 : 0);
}

void TFormSettings::FormResize() {
  TNoxForm::FormResize();
  rowCount_ = ctrlGrid_->viewport()->height() / kRowHeight;
}

void TFormSettings::LoadRows() {
  rows_.clear();
  stored_.clear();
  tables::TTable table;
  EnsureFormSetTable(table, FormSetName(*target_));
  for (table.First(); !table.Eof(); table.Next()) {
    rows_.push_back(ReadFieldSetting(table));
    stored_.push_back(rows_.back());
  }
  table.Close();
}

void TFormSettings::AddFieldRows() {
  const std::string formName = FormSetName(*target_);
  for (QWidget* widget : target_->findChildren<QWidget*>()) {
    if (widget->window() != target_ || widget->isHidden() || widget->objectName().isEmpty() ||
        !IsEditControl(*widget)) {
      continue;
    }
    FieldSetting row;
    row.formName = formName;
    row.recv = FormSetName(*widget);
    const bool known = std::any_of(rows_.begin(), rows_.end(), [&](const FieldSetting& other) {
      return other.formCondition.empty() && other.recv == row.recv;
    });
    if (known) continue;
    row.recvDesc = row.recv;
    rows_.push_back(row);
    stored_.emplace_back();
  }
}

void TFormSettings::AddLabelNames() {
  for (const QLabel* label : target_->findChildren<const QLabel*>()) {
    const QWidget* buddy = label->buddy();
    if (label->window() != target_ || buddy == nullptr || label->objectName().isEmpty()) continue;
    const std::string recv = FormSetName(*buddy);
    const std::string name = FormSetName(*label);
    for (FieldSetting& row : rows_) {
      if (!row.formCondition.empty() || row.recv != recv) continue;
      if (row.recvLabel.empty()) {
        row.recvLabel = name;
        row.recvDesc = ToDataText(CaptionText(label->text())).value_or(row.recvDesc);
      } else if (row.recvLabel != name && !HasLabelName(row.recvLabels, name)) {
        row.recvLabels += name + ";";
      }
    }
  }
}

void TFormSettings::BuildGrid() {
  for (QFrame* panel : panels_)
    delete panel;
  panels_.clear();
  auto* rowsLayout = static_cast<QVBoxLayout*>(gridRows_->layout());
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const FieldSetting& row = rows_[i];
    auto* panel = new QFrame(gridRows_);
    panel->setFrameShape(QFrame::StyledPanel);
    panel->setFixedHeight(kRowHeight);
    panel->setAutoFillBackground(true);
    auto* cells = new QHBoxLayout(panel);
    cells->setContentsMargins(4, 0, 4, 0);
    QLabel* description = NamedLabel("TextRecvDesc", FromDataText(row.recvDesc), panel);
    description->setFixedWidth(kDescriptionWidth);
    cells->addWidget(description);
    const auto addFlag = [&](const char* name, bool FieldSetting::*flag) {
      auto* box = new QCheckBox(panel);
      box->setObjectName(QString::fromLatin1(name));
      box->setChecked(row.*flag);
      box->setFixedWidth(kFlagWidth);
      connect(box, &QCheckBox::toggled, this, [this, i, flag](bool on) { rows_[i].*flag = on; });
      cells->addWidget(box);
      return box;
    };
    QCheckBox* visible = addFlag("ChBVisible", &FieldSetting::visible);
    connect(visible, &QCheckBox::clicked, ctrlGrid_, [this] { ctrlGrid_->setFocus(); });
    addFlag("DBCheckBox2", &FieldSetting::enabled);
    addFlag("DBCheckBox3", &FieldSetting::required);
    auto* condition = new QLineEdit(FromDataText(row.condition), panel);
    condition->setObjectName(QStringLiteral("NoxDBEdit1"));
    condition->setEnabled(false);
    QPalette grey = condition->palette();
    grey.setColor(QPalette::Base, Qt::lightGray);
    condition->setPalette(grey);
    cells->addWidget(condition, 1);
    panel->setProperty("settingsRow", static_cast<int>(i));
    rowsLayout->insertWidget(static_cast<int>(i), panel);
    panels_.push_back(panel);
  }
}

void TFormSettings::SetCurrentRow(int row) {
  if (row == current_ || row >= static_cast<int>(rows_.size())) return;
  current_ = row;
  for (std::size_t i = 0; i < panels_.size(); ++i) {
    panels_[i]->setBackgroundRole(static_cast<int>(i) == row ? QPalette::Highlight
                                                             : QPalette::Window);
  }
  if (row < 0) return;
  ctrlGrid_->ensureWidgetVisible(RowPanel(row));
  if (highlighting_) Highlight(row);
}

void TFormSettings::Highlight(int row) {
  UndoHighlighting();
  if (target_ == nullptr) return;
  highlightedRow_ = row;
  const FieldSetting& setting = rows_[static_cast<std::size_t>(row)];
  const auto paint = [](Painted& painted, QWidget* widget, QPalette::ColorRole role) {
    painted = {widget, widget->palette(), widget->testAttribute(Qt::WA_SetPalette)};
    QPalette yellow = widget->palette();
    yellow.setColor(role, kHighlight);
    widget->setPalette(yellow);
  };
  if (QWidget* control = FindComponent(*target_, setting.recv);
      control != nullptr && IsEditControl(*control)) {
    control->setVisible(true);
    paint(control_, control, QPalette::Base);
  }
  if (QWidget* label = FindComponent(*target_, setting.recvLabel)) {
    label->setEnabled(true);
    label->setVisible(true);
    paint(label_, label, QPalette::WindowText);
  }
}

void TFormSettings::UndoHighlighting() {
  if (highlightedRow_ < 0) return;
  // The flags as the user has just chosen them.
  const FieldSetting& setting = rows_[static_cast<std::size_t>(highlightedRow_)];
  highlightedRow_ = -1;
  for (Painted* painted : {&label_, &control_}) {
    if (painted->widget == nullptr) continue;
    painted->widget->setPalette(painted->ownPalette ? painted->palette : QPalette());
    painted->widget->setVisible(setting.visible);
    painted->widget->setEnabled(setting.enabled);
    *painted = {};
  }
}

void TFormSettings::SaveRows() {
  const std::string formName = FormSetName(*target_);
  tables::TTable table;
  EnsureFormSetTable(table, formName);
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const FieldSetting& row = rows_[i];
    // A stored row set back to the defaults is written too, so that it goes below.
    if (stored_[i] ? *stored_[i] == row : row.ChangesNothing()) continue;
    using tables::Value;
    if (table.FindKey(
            {Value::Text(row.formName), Value::Text(row.formCondition), Value::Text(row.recv)})) {
      table.Edit();
    } else {
      table.Append();
    }
    WriteFieldSetting(table, row);
    table.Post();
  }
  // The rows that change nothing go, so that FormSet.db holds only deviations.
  for (table.First(); !table.Eof();) {
    if (ReadFieldSetting(table).ChangesNothing()) {
      table.Delete();
    } else {
      table.Next();
    }
  }
  table.Close();
}

void TFormSettings::FormClose(CloseAction& action) {
  TNoxForm::FormClose(action);
  if (action == CloseAction::caNone || target_ == nullptr) return;
  highlighting_ = false;
  RunReported([this] { SaveRows(); });
  UndoHighlighting();
  highlighting_ = true;
  RunReported([this] { forms::ApplyFieldSettings(*target_); });
}

void TFormSettings::KeyDown(int& key, Qt::KeyboardModifiers shift) {
  TNoxForm::KeyDown(key, shift);
  const QWidget* focused = focusWidget();
  const bool inGrid =
      focused != nullptr && (focused == ctrlGrid_ || gridRows_->isAncestorOf(focused));
  if (!inGrid || shift != Qt::NoModifier || (key != Qt::Key_Up && key != Qt::Key_Down)) return;
  const int row =
      std::clamp(current_ + (key == Qt::Key_Down ? 1 : -1), 0, static_cast<int>(rows_.size()) - 1);
  SetCurrentRow(row);
  if (row >= 0) RowPanel(row)->findChild<QCheckBox*>(QStringLiteral("ChBVisible"))->setFocus();
  key = 0;
}

bool TFormSettings::eventFilter(QObject* watched, QEvent* event) {
  // A click or the focus anywhere in a row makes it the current one.
  if ((event->type() == QEvent::MouseButtonPress || event->type() == QEvent::FocusIn) &&
      watched->isWidgetType()) {
    for (auto* widget = static_cast<QWidget*>(watched); widget != nullptr && widget != gridRows_;
         widget = widget->parentWidget()) {
      if (widget->parentWidget() == gridRows_) {
        const QVariant row = widget->property("settingsRow");
        if (row.isValid()) SetCurrentRow(row.toInt());
        break;
      }
    }
  }
  return TNoxForm::eventFilter(watched, event);
}

void OpenFieldSettings(TNoxForm& target) {
  auto editor = CreateForm<TFormSettings>(&target);
  editor->SetTarget(&target);
  RunModal(*editor);
}

void InstallFieldSettingsEditor() {
  InstalledServices().editFieldSettings = [](TNoxForm& form) { OpenFieldSettings(form); };
}

}  // namespace nox::forms
