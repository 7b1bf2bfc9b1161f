#pragma once
// TNoxStringGrid and TNoxListBox: the maker's grid of texts and list. Their cells and items hold
// single-byte texts, shown in the code page of the control's character set and shown again when
// the window gives it another (forms/fonts.h). Both take the grid font; the string grid's fixed
// titles take the grid-caption font and the interface's character set.

#include <QListWidget>
#include <QTableWidget>
#include <string>
#include <string_view>

#include "host/code_pages.h"

namespace nox::controls {

class TNoxStringGrid : public QTableWidget {
  Q_OBJECT
  Q_PROPERTY(QString CharSetStyle READ CharSetStyle WRITE SetCharSetStyle)

 public:
  explicit TNoxStringGrid(QWidget* parent = nullptr);

  // "cssAsLabel", "cssAsEdit" (default) or "cssAsSystem".
  QString CharSetStyle() const { return charSetStyle_; }
  void SetCharSetStyle(const QString& style) { charSetStyle_ = style; }

  // The text of a cell, as stored; the grid grows to hold the cell.
  std::string Cells(int column, int row) const;
  void SetCells(int column, int row, std::string_view text);

 protected:
  bool event(QEvent* event) override;

 private:
  QString charSetStyle_ = QStringLiteral("cssAsEdit");
  host::CodePage codePage_ = host::CodePage::Windows1257;
  bool updating_ = false;
};

class TNoxListBox : public QListWidget {
  Q_OBJECT
  Q_PROPERTY(QString LoadAs READ LoadAs WRITE SetLoadAs)

 public:
  explicit TNoxListBox(QWidget* parent = nullptr);

  // The language of the items: "AsLabel" (default), "AsEdit" or "AsSystem".
  QString LoadAs() const { return loadAs_; }
  void SetLoadAs(const QString& loadAs) { loadAs_ = loadAs; }

  // Items with single-byte texts.
  void AddDataItem(std::string_view text);
  std::string DataItem(int row) const;

 protected:
  bool event(QEvent* event) override;

 private:
  QString loadAs_ = QStringLiteral("AsLabel");
  host::CodePage codePage_ = host::CodePage::Windows1257;
};

}  // namespace nox::controls
