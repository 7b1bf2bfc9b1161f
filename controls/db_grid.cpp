#include "controls/db_grid.h"

#include <QEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <algorithm>
#include <climits>

#include "forms/fonts.h"
#include "forms/text.h"

namespace nox::controls {
namespace {

// Rows kept between the rows shown and the edges of the model's window: the window moves before
// the view could reach an edge by scrolling a screen or two.
constexpr std::size_t kWindowMargin = TNoxTableModel::kWindowRows / 8;

int ClampInt(std::size_t value) {
  return static_cast<int>(std::min<std::size_t>(value, INT_MAX));
}

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

TNoxDBGrid::TNoxDBGrid(QWidget* parent)
    : QTableView(parent), model_(this), positionBar_(new QScrollBar(Qt::Vertical, this)) {
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
  positionBar_->setObjectName(QStringLiteral("PositionBar"));
  positionBar_->hide();
  connect(verticalScrollBar(), &QScrollBar::valueChanged, this, &TNoxDBGrid::ViewScrolled);
  connect(positionBar_, &QScrollBar::valueChanged, this, &TNoxDBGrid::PositionBarMoved);
  connect(&model_, &QAbstractItemModel::modelReset, this, [this] {
    SizeColumnsToFields();
    WindowChanged();
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
  const QFontMetrics metrics = fontMetrics();
  const int charWidth = metrics.averageCharWidth();
  // Numbers and dates have no size: ten digits hold a date and most amounts. Digits are wider
  // than the average letter, so they are measured as digits.
  const int unsizedWidth = metrics.horizontalAdvance(QString(10, QLatin1Char('0')));
  for (int column = 0; column < model_.columnCount(); ++column) {
    const tables::TField* field = model_.ColumnField(column);
    const QString title = model_.headerData(column, Qt::Horizontal).toString();
    const bool sized = field != nullptr && field->Size() > 0;
    const int values = sized ? std::clamp(field->Size(), 4, 40) * charWidth : unsizedWidth;
    const int titleWidth = std::min(metrics.horizontalAdvance(title), 40 * charWidth);
    horizontalHeader()->resizeSection(column, std::max(values, titleWidth) + 8);
  }
}

void TNoxDBGrid::ShowCurrentRecord() {
  // A record outside the model's window brings the window to it first.
  if (model_.Windowed()) {
    if (const std::optional<std::size_t> position = DataSource()->DataSet()->OrderPosition()) {
      const std::size_t start = model_.WindowStart();
      model_.ShowPosition(*position, kWindowMargin);
      if (model_.WindowStart() != start) WindowChanged();
    }
  }
  const std::optional<int> row = model_.CurrentRow();
  if (!row || model_.columnCount() == 0) return;
  following_ = true;
  const int column = std::min(currentColumn_, model_.columnCount() - 1);
  setCurrentIndex(model_.index(*row, column));
  scrollTo(currentIndex());
  following_ = false;
}

std::size_t TNoxDBGrid::TopPosition() const {
  return model_.WindowStart() + static_cast<std::size_t>(std::max(rowAt(0), 0));
}

int TNoxDBGrid::VisibleRows() const {
  return std::max(viewport()->height() / std::max(verticalHeader()->defaultSectionSize(), 1), 1);
}

void TNoxDBGrid::WindowChanged() {
  const bool windowed = model_.Windowed();
  if (windowed == positionBar_->isHidden()) {
    setVerticalScrollBarPolicy(windowed ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    positionBar_->setVisible(windowed);
    updateGeometries();
  }
  if (!windowed) return;
  SyncPositionBar();
  // The view's rows stand for other records now: its current row is the table's current record,
  // when the window holds it, without scrolling there.
  const std::optional<int> row = model_.CurrentRow();
  following_ = true;
  const bool autoScrolling = hasAutoScroll();
  setAutoScroll(false);
  if (row && model_.columnCount() > 0) {
    selectionModel()->setCurrentIndex(
        model_.index(*row, std::max(currentIndex().column(), 0)),
        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  } else {
    selectionModel()->clear();
  }
  setAutoScroll(autoScrolling);
  following_ = false;
}

void TNoxDBGrid::SyncPositionBar() {
  const std::size_t count = model_.PositionCount();
  const std::size_t visible = static_cast<std::size_t>(VisibleRows());
  syncing_ = true;
  positionBar_->setRange(0, ClampInt(count - std::min(count, visible)));
  positionBar_->setPageStep(ClampInt(visible));
  positionBar_->setValue(ClampInt(TopPosition()));
  syncing_ = false;
}

void TNoxDBGrid::ViewScrolled(int /*topRow*/) {
  if (syncing_ || !model_.Windowed()) return;
  const std::size_t top = TopPosition();
  const std::size_t start = model_.WindowStart();
  model_.ShowPosition(top, kWindowMargin);
  if (model_.WindowStart() == start) {
    SyncPositionBar();
    return;
  }
  // The same records stay on screen, now at other rows.
  syncing_ = true;
  verticalScrollBar()->setValue(ClampInt(top - model_.WindowStart()));
  syncing_ = false;
  WindowChanged();
}

void TNoxDBGrid::PositionBarMoved(int topPosition) {
  if (syncing_ || !model_.Windowed()) return;
  const std::size_t top = static_cast<std::size_t>(std::max(topPosition, 0));
  const std::size_t start = model_.WindowStart();
  model_.ShowPosition(top, kWindowMargin);
  syncing_ = true;
  verticalScrollBar()->setValue(ClampInt(top - std::min(top, model_.WindowStart())));
  syncing_ = false;
  if (model_.WindowStart() != start) WindowChanged();
}

void TNoxDBGrid::updateGeometries() {
  QTableView::updateGeometries();
  if (positionBar_->isHidden()) return;
  // The position bar stands where the view's own scroll bar would.
  const int width = positionBar_->sizeHint().width();
  const QMargins margins = viewportMargins();
  if (margins.right() != width) {
    setViewportMargins(margins.left(), margins.top(), width, margins.bottom());
  }
  const QRect shown = viewport()->geometry();
  const int header = horizontalHeader()->isHidden() ? 0 : horizontalHeader()->height();
  if (header > 0) {
    horizontalHeader()->setGeometry(shown.left(), shown.top() - header, shown.width(), header);
  }
  positionBar_->setGeometry(shown.right() + 1, shown.top() - header, width,
                            shown.height() + header);
  SyncPositionBar();
}

void TNoxDBGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
  // The row's record is read before the view scrolls to it, which may move the model's window.
  const std::optional<std::size_t> position = model_.PositionOfRow(current.row());
  QTableView::currentChanged(current, previous);
  if (current.isValid()) currentColumn_ = current.column();
  if (following_ || !current.isValid() || current.row() == previous.row()) return;
  TNoxDataSource* source = DataSource();
  if (source == nullptr || !position) return;
  // A record that cannot be stored keeps the grid on its row.
  if (!source->MoveTo(*position)) ShowCurrentRecord();
  viewport()->update();
}

void TNoxDBGrid::keyPressEvent(QKeyEvent* event) {
  // The ends of the whole order, not of the model's window.
  if (model_.Windowed() && (event->modifiers() & Qt::ControlModifier) &&
      (event->key() == Qt::Key_Home || event->key() == Qt::Key_End) &&
      state() != QAbstractItemView::EditingState) {
    event->key() == Qt::Key_Home ? DataSource()->First() : DataSource()->Last();
    return;
  }
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
