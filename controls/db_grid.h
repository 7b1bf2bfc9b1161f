#pragma once
// TNoxDBGrid: the data grid of the maker's controls. It shows a data source's table through a
// TNoxTableModel, follows the table's current record and moves it when the user picks a row; an
// edited cell stores its record at once. Its texts are shown in the code page of its character
// set (CharSetStyle, forms/fonts.h), its titles in the interface's. The window fits its columns to
// its width unless CutCols is set (forms/nox_form.h). A table larger than the model's window of
// rows gets a scroll bar of the grid's own over the whole order, which moves the window as it goes.

#include <QFont>
#include <QTableView>
#include <cstddef>
#include <optional>

#include "controls/data_source.h"
#include "controls/table_model.h"

class QScrollBar;

namespace nox::controls {

class TNoxDBGrid : public QTableView {
  Q_OBJECT
  Q_PROPERTY(bool CutCols READ CutCols WRITE SetCutCols)
  Q_PROPERTY(QString CharSetStyle READ CharSetStyle WRITE SetCharSetStyle)

 public:
  explicit TNoxDBGrid(QWidget* parent = nullptr);

  TNoxDataSource* DataSource() const { return model_.DataSource(); }
  void SetDataSource(TNoxDataSource* source);
  TNoxTableModel& Model() { return model_; }

  // True: the grid keeps its own column widths when the window is resized.
  bool CutCols() const { return cutCols_; }
  void SetCutCols(bool cutCols) { cutCols_ = cutCols; }
  // "cssAsLabel", "cssAsEdit" (default) or "cssAsSystem".
  QString CharSetStyle() const { return charSetStyle_; }
  void SetCharSetStyle(const QString& style) { charSetStyle_ = style; }
  bool ReadOnly() const { return model_.ReadOnly(); }
  void SetReadOnly(bool readOnly);
  // The font of the current row; none: the grid's own.
  const std::optional<QFont>& ActiveRowFont() const { return activeRowFont_; }
  void SetActiveRowFont(std::optional<QFont> font);

  // Widths from the fields' sizes, in characters of the grid's font (at most 40 each).
  void SizeColumnsToFields();
  // Moves the view to the table's current record.
  void ShowCurrentRecord();
  // The scroll bar over the whole order, shown instead of the view's own while the model shows a
  // window of the table.
  QScrollBar& PositionBar() const { return *positionBar_; }
  // The order position of the top row shown.
  std::size_t TopPosition() const;

 protected:
  bool event(QEvent* event) override;
  void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
  void keyPressEvent(QKeyEvent* event) override;
  void updateGeometries() override;

 private:
  void FollowCodePage();
  // The window moved or the rows changed: the position bar and the current row follow.
  void WindowChanged();
  // The view scrolled: the window moves before the view reaches its edges.
  void SyncPositionBar();
  void ViewScrolled(int topRow);
  void PositionBarMoved(int topPosition);
  int VisibleRows() const;

  TNoxTableModel model_;
  bool cutCols_ = false;
  QString charSetStyle_ = QStringLiteral("cssAsEdit");
  std::optional<QFont> activeRowFont_;
  bool following_ = false;  // the view moves because the table did
  QScrollBar* positionBar_;
  bool syncing_ = false;   // the scroll bars are being set to each other
  int currentColumn_ = 0;  // kept while the model is reset, so that the column stays
};

}  // namespace nox::controls
