#include "controls/db_combo_box.h"

#include <QAbstractItemView>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>

#include "controls/data_source.h"
#include "controls/leaving.h"
#include "forms/application.h"
#include "forms/fonts.h"
#include "forms/message_box.h"
#include "forms/text.h"
#include "tables/storage.h"

namespace nox::controls {

TNoxDBNComboBox::TNoxDBNComboBox(QWidget* parent)
    : QComboBox(parent), link_(new TNoxFieldDataLink(this)), listFile_(new TListFile(*this)) {
  SetStyle(TComboBoxStyle::csDropDown);
  setInsertPolicy(QComboBox::NoInsert);
  view()->installEventFilter(this);
  connect(link_, &TNoxFieldDataLink::DataChanged, this, &TNoxDBNComboBox::ShowField);
  connect(this, &QComboBox::activated, this, [this] { Changed(); });
  link_->SetOnUpdateData([this] {
    const std::optional<std::string> bytes =
        forms::ToDataText(currentText(), forms::ControlCodePage(*this));
    if (!bytes) throw tables::TableError("The text holds a character its field cannot store");
    link_->WriteText(*bytes);
  });
}

TNoxDBNComboBox::~TNoxDBNComboBox() = default;

TNoxDataSource* TNoxDBNComboBox::DataSource() const {
  return link_->DataSource();
}

void TNoxDBNComboBox::SetDataSource(TNoxDataSource* source) {
  link_->SetDataSource(source);
  ShowField();
}

const std::string& TNoxDBNComboBox::DataField() const {
  return link_->FieldName();
}

void TNoxDBNComboBox::SetDataField(std::string name) {
  link_->SetFieldName(std::move(name));
  ShowField();
}

void TNoxDBNComboBox::SetStyle(TComboBoxStyle style) {
  style_ = style;
  const bool editable = style != TComboBoxStyle::csDropDownList;
  if (editable == isEditable()) return;
  setEditable(editable);
  if (QLineEdit* edit = lineEdit()) {
    forms::GuardCodePage(*edit);
    edit->installEventFilter(this);
    connect(edit, &QLineEdit::textEdited, this, [this] { Changed(); });
  }
}

void TNoxDBNComboBox::SetHeightUserDef(int height) {
  heightUserDef_ = height;
  if (height > 0) {
    setFixedHeight(height);
  } else {
    setMinimumHeight(0);
    setMaximumHeight(QWIDGETSIZE_MAX);
  }
}

void TNoxDBNComboBox::SetCharSetStyle(TCharSetStyle style) {
  charSetStyle_ = style;
  update();
}

void TNoxDBNComboBox::Loaded() {
  if (style_ == TComboBoxStyle::csOwnerDrawFixed || style_ == TComboBoxStyle::csOwnerDrawVariable) {
    forms::NoxMessageBox(window()->windowTitle(), listFile_->Message(kCBStylePropertyError),
                         static_cast<int>(forms::SoobchenIcon::Warning),
                         forms::kSoobchenFirstButton, forms::kSoobchenOk);
  }
  listFile_->Load(link_->DataSource() != nullptr ? link_->DataSource()->DataSet() : nullptr);
}

QStringList TNoxDBNComboBox::HostItems() const {
  QStringList items;
  for (int row = 0; row < count(); ++row)
    items.append(itemText(row));
  return items;
}

void TNoxDBNComboBox::SetHostItems(const QStringList& items) {
  const QString text = currentText();
  showing_ = true;
  clear();
  addItems(items);
  showing_ = false;
  // The field's value, or the user's own change to it, stays shown.
  if (link_->Active() && !link_->IsModified()) {
    ShowField();
    return;
  }
  showing_ = true;
  setCurrentIndex(findText(text));
  if (isEditable()) setEditText(text);
  showing_ = false;
}

void TNoxDBNComboBox::ShowField() {
  showing_ = true;
  const QString text = forms::FromDataText(link_->Text(), forms::ControlCodePage(*this));
  setCurrentIndex(findText(text));
  if (isEditable()) setEditText(text);
  showing_ = false;
}

void TNoxDBNComboBox::Changed() {
  if (showing_ || !link_->Active()) return;
  if (!link_->Edit()) {
    ShowField();
    return;
  }
  link_->Modified();
}

bool TNoxDBNComboBox::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    lastKey_ = static_cast<QKeyEvent*>(event)->key();
  } else if (event->type() == QEvent::ContextMenu && watched == lineEdit()) {
    if (listFile_->OpenPopupMenu()) return true;
  }
  return QComboBox::eventFilter(watched, event);
}

void TNoxDBNComboBox::keyPressEvent(QKeyEvent* event) {
  lastKey_ = event->key();
  if (event->key() == Qt::Key_Escape && link_->IsModified()) {
    link_->Reset();
    return;
  }
  QComboBox::keyPressEvent(event);
}

void TNoxDBNComboBox::focusOutEvent(QFocusEvent* event) {
  QComboBox::focusOutEvent(event);
  if (!LeavesControl(*event) || !link_->IsModified()) return;
  if (!forms::RunReported([this] { link_->UpdateRecord(); })) setFocus(Qt::OtherFocusReason);
}

void TNoxDBNComboBox::contextMenuEvent(QContextMenuEvent* event) {
  if (listFile_->OpenPopupMenu()) {
    event->accept();
    return;
  }
  QComboBox::contextMenuEvent(event);
}

}  // namespace nox::controls
