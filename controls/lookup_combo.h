#pragma once
// TNoxLookupCombo: an edit with a drop-down grid of a lookup table's rows. Typing while the list
// is open searches the list's table on its index (controls/incremental_search.h) and shows the
// text typed in the search panel; a click on a row, or Enter, chooses it. The value written to
// the bound field is the control's own text, or the lookup key of the row chosen.

#include <QFont>
#include <QLineEdit>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "controls/data_source.h"
#include "controls/db_grid.h"
#include "controls/incremental_search.h"
#include "controls/lookup_parts.h"

class QToolButton;

namespace nox::controls {

enum class TNoxLookupComboStyle { csDropDown, csDropDownList };
enum class TNoxLookTableStyle { ctNormal, ctWithCalcFields };

// The drop-down: the grid on the lookup rows and the search panel, in a pop-up window.
class TNoxPopupGrid : public QFrame {
  Q_OBJECT

 public:
  explicit TNoxPopupGrid(QWidget* owner);

  TNoxDBGrid& Grid() { return *grid_; }
  TNoxSearchPanel& SearchPanel() { return *searchPanel_; }
  // The panel above the grid (the list opened above its control) or below it.
  void SetPanelAbove(bool above);

  std::function<void(QKeyEvent&)> onKey;  // keys typed while the list is open
  std::function<void()> onHidden;         // closed by a click outside or by the window system

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TNoxDBGrid* grid_;
  TNoxSearchPanel* searchPanel_;
};

class TNoxLookupCombo : public QLineEdit {
  Q_OBJECT
  Q_PROPERTY(QString CharSetStyle READ CharSetStyle WRITE SetCharSetStyle)
  Q_PROPERTY(bool DroppedDown READ DroppedDown)
  // Translated by the window from the language table, under the control's name.
  Q_PROPERTY(QString LookDispLabel READ LookDispLabel WRITE SetLookDispLabel)

 public:
  explicit TNoxLookupCombo(QWidget* parent = nullptr);
  ~TNoxLookupCombo() override;

  // --- Binding ---
  TNoxDataSource* DataSource() const { return link_.DataSource(); }
  void SetDataSource(TNoxDataSource* source) { link_.SetDataSource(source); }
  const std::string& DataField() const { return link_.FieldName(); }
  void SetDataField(std::string field) { link_.SetFieldName(std::move(field)); }
  TNoxDataSource* LookupSource() const { return lookupSource_; }
  void SetLookupSource(TNoxDataSource* source) { lookupSource_ = source; }
  const std::string& LookupField() const { return lookupField_; }
  void SetLookupField(std::string field) { lookupField_ = std::move(field); }
  // The fields shown, separated by ";" (empty: the lookup field).
  const std::string& LookupDisplay() const { return lookupDisplay_; }
  void SetLookupDisplay(std::string fields) { lookupDisplay_ = std::move(fields); }

