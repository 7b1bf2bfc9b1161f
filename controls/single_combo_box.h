#pragma once
// TNoxSingleComboBox: the plain combo of the component library, an edit with a drop-down button
// over a list of texts, with type-ahead and a drop-down list window of its own
// (TNoxRunComponentRunComboForm_PNU).

#include <QFrame>
#include <QLineEdit>
#include <QStringList>

class QListWidget;
class QToolButton;

namespace nox::controls {

// The combo styles; the owner-draw ones are known only to be refused where a control reads them.
enum class TComboBoxStyle {
  csDropDown = 0,
  csSimple = 1,
  csDropDownList = 2,
  csOwnerDrawFixed = 3,
  csOwnerDrawVariable = 4
};

// Which language's character set a maker's control takes for its font. The framework reads the
// control's property "CharSetStyle" by the name of its value (forms/fonts.h).
class TCharSetStyles {
  Q_GADGET

 public:
  enum TCharSetStyle { cssAsLabel, cssAsEdit, cssAsSystem };
  Q_ENUM(TCharSetStyle)
  // The two-valued kind of the list-file combo.
  enum TCBCharSetStyle { csAsEdit, csAsLabel };
  Q_ENUM(TCBCharSetStyle)
};
using TCharSetStyle = TCharSetStyles::TCharSetStyle;
using TCBCharSetStyle = TCharSetStyles::TCBCharSetStyle;

class TNoxSingleComboBox;

// The drop-down list window: a borderless window on top, filled by the one-column list "List".
// A click or Enter takes the selected row, Escape closes without a choice, and it hides when it
// loses the focus.
class TNoxRunComponentRunComboForm_PNU : public QFrame {
  Q_OBJECT

 public:
  explicit TNoxRunComponentRunComboForm_PNU(TNoxSingleComboBox& combo);

  QListWidget* List() const { return list_; }
  // The chosen row's index (-1: none) and its text without surrounding blanks.
  int ChosenIndex() const { return chosenIndex_; }
  QString ChosenText() const { return chosenText_; }
  // Fills the list and opens the window at the combo.
  void Open(const QStringList& items, int current, int itemWidth);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  friend class TNoxSingleComboBox;
  void Take();

  TNoxSingleComboBox* combo_;  // null once the combo is going
  QListWidget* list_;
  int chosenIndex_ = -1;
  QString chosenText_;
};

class TNoxSingleComboBox : public QLineEdit {
  Q_OBJECT
  Q_PROPERTY(QStringList Items READ Items WRITE SetItems)
  Q_PROPERTY(bool Sorted READ Sorted WRITE SetSorted)
  Q_PROPERTY(int DropDownCount READ DropDownCount WRITE SetDropDownCount)
  Q_PROPERTY(int ItemHeight READ ItemHeight WRITE SetItemHeight)
  Q_PROPERTY(bool ShowHinting READ ShowHinting WRITE SetShowHinting)
  Q_PROPERTY(int MaxLength READ MaxLength WRITE SetMaxLength)
  Q_PROPERTY(TCharSetStyles::TCharSetStyle CharSetStyle READ CharSetStyle WRITE SetCharSetStyle)

 public:
  explicit TNoxSingleComboBox(QWidget* parent = nullptr);
  ~TNoxSingleComboBox() override;

  const QStringList& Items() const { return items_; }
  void SetItems(const QStringList& items);
  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted);
  TComboBoxStyle Style() const { return style_; }
  void SetStyle(TComboBoxStyle style);
  int DropDownCount() const { return dropDownCount_; }
  void SetDropDownCount(int count) { dropDownCount_ = count; }
  // The font's pixel height + 3; setting it sets the font's pixel height to value − 3.
  int ItemHeight() const;
  void SetItemHeight(int height);
  bool ShowHinting() const { return showHinting_; }
  void SetShowHinting(bool on) { showHinting_ = on; }
  // 0: no limit.
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int length);
  TCharSetStyle CharSetStyle() const { return charSetStyle_; }
  void SetCharSetStyle(TCharSetStyle style) { charSetStyle_ = style; }

  // -1 when none. An index outside the list empties the text unless the style is csDropDown.
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int index);
  // The width of the widest item text, in pixels.
  int ItemWidth() const { return itemWidth_; }

  QToolButton* Button() const { return button_; }
  TNoxRunComponentRunComboForm_PNU* ListWindow() const { return listWindow_; }
  // Opens the list window when there are items and it is hidden.
  void DropDown();

 signals:
  void OnDropDown();
  void OnCloseUp();

 protected:
  // Called before the list would drop down, while it may still be changed.
  virtual void BeforeDropDown() {}
  // The widest item text has been measured anew; a descendant may give its own width.
  virtual int MeasureItemWidth() const;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  friend class TNoxRunComponentRunComboForm_PNU;
  void CloseUp(int chosenIndex);
  void StepItem(int step);
  void Complete();
  void ItemsChanged();

  QStringList items_;
  bool sorted_ = false;
  TComboBoxStyle style_ = TComboBoxStyle::csDropDown;
  int dropDownCount_ = 8;
  bool showHinting_ = false;
  int maxLength_ = 0;
  TCharSetStyle charSetStyle_ = TCharSetStyles::cssAsEdit;
  int itemIndex_ = -1;
  int itemWidth_ = 0;
  QToolButton* button_;
  TNoxRunComponentRunComboForm_PNU* listWindow_;
};

}  // namespace nox::controls
