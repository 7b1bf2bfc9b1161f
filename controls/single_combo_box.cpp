#include "controls/single_combo_box.h"

#include <QApplication>
#include <QKeyEvent>
#include <QListWidget>
#include <QScreen>
#include <QStyle>
#include <QToolButton>
#include <algorithm>

#include "forms/controls.h"

namespace nox::controls {
namespace {

constexpr int kListExtraWidth = 40;
constexpr int kListExtraHeight = 20;
constexpr int kScreenBottomGap = 30;
constexpr int kScreenTopGap = 10;
constexpr int kUnlimitedLength = 32767;  // QLineEdit's own "no limit"

QRect ScreenOf(const QWidget& widget) {
  const QScreen* screen = widget.screen();
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  return screen != nullptr ? screen->geometry() : QRect(0, 0, 1024, 768);
}

}  // namespace

TNoxRunComponentRunComboForm_PNU::TNoxRunComponentRunComboForm_PNU(TNoxSingleComboBox& combo)
    : QFrame(&combo, Qt::Popup | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      combo_(&combo),
      list_(new QListWidget(this)) {
  setObjectName(QStringLiteral("NoxRunComponentRunComboForm_PNU"));
  setFrameShape(QFrame::Box);
  list_->setObjectName(QStringLiteral("List"));
  forms::Describe(*list_, QStringLiteral("Choices"),
                  QStringLiteral("The choices; a click or Enter takes one"));
  list_->setUniformItemSizes(true);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->installEventFilter(this);
  connect(list_, &QListWidget::itemClicked, this, [this] { Take(); });
}

void TNoxRunComponentRunComboForm_PNU::Open(const QStringList& items, int current, int itemWidth) {
  chosenIndex_ = -1;
  chosenText_.clear();
  list_->setFont(combo_->font());
  list_->clear();
  list_->addItems(items);
  if (current >= 0 && current < items.size()) list_->setCurrentRow(current);

  const QRect screen = ScreenOf(*combo_);
  const int width = std::max(itemWidth + kListExtraWidth, combo_->width());
  const int rowHeight = std::max(1, list_->sizeHintForRow(0));
  const int rows = std::min(combo_->DropDownCount(), static_cast<int>(items.size()));
  int height = rows * rowHeight + kListExtraHeight;
  const QPoint origin = combo_->mapToGlobal(QPoint(0, 0));
  int x = origin.x() - 2;
  int y = origin.y() - 3 + combo_->height();
  if (x + width > screen.right() + 1) x = std::max(screen.left(), screen.right() + 1 - width);
  if (origin.y() > screen.top() + screen.height() * 4 / 5) {
    // In the lowest fifth of the screen the list opens above the control.
    height = std::min(height, origin.y() - screen.top() - kScreenTopGap);
    y = std::max(origin.y() - height, screen.top() + kScreenTopGap);
  } else {
    height = std::min(height, screen.bottom() + 1 - y - kScreenBottomGap);
  }
  setGeometry(x, y, width, std::max(height, rowHeight));
  list_->setGeometry(contentsRect());
  show();
  list_->setFocus();
}

void TNoxRunComponentRunComboForm_PNU::Take() {
  const int row = list_->currentRow();
  if (row < 0) return;
  chosenIndex_ = row;
  chosenText_ = list_->item(row)->text().trimmed();
  hide();
}

bool TNoxRunComponentRunComboForm_PNU::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_ && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      Take();
      return true;
    }
    if (key == Qt::Key_Escape) {
      hide();
      return true;
    }
  }
  return QFrame::eventFilter(watched, event);
}

void TNoxRunComponentRunComboForm_PNU::hideEvent(QHideEvent* event) {
  QFrame::hideEvent(event);
  if (combo_ != nullptr) combo_->CloseUp(chosenIndex_);
}

TNoxSingleComboBox::TNoxSingleComboBox(QWidget* parent)
    : QLineEdit(parent),
      button_(new QToolButton(this)),
      listWindow_(new TNoxRunComponentRunComboForm_PNU(*this)) {
  button_->setObjectName(QStringLiteral("Button"));
  forms::Describe(*button_, QStringLiteral("Open the list"),
                  QStringLiteral("Opens the list of choices"));
  button_->setArrowType(Qt::DownArrow);
  button_->setFocusPolicy(Qt::NoFocus);
  button_->setCursor(Qt::ArrowCursor);
  connect(button_, &QToolButton::clicked, this, [this] {
    setFocus(Qt::MouseFocusReason);
    DropDown();
  });
  QLineEdit::setMaxLength(kUnlimitedLength);
}

