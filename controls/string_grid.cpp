#include "controls/string_grid.h"

#include <QEvent>

#include "forms/fonts.h"
#include "forms/text.h"

namespace nox::controls {
namespace {

// The stored bytes travel with the item, so that another code page can show them again.
constexpr int kBytesRole = Qt::UserRole + 1;

std::string BytesOf(const QVariant& value) {
  const QByteArray bytes = value.toByteArray();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QByteArray ByteArray(std::string_view text) {
  return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

// Takes the window's new character set; true when the code page changed.
bool FollowCodePage(QWidget& control, QEvent& event, host::CodePage& page) {
  if (event.type() != QEvent::DynamicPropertyChange) return false;
  const host::CodePage now = forms::ControlCodePage(control);
  if (now == page) return false;
  page = now;
  return true;
}

}  // namespace

TNoxStringGrid::TNoxStringGrid(QWidget* parent) : QTableWidget(parent) {
  // A cell the user edited keeps its text in the grid's code page; a character the page lacks
  // gives the cell its stored text back.
  connect(this, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* cell) {
    if (updating_) return;
    const QVariant stored = cell->data(kBytesRole);
    if (std::optional<std::string> bytes = forms::ToDataText(cell->text(), codePage_)) {
      if (!stored.isValid() || BytesOf(stored) != *bytes)
        SetCells(cell->column(), cell->row(), *bytes);
    } else {
      SetCells(cell->column(), cell->row(), BytesOf(stored));
    }
  });
}

std::string TNoxStringGrid::Cells(int column, int row) const {
  const QTableWidgetItem* cell = item(row, column);
  return cell != nullptr ? BytesOf(cell->data(kBytesRole)) : std::string();
}

void TNoxStringGrid::SetCells(int column, int row, std::string_view text) {
  if (row >= rowCount()) setRowCount(row + 1);
  if (column >= columnCount()) setColumnCount(column + 1);
  updating_ = true;
  QTableWidgetItem* cell = item(row, column);
  if (cell == nullptr) {
    cell = new QTableWidgetItem;
    setItem(row, column, cell);
  }
  cell->setData(kBytesRole, ByteArray(text));
  cell->setText(forms::FromDataText(text, codePage_));
  updating_ = false;
}

bool TNoxStringGrid::event(QEvent* event) {
  if (FollowCodePage(*this, *event, codePage_)) {
    for (int row = 0; row < rowCount(); ++row) {
      for (int column = 0; column < columnCount(); ++column) {
        if (const QTableWidgetItem* cell = item(row, column)) {
          SetCells(column, row, BytesOf(cell->data(kBytesRole)));
        }
      }
    }
  }
  return QTableWidget::event(event);
}

TNoxListBox::TNoxListBox(QWidget* parent) : QListWidget(parent) {}

void TNoxListBox::AddDataItem(std::string_view text) {
  auto* entry = new QListWidgetItem(forms::FromDataText(text, codePage_), this);
  entry->setData(kBytesRole, ByteArray(text));
}

std::string TNoxListBox::DataItem(int row) const {
  const QListWidgetItem* entry = item(row);
  if (entry == nullptr) return {};
  const QVariant bytes = entry->data(kBytesRole);
  // An item added as Unicode (a translated text) is given in the list's code page.
  if (!bytes.isValid()) return forms::ToDataText(entry->text(), codePage_).value_or(std::string());
  return BytesOf(bytes);
}

bool TNoxListBox::event(QEvent* event) {
  if (FollowCodePage(*this, *event, codePage_)) {
    for (int row = 0; row < count(); ++row) {
      QListWidgetItem* entry = item(row);
      const QVariant bytes = entry->data(kBytesRole);
      if (bytes.isValid()) entry->setText(forms::FromDataText(BytesOf(bytes), codePage_));
    }
  }
  return QListWidget::event(event);
}

}  // namespace nox::controls
