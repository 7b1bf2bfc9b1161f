#pragma once
// TNoxDBNComboBox: the data-aware list-file combo, a combo bound to one field
// of a table whose list comes from a list file (controls/list_file.h). It has
// no code cut and no question on double-click; a height of its own
// (HeightUserDef) holds whatever its window does to it.

#include <QComboBox>
#include <string>

#include "controls/list_file.h"
#include "controls/single_combo_box.h"

namespace nox::controls {

class TNoxDataSource;
class TNoxFieldDataLink;

class TNoxDBNComboBox : public QComboBox, private TListFileHost {
  Q_OBJECT
  Q_PROPERTY(QString SourceFile READ SourceFile WRITE SetSourceFile)
  Q_PROPERTY(QString Filter READ Filter WRITE SetFilter)
  Q_PROPERTY(bool ShowPopupMenu READ ShowPopupMenu WRITE SetShowPopupMenu)
  Q_PROPERTY(int MaxWidth READ MaxWidth WRITE SetMaxWidth)
  Q_PROPERTY(QString PathFromFileAlias READ PathFromFileAlias WRITE SetPathFromFileAlias)
  Q_PROPERTY(int HeightUserDef READ HeightUserDef WRITE SetHeightUserDef)
  Q_PROPERTY(TCharSetStyles::TCharSetStyle CharSetStyle READ CharSetStyle WRITE SetCharSetStyle)
  Q_PROPERTY(QStringList Messages READ Messages WRITE SetMessages)

 public:
  explicit TNoxDBNComboBox(QWidget* parent = nullptr);
  ~TNoxDBNComboBox() override;

  TNoxDataSource* DataSource() const;
  void SetDataSource(TNoxDataSource* source);
  const std::string& DataField() const;
  void SetDataField(std::string name);

  TComboBoxStyle Style() const { return style_; }
  void SetStyle(TComboBoxStyle style);
  TLoadStyle LoadStyle() const { return listFile_->LoadStyle(); }
  void SetLoadStyle(TLoadStyle style) { listFile_->SetLoadStyle(style); }
  QString SourceFile() const { return listFile_->SourceFile(); }
  void SetSourceFile(const QString& name) { listFile_->SetSourceFile(name); }
  QString Filter() const { return listFile_->Filter(); }
  void SetFilter(const QString& formula) { listFile_->SetFilter(formula); }
  bool ShowPopupMenu() const { return listFile_->ShowPopupMenu(); }
  void SetShowPopupMenu(bool on) { listFile_->SetShowPopupMenu(on); }
  int MaxWidth() const { return listFile_->MaxWidth(); }
  void SetMaxWidth(int width) { listFile_->SetMaxWidth(width); }
  // Stored only.
  QString PathFromFileAlias() const { return pathFromFileAlias_; }
  void SetPathFromFileAlias(const QString& path) { pathFromFileAlias_ = path; }
  // Above 0: the control keeps this height whenever it is resized.
  int HeightUserDef() const { return heightUserDef_; }
  void SetHeightUserDef(int height);
  TCharSetStyle CharSetStyle() const { return charSetStyle_; }
  void SetCharSetStyle(TCharSetStyle style);
  QStringList Messages() const { return listFile_->Messages(); }
  void SetMessages(const QStringList& messages) { listFile_->SetMessages(messages); }

  // The last key pressed in the control or its open list (Enter closing the
  // list counts).
  int LastKey() const { return lastKey_; }
  QStringList Items() const { return HostItems(); }

  // Its window has set its properties: warns of an owner-draw style and loads
  // the list file (lsFromAliasPath takes the directory of its own table).
  void Loaded();
  TListFile& ListFile() const { return *listFile_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  QWidget& HostWidget() override { return *this; }
  QStringList HostItems() const override;
  void SetHostItems(const QStringList& items) override;
  QString HostText() const override { return currentText(); }
  void ShowField();
  void Changed();

  TNoxFieldDataLink* link_;
  TListFile* listFile_;
  TComboBoxStyle style_ = TComboBoxStyle::csDropDown;
  QString pathFromFileAlias_;
  int heightUserDef_ = 0;
  TCharSetStyle charSetStyle_ = TCharSetStyles::cssAsEdit;
  int lastKey_ = 0;
  bool showing_ = false;
};

}  // namespace nox::controls