TNoxSingleComboBox::~TNoxSingleComboBox() {
  listWindow_->combo_ = nullptr;
}

void TNoxSingleComboBox::SetItems(const QStringList& items) {
  items_ = items;
  ItemsChanged();
}

void TNoxSingleComboBox::SetSorted(bool sorted) {
  sorted_ = sorted;
  ItemsChanged();
}

void TNoxSingleComboBox::ItemsChanged() {
  if (sorted_) items_.sort(Qt::CaseInsensitive);
  if (itemIndex_ >= items_.size()) itemIndex_ = -1;
  itemWidth_ = MeasureItemWidth();
}

int TNoxSingleComboBox::MeasureItemWidth() const {
  const QFontMetrics metrics(font());
  int widest = 0;
  for (const QString& item : items_)
    widest = std::max(widest, metrics.horizontalAdvance(item));
  return widest;
}

void TNoxSingleComboBox::SetStyle(TComboBoxStyle style) {
  style_ = style;
  setReadOnly(style == TComboBoxStyle::csDropDownList);
}

int TNoxSingleComboBox::ItemHeight() const {
  return QFontInfo(font()).pixelSize() + 3;
}

void TNoxSingleComboBox::SetItemHeight(int height) {
  QFont changed = font();
  changed.setPixelSize(std::max(1, height - 3));
  setFont(changed);
}

void TNoxSingleComboBox::SetMaxLength(int length) {
  maxLength_ = std::max(0, length);
  QLineEdit::setMaxLength(maxLength_ > 0 ? maxLength_ : kUnlimitedLength);
}

void TNoxSingleComboBox::SetItemIndex(int index) {
  if (index >= 0 && index < items_.size()) {
    itemIndex_ = index;
    setText(items_[index]);
    return;
  }
  itemIndex_ = -1;
  if (style_ != TComboBoxStyle::csDropDown) clear();
}

void TNoxSingleComboBox::DropDown() {
  BeforeDropDown();
  if (items_.isEmpty() || listWindow_->isVisible()) return;
  emit OnDropDown();
  listWindow_->Open(items_, itemIndex_, itemWidth_);
}

void TNoxSingleComboBox::CloseUp(int chosenIndex) {
  if (chosenIndex >= 0 && chosenIndex < items_.size()) {
    itemIndex_ = chosenIndex;
    setText(items_[chosenIndex]);
  }
  setFocus(Qt::PopupFocusReason);
  if (chosenIndex >= 0) emit OnCloseUp();
}

void TNoxSingleComboBox::StepItem(int step) {
  const int index = itemIndex_ + step;
  if (index < 0 || index >= items_.size()) return;
  SetItemIndex(index);
}

void TNoxSingleComboBox::Complete() {
  const QString typed = text();
  if (typed.isEmpty() || cursorPosition() != typed.size()) return;
  for (const QString& item : items_) {
    if (item.size() > typed.size() && item.startsWith(typed, Qt::CaseSensitive)) {
      setText(item);
      setSelection(typed.size(), item.size() - typed.size());
      return;
    }
  }
}

void TNoxSingleComboBox::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  const bool alt = event->modifiers() & Qt::AltModifier;
  if (key == Qt::Key_F4 || (alt && (key == Qt::Key_Down || key == Qt::Key_Up))) {
    DropDown();
    return;
  }
  if (key == Qt::Key_Down || key == Qt::Key_Up) {
    StepItem(key == Qt::Key_Down ? 1 : -1);
    return;
  }
  if ((key == Qt::Key_Return || key == Qt::Key_Enter) && hasSelectedText()) {
    end(false);
  } else if (key == Qt::Key_Escape && hasSelectedText()) {
    del();
    return;
  }
  QLineEdit::keyPressEvent(event);
  const QString typed = event->text();
  if (showHinting_ && !isReadOnly() && !typed.isEmpty() && typed.at(0).isPrint()) Complete();
}

void TNoxSingleComboBox::resizeEvent(QResizeEvent* event) {
  QLineEdit::resizeEvent(event);
  const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
  const int side = height() - 2 * frame;
  button_->setGeometry(width() - frame - side, frame, side, side);
  setTextMargins(0, 0, side, 0);
}

void TNoxSingleComboBox::changeEvent(QEvent* event) {
  QLineEdit::changeEvent(event);
  if (event->type() == QEvent::FontChange) itemWidth_ = MeasureItemWidth();
}

}  // namespace nox::controls
