#pragma once
// TNoxDBEdit: the data-aware one-line edit. Beside showing and writing its
// field it checks the entered value against a range when the user leaves it,
// right-aligns numbers typed into a text field, widens itself while the user
// types, and says which language's character set its font takes.

#include <QLineEdit>
#include <QPointer>
#include <string>

#include "controls/single_combo_box.h"

namespace nox::tables {
class TField;
}

namespace nox::controls {

class TNoxDataSource;
class TNoxFieldDataLink;

class TNoxDBEdit : public QLineEdit {
  Q_OBJECT
  Q_PROPERTY(bool Right READ Right WRITE SetRight)
  Q_PROPERTY(double Min READ Min WRITE SetMin)
  Q_PROPERTY(double Max READ Max WRITE SetMax)
  Q_PROPERTY(QString Txt READ Txt WRITE SetTxt)
  Q_PROPERTY(QString Capt READ Capt WRITE SetCapt)
  Q_PROPERTY(int MaxWidth READ MaxWidth WRITE SetMaxWidth)
  Q_PROPERTY(TCharSetStyles::TCharSetStyle CharSetStyle READ CharSetStyle WRITE SetCharSetStyle)

 public:
  explicit TNoxDBEdit(QWidget* parent = nullptr);
  ~TNoxDBEdit() override;

  TNoxDataSource* DataSource() const;
  void SetDataSource(TNoxDataSource* source);
  const std::string& DataField() const;
  void SetDataField(std::string name);
  // The bound field; nullptr when unbound or closed.
  tables::TField* Field() const;

  bool Right() const { return right_; }
  void SetRight(bool right) { right_ = right; }
  double Min() const { return min_; }
  void SetMin(double min) { min_ = min; }
  double Max() const { return max_; }
  void SetMax(double max) { max_ = max; }
  QString Txt() const { return txt_; }
  void SetTxt(const QString& text) { txt_ = text; }
  QString Capt() const { return capt_; }
  void SetCapt(const QString& caption) { capt_ = caption; }
  int MaxWidth() const { return maxWidth_; }
  void SetMaxWidth(int width) { maxWidth_ = width; }
  TCharSetStyle CharSetStyle() const { return charSetStyle_; }
  void SetCharSetStyle(TCharSetStyle style);

  // The range check of a text: true when it is blank, when both bounds are 0,
  // or when its value (a date for a text with exactly two "."; a number
  // otherwise) lies within Min and Max.
  bool InRange(const QString& text) const;

 protected:
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void ShowField();
  void AlignAsField();
  void WriteToField();
  // Pads a number or a code typed into a text field on the left to the field's
  // size.
  void RightAlign();
  void Widen();

  TNoxFieldDataLink* link_;
  bool right_ = false;
  double min_ = 0;
  double max_ = 0;
  QString txt_;
  QString capt_;
  int maxWidth_ = 0;
  TCharSetStyle charSetStyle_ = TCharSetStyles::cssAsEdit;
  int savedWidth_ = 0;
  int savedLeft_ = 0;
  bool showing_ = false;
};

}  // namespace nox::controls
