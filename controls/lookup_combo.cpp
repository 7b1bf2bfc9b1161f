#include "controls/lookup_combo.h"

#include <QApplication>
#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScreen>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

#include "forms/fonts.h"
#include "forms/text.h"
#include "tables/value_convert.h"

namespace nox::controls {
namespace {

bool IsListKey(const QKeyEvent& event) {
  switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Backspace:
      return true;
    default:
      return !event.text().isEmpty() && event.text()[0].isPrint() &&
             !(event.modifiers() & (Qt::ControlModifier | Qt::AltModifier));
  }
}

bool IsUpperTrue(std::string_view text) {
  return tables::EqualNoCase(tables::TrimBlanks(text), "TRUE");
}

}  // namespace

// --- TNoxPopupGrid ---

TNoxPopupGrid::TNoxPopupGrid(QWidget* owner)
    : QFrame(owner, Qt::Popup),
      grid_(new TNoxDBGrid(this)),
      searchPanel_(new TNoxSearchPanel(this)) {
  setObjectName(QStringLiteral("PopupGrid"));
  setFrameShape(QFrame::Box);
  grid_->setObjectName(QStringLiteral("Grid"));
  grid_->SetReadOnly(true);
  grid_->SetCutCols(true);
  grid_->installEventFilter(this);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(grid_);
  column->addWidget(searchPanel_);
}

void TNoxPopupGrid::SetPanelAbove(bool above) {
  auto* column = static_cast<QVBoxLayout*>(layout());
  column->removeWidget(searchPanel_);
  column->insertWidget(above ? 0 : 1, searchPanel_);
}

void TNoxPopupGrid::keyPressEvent(QKeyEvent* event) {
  if (onKey) {
    onKey(*event);
  } else {
    QFrame::keyPressEvent(event);
  }
}

bool TNoxPopupGrid::eventFilter(QObject* watched, QEvent* event) {
  if (watched == grid_ && event->type() == QEvent::KeyPress && onKey) {
    auto& key = static_cast<QKeyEvent&>(*event);
    if (IsListKey(key)) {
      onKey(key);
      return true;
    }
  }
  return QFrame::eventFilter(watched, event);
}

void TNoxPopupGrid::hideEvent(QHideEvent* event) {
  QFrame::hideEvent(event);
  if (onHidden) onHidden();
}

// --- TNoxLookupCombo ---

TNoxLookupCombo::TNoxLookupCombo(QWidget* parent)
    : QLineEdit(parent),
      link_(this),
      lookTitleFont_(DefaultLookFont()),
      lookTableFont_(DefaultLookFont()),
      button_(new QToolButton(this)),
      popup_(new TNoxPopupGrid(this)),
      gridSource_(this) {
  button_->setObjectName(QStringLiteral("DropDownButton"));
  button_->setArrowType(Qt::DownArrow);
  button_->setFocusPolicy(Qt::NoFocus);
  button_->setCursor(Qt::ArrowCursor);
  connect(button_, &QToolButton::clicked, this, [this] {
    if (DroppedDown()) {
      CloseUp(false);
    } else {
      DropDown();
    }
  });
  popup_->Grid().SetDataSource(&gridSource_);
  popup_->onKey = [this](QKeyEvent& event) { ListKey(event); };
  popup_->onHidden = [this] { ListHidden(); };
  connect(&popup_->Grid(), &QAbstractItemView::clicked, this, [this] { ChooseRow(); });
  connect(&popup_->SearchPanel().FindButton(), &QToolButton::clicked, this,
          [this] { CloseUp(true); });
  connect(&link_, &TNoxFieldDataLink::DataChanged, this, &TNoxLookupCombo::ShowField);
  connect(this, &QLineEdit::textEdited, this, &TNoxLookupCombo::TextEdited);
  link_.SetOnUpdateData([this] { link_.WriteText(Value()); });
}

TNoxLookupCombo::~TNoxLookupCombo() {
  popup_->onHidden = nullptr;
  popup_->onKey = nullptr;
}

