#include "controls/db_grid.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStyledItemDelegate>
#include <algorithm>

#include "forms/fonts.h"
#include "forms/text.h"

namespace nox::controls {
namespace {

// Cell editors take only what the grid's code page can store; the current row may have its own
// font.
class GridDelegate : public QStyledItemDelegate {
 public:
  explicit GridDelegate(TNoxDBGrid& grid) : QStyledItemDelegate(&grid), grid_(grid) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
      forms::GuardCodePage(*line, grid_.Model().CodePage());
      if (const tables::TField* field = grid_.Model().ColumnField(index.column());
          field != nullptr && field->DataType() == tables::FieldType::String) {
        line->setMaxLength(field->Size());
      }
    }
    return editor;
  }

 protected:
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    if (grid_.ActiveRowFont() && grid_.currentIndex().row() == index.row()) {
      option->font = *grid_.ActiveRowFont();
    }
  }

 private:
  TNoxDBGrid& grid_;
};

}  // namespace

TNoxDBGrid::TNoxDBGrid(QWidget* parent) : QTableView(parent), model_(this) {
  setModel(&model_);
  setItemDelegate(new GridDelegate(*this));
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                  QAbstractItemView::AnyKeyPressed);
  // Every row is one line high: the view then places rows by arithmetic, whatever their count.
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
  verticalHeader()->hide();
  horizontalHeader()->setHighlightSections(false);
  connect(&model_, &QAbstractItemModel::modelReset, this, [this] {
    SizeColumnsToFields();
    ShowCurrentRecord();
  });
}

void TNoxDBGrid::SetDataSource(TNoxDataSource* source) {
  if (DataSource() != nullptr) disconnect(DataSource(), nullptr, this, nullptr);
  model_.SetDataSource(source);
  if (source != nullptr) {
    connect(source, &TNoxDataSource::RecordChanged, this, &TNoxDBGrid::ShowCurrentRecord);
  }
  FollowCodePage();
}

void TNoxDBGrid::SetReadOnly(bool readOnly) {
  model_.SetReadOnly(readOnly);
  setEditTriggers(readOnly ? QAbstractItemView::NoEditTriggers
                           : QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                 QAbstractItemView::AnyKeyPressed);
}

void TNoxDBGrid::SetActiveRowFont(std::optional<QFont> font) {
  activeRowFont_ = std::move(font);
  viewport()->update();
}

void TNoxDBGrid::SizeColumnsToFields() {
  const int charWidth = fontMetrics().averageCharWidth();
  for (int column = 0; column < model_.columnCount(); ++column) {
    const tables::TField* field = model_.ColumnField(column);
    const QString title = model_.headerData(column, Qt::Horizontal).toString();
    int chars = field != nullptr && field->Size() > 0 ? field->Size() : 10;
    chars = std::clamp(std::max<int>(chars, static_cast<int>(title.size())), 4, 40);
    horizontalHeader()->resizeSection(column, chars * charWidth + 8);
  }
}

void TNoxDBGrid::ShowCurrentRecord() {
  const std::optional<int> row = model_.CurrentRow();
  if (!row || model_.columnCount() == 0) return;
  following_ = true;
  const int column = std::min(currentColumn_, model_.columnCount() - 1);
  setCurrentIndex(model_.index(*row, column));
  scrollTo(currentIndex());
  following_ = false;
}

void TNoxDBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  QTableView::currentChanged(current, previous);
  if (current.isValid()) currentColumn_ = current.column();
  if (following_ || !current.isValid() || current.row() == previous.row()) return;
  TNoxDataSource* source = DataSource();
  const std::optional<std::size_t> position = model_.PositionOfRow(current.row());
  if (source == nullptr || !position) return;
  // A record that cannot be stored keeps the grid on its row.
  if (!source->MoveTo(*position)) ShowCurrentRecord();
  viewport()->update();
}

void TNoxDBGrid::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && state() != QAbstractItemView::EditingState &&
      DataSource() != nullptr && DataSource()->Editing()) {
    DataSource()->Cancel();
    return;
  }
  QTableView::keyPressEvent(event);
}

bool TNoxDBGrid::event(QEvent* event) {
  // The window gives the grid its character set as the property "CharSet".
  if (event->type() == QEvent::DynamicPropertyChange) FollowCodePage();
  return QTableView::event(event);
}

void TNoxDBGrid::FollowCodePage() {
  model_.SetCodePage(forms::ControlCodePage(*this));
}

}  // namespace nox::controls