  // --- Appearance and behaviour ---
  TNoxLookupComboStyle Style() const { return style_; }
  void SetStyle(TNoxLookupComboStyle style);
  TNoxLookTableStyle LookTableStyle() const { return lookTableStyle_; }
  void SetLookTableStyle(TNoxLookTableStyle style) { lookTableStyle_ = style; }
  TNoxLookupListOptions Options() const { return options_; }
  void SetOptions(TNoxLookupListOptions options) { options_ = options; }
  // Column captions separated by ";" in column order; an empty entry shows the field name.
  const QString& LookDispLabel() const { return lookDispLabel_; }
  void SetLookDispLabel(const QString& labels) { lookDispLabel_ = labels; }
  const QFont& LookTitleFont() const { return lookTitleFont_; }
  void SetLookTitleFont(const QFont& font) { lookTitleFont_ = font; }
  const QFont& LookTableFont() const { return lookTableFont_; }
  void SetLookTableFont(const QFont& font) { lookTableFont_ = font; }
  // How many columns the list's width covers (0: all).
  int LookColCount() const { return lookColCount_; }
  void SetLookColCount(int count) { lookColCount_ = count; }
  // Column widths in pixels separated by ";"; a missing entry is computed from the field.
  const QString& LookColWidths() const { return lookColWidths_; }
  void SetLookColWidths(const QString& widths) { lookColWidths_ = widths; }
  // An engine filter for the lookup rows; "TRUE" (any case) takes the lookup source's own filter.
  const std::string& LookFilter() const { return lookFilter_; }
  void SetLookFilter(std::string filter) { lookFilter_ = std::move(filter); }
  // Up to 10 fields of the data source, separated by ";", that position the list when it opens.
  const std::string& DataIndexFields() const { return dataIndexFields_; }
  void SetDataIndexFields(std::string fields) { dataIndexFields_ = std::move(fields); }
  bool ManualSeek() const { return manualSeek_; }
  void SetManualSeek(bool manual) { manualSeek_ = manual; }
  bool ListNotEnabled() const { return listNotEnabled_; }
  void SetListNotEnabled(bool notEnabled);
  bool Right() const { return right_; }
  void SetRight(bool right) { right_ = right; }
  int DropDownCount() const { return dropDownCount_; }
  void SetDropDownCount(int count) { dropDownCount_ = count; }
  int DropDownWidth() const { return dropDownWidth_; }
  void SetDropDownWidth(int width) { dropDownWidth_ = width; }
  bool AutoSelect() const { return autoSelect_; }
  void SetAutoSelect(bool autoSelect) { autoSelect_ = autoSelect; }
  QString CharSetStyle() const { return charSetStyle_; }
  void SetCharSetStyle(const QString& style) { charSetStyle_ = style; }
  // Kept for the window's description; nothing reads it.
  const QString& ReturnedFields() const { return returnedFields_; }
  void SetReturnedFields(const QString& fields) { returnedFields_ = fields; }

  std::function<void()> OnDropDown;
  std::function<void()> OnCloseUp;
  std::function<void()> OnGridClick;

  // --- The list ---
  bool DroppedDown() const;
  void DropDown();
  // Closes the list; `accept` takes its current row.
  void CloseUp(bool accept);
  TNoxPopupGrid& Popup() { return *popup_; }
  // The list's table while it is open (nullptr otherwise).
  tables::TTable* GridTable() const { return gridTable_; }
  const TIncrementalSearch& Search() const { return search_; }
  // The lookup key of the row chosen last.
  const std::optional<std::string>& ChosenKey() const { return chosenKey_; }
  // The value the bound field receives.
  std::string Value() const;
  TNoxFieldDataLink& DataLink() { return link_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool event(QEvent* event) override;

 private:
  bool TextIsValue() const;
  std::vector<std::string> DisplayFields() const;
  tables::TTable* LookupTable() const;
  bool PrepareGridTable();
  void PositionList();
  void SizeAndPlaceList();
  void ChooseRow();
  void ListKey(QKeyEvent& event);
  void ShowSearchText();
  void ListHidden();
  void ShowField();
  void StoreOnLeaving();
  void TextEdited();
  bool FieldAccepts(QChar typed) const;
  std::string EncodedText() const;

  TNoxFieldDataLink link_;
  TNoxDataSource* lookupSource_ = nullptr;
  std::string lookupField_;
  std::string lookupDisplay_;
  TNoxLookupComboStyle style_ = TNoxLookupComboStyle::csDropDown;
  TNoxLookTableStyle lookTableStyle_ = TNoxLookTableStyle::ctNormal;
  TNoxLookupListOptions options_ = 0;
  QString lookDispLabel_;
  QFont lookTitleFont_;
  QFont lookTableFont_;
  int lookColCount_ = 0;
  QString lookColWidths_;
  std::string lookFilter_;
  std::string dataIndexFields_;
  bool manualSeek_ = false;
  bool listNotEnabled_ = false;
  bool right_ = false;
  int dropDownCount_ = 8;
  int dropDownWidth_ = 0;
  bool autoSelect_ = true;
  QString charSetStyle_ = QStringLiteral("cssAsEdit");
  QString returnedFields_;

  QToolButton* button_;
  TNoxPopupGrid* popup_;
  tables::TTable ownTable_;  // the list's table with ctNormal
  tables::TTable* gridTable_ = nullptr;
  TNoxDataSource gridSource_;
  std::string savedIndexFields_;
  TIncrementalSearch search_;
  std::optional<std::string> chosenKey_;
  bool closing_ = false;
  bool showing_ = false;
};

}  // namespace nox::controls