void TNoxLookupCombo::SetStyle(TNoxLookupComboStyle style) {
  style_ = style;
  setReadOnly(style == TNoxLookupComboStyle::csDropDownList);
}

void TNoxLookupCombo::SetListNotEnabled(bool notEnabled) {
  listNotEnabled_ = notEnabled;
  button_->setEnabled(!notEnabled);
}

bool TNoxLookupCombo::DroppedDown() const {
  return popup_->isVisible();
}

tables::TTable* TNoxLookupCombo::LookupTable() const {
  return lookupSource_ != nullptr && lookupSource_->Active() ? lookupSource_->DataSet() : nullptr;
}

std::vector<std::string> TNoxLookupCombo::DisplayFields() const {
  std::vector<std::string> fields = SplitFieldList(lookupDisplay_);
  if (fields.empty() && !lookupField_.empty()) fields.push_back(lookupField_);
  return fields;
}

bool TNoxLookupCombo::TextIsValue() const {
  if (style_ != TNoxLookupComboStyle::csDropDown) return false;
  const std::vector<std::string> display = SplitFieldList(lookupDisplay_);
  return DataSource() != nullptr ||
         (display.size() == 1 && tables::EqualNoCase(display[0], lookupField_));
}

std::string TNoxLookupCombo::EncodedText() const {
  return forms::ToDataText(text(), forms::ControlCodePage(*this)).value_or(std::string());
}

std::string TNoxLookupCombo::Value() const {
  return TextIsValue() ? EncodedText() : chosenKey_.value_or(std::string());
}

// --- Opening the list ---

void TNoxLookupCombo::DropDown() {
  if (listNotEnabled_ || DroppedDown() || width() < 21) return;
  search_.Clear();
  if (OnDropDown) OnDropDown();
  if (!PrepareGridTable()) return;
  TNoxDBGrid& grid = popup_->Grid();
  grid.setFont(lookTableFont_);
  grid.horizontalHeader()->setFont(lookTitleFont_);
  grid.verticalHeader()->setDefaultSectionSize(QFontMetrics(lookTableFont_).height() + 4);
  grid.horizontalHeader()->setVisible((options_ & lloTitles) != 0);
  grid.setShowGrid((options_ & (lloColLines | lloRowLines)) != 0);
  grid.setProperty(forms::kCharSetProperty, property(forms::kCharSetProperty));
  const std::vector<std::string> fields = DisplayFields();
  grid.Model().SetColumnFields(fields);
  grid.Model().SetColumnTitles(LookupCaptions(lookDispLabel_, fields, lookTitleFont_));
  gridSource_.SetDataSet(gridTable_);
  const QStringList widths = lookColWidths_.split(QLatin1Char(';'));
  for (int column = 0; column < grid.Model().columnCount(); ++column) {
    bool number = false;
    const int width = column < widths.size() ? widths[column].trimmed().toInt(&number) : 0;
    if (number && width > 0) grid.horizontalHeader()->resizeSection(column, width);
  }
  if (!manualSeek_) PositionList();
  gridSource_.RecordMoved();
  ShowSearchText();
  popup_->show();
  SizeAndPlaceList();
  grid.setFocus();
  grid.ShowCurrentRecord();
}

