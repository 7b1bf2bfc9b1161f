#pragma once
// TNoxComboBox: the list-file combo. Its choices come from a list file that the user grows (the
// Add/Edit menu, a double-click) and edits in place; on leaving, a chosen line such as
// "01 - First" is cut back to its code.

#include "controls/list_file.h"
#include "controls/single_combo_box.h"

namespace nox::controls {

class TNoxComboBox : public TNoxSingleComboBox, private TListFileHost {
  Q_OBJECT
  Q_PROPERTY(QString SourceFile READ SourceFile WRITE SetSourceFile)
  Q_PROPERTY(QString Filter READ Filter WRITE SetFilter)
  Q_PROPERTY(bool ShowPopupMenu READ ShowPopupMenu WRITE SetShowPopupMenu)
  Q_PROPERTY(bool Right READ Right WRITE SetRight)
  Q_PROPERTY(int MaxWidth READ MaxWidth WRITE SetMaxWidth)
  Q_PROPERTY(TCharSetStyles::TCBCharSetStyle CharSetStyle READ CharSetStyle WRITE SetCharSetStyle)
  Q_PROPERTY(int NumGlyphs READ NumGlyphs WRITE SetNumGlyphs)
  Q_PROPERTY(QString PathFromFileAlias READ PathFromFileAlias WRITE SetPathFromFileAlias)
  Q_PROPERTY(int HeightUserDef READ HeightUserDef WRITE SetHeightUserDef)
  // key=text lines; the interface translation fills them, missing ones give the built-in texts.
  Q_PROPERTY(QStringList Messages READ Messages WRITE SetMessages)

 public:
  explicit TNoxComboBox(QWidget* parent = nullptr);

  TLoadStyle LoadStyle() const { return listFile_->LoadStyle(); }
  void SetLoadStyle(TLoadStyle style) { listFile_->SetLoadStyle(style); }
  QString SourceFile() const { return listFile_->SourceFile(); }
  void SetSourceFile(const QString& name) { listFile_->SetSourceFile(name); }
  tables::TTable* AlFromTable() const { return listFile_->AlFromTable(); }
  void SetAlFromTable(tables::TTable* table) { listFile_->SetAlFromTable(table); }
  QString Filter() const { return listFile_->Filter(); }
  void SetFilter(const QString& formula) { listFile_->SetFilter(formula); }
  bool ShowPopupMenu() const { return listFile_->ShowPopupMenu(); }
  void SetShowPopupMenu(bool on) { listFile_->SetShowPopupMenu(on); }
  bool Right() const { return right_; }
  void SetRight(bool right) { right_ = right; }
  int MaxWidth() const { return listFile_->MaxWidth(); }
  void SetMaxWidth(int width) { listFile_->SetMaxWidth(width); }
  TCBCharSetStyle CharSetStyle() const { return charSetStyle_; }
  void SetCharSetStyle(TCBCharSetStyle style) { charSetStyle_ = style; }
  int NumGlyphs() const { return numGlyphs_; }
  void SetNumGlyphs(int count) { numGlyphs_ = count; }
  // Stored only.
  QString PathFromFileAlias() const { return pathFromFileAlias_; }
  void SetPathFromFileAlias(const QString& path) { pathFromFileAlias_ = path; }
  int HeightUserDef() const { return heightUserDef_; }
  void SetHeightUserDef(int height) { heightUserDef_ = height; }
  QStringList Messages() const { return listFile_->Messages(); }
  void SetMessages(const QStringList& messages) { listFile_->SetMessages(messages); }

  // Its window has set its properties: loads the list file.
  void Loaded() { listFile_->Load(); }
  TListFile& ListFile() const { return *listFile_; }

 protected:
  void BeforeDropDown() override;
  int MeasureItemWidth() const override;
  void focusOutEvent(QFocusEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  QWidget& HostWidget() override { return *this; }
  QStringList HostItems() const override { return Items(); }
  void SetHostItems(const QStringList& items) override { SetItems(items); }
  QString HostText() const override { return text(); }
  // The text cut to its code: no leading blanks, up to the first blank or "-", at most the
  // maximum length; with Right padded on the left to it.
  void CutCode();

  TListFile* listFile_;
  bool right_ = false;
  TCBCharSetStyle charSetStyle_ = TCharSetStyles::csAsEdit;
  int numGlyphs_ = 1;
  QString pathFromFileAlias_;
  int heightUserDef_ = 0;
};

}  // namespace nox::controls
