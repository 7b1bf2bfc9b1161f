#pragma once
// The maker's memos: TNoxMemo holds single-byte text shown in the code page of its character set
// (CharSetStyle "cssAsLabel", "cssAsEdit" or "cssAsSystem"); TNoxDBMemo shows and edits a field of
// a data source (CharSetStyle "csAsEdit" or "csAsLabel"). Both take the grid font (forms/fonts.h)
// and keep Enter for a new line.

#include <QPlainTextEdit>
#include <string>
#include <string_view>

#include "controls/data_source.h"
#include "host/code_pages.h"

namespace nox::controls {

class TNoxMemo : public QPlainTextEdit {
  Q_OBJECT
  Q_PROPERTY(QString CharSetStyle READ CharSetStyle WRITE SetCharSetStyle)

 public:
  explicit TNoxMemo(QWidget* parent = nullptr);

  QString CharSetStyle() const { return charSetStyle_; }
  void SetCharSetStyle(const QString& style) { charSetStyle_ = style; }

  // The text in the memo's code page; a character the page lacks is refused as it is typed.
  std::string DataText() const;
  void SetDataText(std::string_view text);

 protected:
  bool event(QEvent* event) override;
  host::CodePage CodePage() const { return codePage_; }
  // Shows the single-byte text again after the code page changed.
  virtual void CodePageChanged(host::CodePage previous);

 private:
  void RefuseForeignCharacters();

  QString charSetStyle_;
  host::CodePage codePage_ = host::CodePage::Windows1257;
  QString accepted_;  // the text before the last change, for refusing a foreign character
  bool refusing_ = false;
};

class TNoxDBMemo : public TNoxMemo {
  Q_OBJECT

 public:
  explicit TNoxDBMemo(QWidget* parent = nullptr);

  TNoxDataSource* DataSource() const { return link_.DataSource(); }
  void SetDataSource(TNoxDataSource* source) { link_.SetDataSource(source); }
  const std::string& DataField() const { return link_.FieldName(); }
  void SetDataField(std::string field) { link_.SetFieldName(std::move(field)); }
  TNoxFieldDataLink& DataLink() { return link_; }

 protected:
  void CodePageChanged(host::CodePage previous) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void ShowField();
  void UserChanged();

  TNoxFieldDataLink link_;
  bool showing_ = false;
};

}  // namespace nox::controls