bool TNoxLookupCombo::PrepareGridTable() {
  tables::TTable* lookup = LookupTable();
  if (lookup == nullptr) return false;
  try {
    if (lookTableStyle_ == TNoxLookTableStyle::ctNormal) {
      // A private table object on the same table, so the list moves without moving the lookup
      // source's own controls.
      if (!ownTable_.Active() || ownTable_.FilePath() != lookup->FilePath()) {
        ownTable_.Close();
        ownTable_.SetName(objectName().toStdString());
        ownTable_.SetDatabaseName(lookup->DatabaseName());
        ownTable_.SetTableName(lookup->TableName());
        ownTable_.SetTableType(lookup->GetTableType());
        ownTable_.Open();
      }
      if (!lookup->IndexFieldNames().empty()) {
        ownTable_.SetIndexFieldNames(lookup->IndexFieldNames());
      } else {
        ownTable_.SetIndexName(lookup->IndexName());
      }
      gridTable_ = &ownTable_;
    } else {
      gridTable_ = lookup;
      savedIndexFields_ = lookup->IndexFieldNames();
    }
    if (gridTable_->CurrentIndexFields().empty()) {
      for (const std::string& field : DisplayFields()) {
        const std::string index = IndexBeginningWith(*gridTable_, field);
        if (!index.empty()) {
          gridTable_->SetIndexFieldNames(index);
          break;
        }
      }
    }
    if (IsUpperTrue(lookFilter_)) {
      if (gridTable_ != lookup) {
        gridTable_->SetFiltered(false);
        gridTable_->SetFilter(lookup->Filter());
        gridTable_->SetFiltered(lookup->Filtered());
      }
    } else {
      gridTable_->SetFiltered(false);
      gridTable_->SetFilter(lookFilter_);
      gridTable_->SetFiltered(!lookFilter_.empty());
    }
    return true;
  } catch (const tables::TableError& error) {
    ShowDataError(error);
    if (gridTable_ == lookup) lookup->SetIndexFieldNames(savedIndexFields_);
    gridTable_ = nullptr;
    return false;
  }
}

void TNoxLookupCombo::PositionList() {
  tables::TTable& table = *gridTable_;
  try {
    const std::vector<std::string> dataFields = SplitFieldList(dataIndexFields_);
    tables::TTable* dataTable =
        DataSource() != nullptr && DataSource()->Active() ? DataSource()->DataSet() : nullptr;
    if (!dataFields.empty() && dataTable != nullptr) {
      std::vector<tables::Value> values;
      for (std::size_t i = 0; i < dataFields.size() && i < 10; ++i)
        values.push_back(tables::Value::Text(dataTable->FieldByName(dataFields[i]).AsString()));
      table.FindNearest(values);
      const std::vector<std::string> indexFields = SplitFieldList(table.CurrentIndexFields());
      for (std::size_t i = 0; i < values.size() && i < indexFields.size(); ++i) {
        if (table.FieldByName(indexFields[i]).AsString() != values[i].text()) {
          table.First();
          break;
        }
      }
      return;
    }
    const std::string text = EncodedText();
    table.FindNearest({tables::Value::Text(text)});
    if (table.FieldByName(lookupField_).AsString() != text) table.First();
  } catch (const tables::TableError&) {
    // A table without an index, or a value its key cannot hold: the list starts at its top.
    table.First();
  }
}

void TNoxLookupCombo::SizeAndPlaceList() {
  TNoxDBGrid& grid = popup_->Grid();
  const int columns = grid.Model().columnCount();
  const bool columnsOutside = lookColCount_ > 0 && lookColCount_ < columns;
  int rows = std::max(dropDownCount_, 1) + (columnsOutside ? 1 : 0);
  rows = std::max(std::min(rows, grid.Model().rowCount()), 1);
  const int rowHeight =
      grid.verticalHeader()->defaultSectionSize() + ((options_ & lloRowLines) != 0 ? 1 : 0);
  int height = rows * rowHeight + 6;
  if ((options_ & lloTitles) != 0) height += grid.horizontalHeader()->sizeHint().height();
  int width = dropDownWidth_;
  if (width <= 0) {
    const int covered = lookColCount_ > 0 ? std::min(lookColCount_, columns) : columns;
    width = 20;
    for (int column = 0; column < covered; ++column)
      width += grid.horizontalHeader()->sectionSize(column) + ((options_ & lloColLines) ? 1 : 0);
  }
  width = std::max(width, this->width());
  if (columns == 1) grid.horizontalHeader()->resizeSection(0, width - 20);
  grid.setFixedSize(width, height);

  const QRect screen = this->screen()->availableGeometry();
  const int panelHeight = std::max(popup_->SearchPanel().sizeHint().height(), 25);
  const QPoint top = mapToGlobal(QPoint(0, 0));
  const bool above = top.y() + this->height() + height + panelHeight > screen.bottom() + 1;
  popup_->SetPanelAbove(above);
  popup_->adjustSize();
  const int listWidth = popup_->width();
  int x = listWidth > this->width() ? top.x() + this->width() - listWidth : top.x();
  x = std::clamp(x, screen.left(), std::max(screen.left(), screen.right() + 1 - listWidth));
  const int y = above ? top.y() - popup_->height() : top.y() + this->height();
  popup_->move(x, y);
}

// --- Choosing and closing ---

void TNoxLookupCombo::ChooseRow() {
  if (gridTable_ == nullptr) return;
  // A bound control takes a choice only when its record can be edited.
  if (DataSource() != nullptr && !link_.Edit()) return;
  const tables::TField* key = gridTable_->FindField(lookupField_);
  chosenKey_ = key != nullptr ? std::optional<std::string>(key->AsString()) : std::nullopt;
  const std::vector<std::string> display = DisplayFields();
  const tables::TField* shown = display.empty() ? nullptr : gridTable_->FindField(display[0]);
  setText(forms::FromDataText(shown != nullptr ? shown->AsString() : chosenKey_.value_or(""),
                              forms::ControlCodePage(*this)));
  link_.Modified();
  CloseUp(false);
  if (OnGridClick) OnGridClick();
}

void TNoxLookupCombo::CloseUp(bool accept) {
  if (gridTable_ == nullptr || closing_) return;
  if (accept) {
    ChooseRow();
    return;
  }
  closing_ = true;
  popup_->hide();
  popup_->SearchPanel().SetSearchText(QString());
  search_.Clear();
  gridSource_.SetDataSet(nullptr);
  if (lookTableStyle_ == TNoxLookTableStyle::ctWithCalcFields) {
    try {
      gridTable_->SetIndexFieldNames(savedIndexFields_);
    } catch (const tables::TableError& error) {
      ShowDataError(error);
    }
    if (lookupSource_ != nullptr) lookupSource_->Resync();
  }
  gridTable_ = nullptr;
  closing_ = false;
  if (OnCloseUp) OnCloseUp();
}

void TNoxLookupCombo::ListHidden() {
  // Closed from outside (a click elsewhere): cancelled.
  if (!closing_) CloseUp(false);
}

// --- Keys and the search ---

void TNoxLookupCombo::ShowSearchText() {
  popup_->SearchPanel().SetSearchText(
      forms::FromDataText(search_.Text(), forms::ControlCodePage(*this)));
  if (DroppedDown()) popup_->adjustSize();
}

void TNoxLookupCombo::ListKey(QKeyEvent& event) {
  switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      CloseUp(true);
      return;
    case Qt::Key_Escape:
      if (popup_->SearchPanel().isVisible()) {
        search_.Clear();
        ShowSearchText();
      } else {
        CloseUp(false);
      }
      return;
    case Qt::Key_Backspace:
      search_.Backspace();
      ShowSearchText();
      return;
    default:
      break;
  }
  if (gridTable_ == nullptr || event.text().isEmpty()) return;
  const std::optional<std::string> typed =
      forms::ToDataText(event.text().left(1), forms::ControlCodePage(*this));
  if (!typed || typed->size() != 1) {
    QApplication::beep();
    return;
  }
  try {
    search_.Type(*gridTable_, (*typed)[0]);
  } catch (const tables::TableError& error) {
    ShowDataError(error);
  }
  gridSource_.RecordMoved();
  ShowSearchText();
}

bool TNoxLookupCombo::FieldAccepts(QChar typed) const {
  const tables::TField* field = link_.Field();
  if (field == nullptr) return true;
  switch (field->DataType()) {
    case tables::FieldType::SmallInt:
    case tables::FieldType::Integer:
    case tables::FieldType::Word:
    case tables::FieldType::AutoInc:
      return typed.isDigit() || typed == u'-' || typed == u'+' || typed == u' ';
    case tables::FieldType::Float:
    case tables::FieldType::Currency:
    case tables::FieldType::BCD:
      return typed.isDigit() || QStringLiteral("-+., eE").contains(typed);
    case tables::FieldType::Date:
    case tables::FieldType::Time:
    case tables::FieldType::DateTime:
      return typed.isDigit() || QStringLiteral("./-: ").contains(typed);
    default:
      return forms::ToDataText(QString(typed), forms::ControlCodePage(*this)).has_value();
  }
}

void TNoxLookupCombo::keyPressEvent(QKeyEvent* event) {
  if (DroppedDown()) {
    if (IsListKey(*event)) {
      ListKey(*event);
    } else {
      QApplication::sendEvent(&popup_->Grid(), event);
    }
    return;
  }
  const bool altDown = event->key() == Qt::Key_Down && event->modifiers() == Qt::AltModifier;
  if (altDown || event->key() == Qt::Key_F4) {
    DropDown();
    return;
  }
  if (event->key() == Qt::Key_Escape && link_.Active()) {
    link_.Reset();
    return;
  }
  if (TextIsValue() && !event->text().isEmpty() && event->text()[0].isPrint() &&
      !FieldAccepts(event->text()[0])) {
    QApplication::beep();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

// --- The bound field ---

void TNoxLookupCombo::ShowField() {
  if (!link_.Active()) return;
  showing_ = true;
  setText(forms::FromDataText(link_.Text(), forms::ControlCodePage(*this)));
  showing_ = false;
}

void TNoxLookupCombo::TextEdited() {
  if (showing_ || DataSource() == nullptr) return;
  if (!link_.Edit()) {
    ShowField();
    return;
  }
  link_.Modified();
}

void TNoxLookupCombo::StoreOnLeaving() {
  if (style_ == TNoxLookupComboStyle::csDropDown && right_) {
    tables::TTable* lookup = LookupTable();
    const tables::TField* key = lookup != nullptr ? lookup->FindField(lookupField_) : nullptr;
    if (key != nullptr && key->Size() > 0) {
      const std::size_t size = static_cast<std::size_t>(key->Size());
      std::string value = EncodedText();
      value.erase(0, value.find_first_not_of(' ') == std::string::npos
                         ? value.size()
                         : value.find_first_not_of(' '));
      value = value.size() > size ? value.substr(value.size() - size)
                                  : std::string(size - value.size(), ' ') + value;
      const QString padded = forms::FromDataText(value, forms::ControlCodePage(*this));
      if (padded != text()) {
        setText(padded);
        if (DataSource() != nullptr && link_.Edit()) link_.Modified();
      }
    }
  }
  try {
    link_.UpdateRecord();
  } catch (const tables::TableError& error) {
    link_.Reset();
    setFocus();
    ShowDataError(error);
  }
}

void TNoxLookupCombo::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  if (autoSelect_ && event->reason() != Qt::PopupFocusReason) selectAll();
}

void TNoxLookupCombo::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  // The list taking the keyboard is not leaving the control.
  if (event->reason() == Qt::PopupFocusReason || DroppedDown()) return;
  StoreOnLeaving();
}

void TNoxLookupCombo::resizeEvent(QResizeEvent* event) {
  QLineEdit::resizeEvent(event);
  const int side = height();
  button_->setGeometry(width() - side, 0, side, side);
  setTextMargins(0, 0, side, 0);
}

bool TNoxLookupCombo::event(QEvent* event) {
  // The window gives the control its character set: the field shows in its code page.
  if (event->type() == QEvent::DynamicPropertyChange && !link_.IsModified()) ShowField();
  return QLineEdit::event(event);
}

}  // namespace nox::controls
