#include "controls/db_edit.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QRegularExpression>
#include <optional>

#include "controls/data_source.h"
#include "controls/leaving.h"
#include "forms/application.h"
#include "forms/fonts.h"
#include "forms/message_box.h"
#include "forms/text.h"
#include "host/date_time.h"
#include "host/number_format.h"
#include "tables/storage.h"
#include "tables/table.h"

namespace nox::controls {
namespace {

constexpr int kUnlimitedLength = 32767;  // QLineEdit's own "no limit"

bool IsTextField(const tables::TField& field) {
  return field.DataType() == tables::FieldType::String;
}

bool IsNumericField(const tables::TField& field) {
  switch (field.DataType()) {
    case tables::FieldType::SmallInt:
    case tables::FieldType::Integer:
    case tables::FieldType::Word:
    case tables::FieldType::Float:
    case tables::FieldType::Currency:
    case tables::FieldType::BCD:
    case tables::FieldType::AutoInc:
      return true;
    default:
      return false;
  }
}

// An optional sign and digits, written plainly: "0042" is "42", "+5" is "5",
// "-007" is "-7". Anything else (also a number too long for 64 bits) stays as
// typed.
QString PlainWholeNumber(const QString& text) {
  static const QRegularExpression wholeNumber(QStringLiteral("^[+-]?[0-9]+$"));
  const QString trimmed = text.trimmed();
  if (!wholeNumber.match(trimmed).hasMatch()) return text;
  bool ok = false;
  const qlonglong number = trimmed.toLongLong(&ok);
  return ok ? QString::number(number) : text;
}

}  // namespace

TNoxDBEdit::TNoxDBEdit(QWidget* parent) : QLineEdit(parent), link_(new TNoxFieldDataLink(this)) {
  forms::GuardCodePage(*this);
  connect(link_, &TNoxFieldDataLink::DataChanged, this, &TNoxDBEdit::ShowField);
  connect(this, &QLineEdit::textEdited, this, [this] {
    if (!link_->Active()) return;
    if (!link_->Edit()) {
      ShowField();
      return;
    }
    link_->Modified();
  });
  link_->SetOnUpdateData([this] { WriteToField(); });
}

TNoxDBEdit::~TNoxDBEdit() = default;

TNoxDataSource* TNoxDBEdit::DataSource() const {
  return link_->DataSource();
}

void TNoxDBEdit::SetDataSource(TNoxDataSource* source) {
  link_->SetDataSource(source);
  ShowField();
}

const std::string& TNoxDBEdit::DataField() const {
  return link_->FieldName();
}

void TNoxDBEdit::SetDataField(std::string name) {
  link_->SetFieldName(std::move(name));
  ShowField();
}

tables::TField* TNoxDBEdit::Field() const {
  return link_->Field();
}

void TNoxDBEdit::SetCharSetStyle(TCharSetStyle style) {
  charSetStyle_ = style;
  update();
}

void TNoxDBEdit::ShowField() {
  // A text field takes no more than its size: nothing typed is cut off when it is stored.
  const tables::TField* field = Field();
  setMaxLength(field != nullptr && IsTextField(*field) ? field->Size() : kUnlimitedLength);
  setText(forms::FromDataText(link_->Text(), forms::ControlCodePage(*this)));
  AlignAsField();
}

void TNoxDBEdit::AlignAsField() {
  // A number is shown right-aligned, except while it is being typed.
  const tables::TField* field = Field();
  const bool right = field != nullptr && IsNumericField(*field) && !hasFocus();
  setAlignment((right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
}

bool TNoxDBEdit::InRange(const QString& text) const {
  if (text.trimmed().isEmpty() || (min_ == 0 && max_ == 0)) return true;
  const std::optional<std::string> bytes = forms::ToDataText(text);
  if (!bytes) return false;
  double value = 0;
  if (text.count(QLatin1Char('.')) == 2) {
    const std::optional<host::CivilDate> date = host::ParseHostDate(*bytes);
    if (!date) return false;
    value = host::EncodeDate(*date);
  } else {
    const std::optional<long double> number = host::TextToFloat(*bytes);
    if (!number) return false;
    value = static_cast<double>(*number);
  }
  // Both bounds always apply: Min 5 with Max 0 lets nothing above 0 through.
  return value >= min_ && value <= max_;
}

void TNoxDBEdit::WriteToField() {
  // A value out of range is never stored, also when the record is stored
  // without leaving.
  if (!InRange(text())) throw tables::TableError(forms::ToDataText(txt_).value_or(std::string()));
  const std::optional<std::string> bytes = forms::ToDataText(text(), forms::ControlCodePage(*this));
  if (!bytes) throw tables::TableError("The text holds a character its field cannot store");
  link_->WriteText(*bytes);
}

void TNoxDBEdit::RightAlign() {
  tables::TField* field = Field();
  if (!right_ || field == nullptr || !IsTextField(*field) || text().trimmed().isEmpty()) return;
  QString typed = text();
  qsizetype end = typed.size();
  while (end > 0 && typed.at(end - 1) == QLatin1Char(' '))
    --end;
  const int size = field->Size();
  if (end >= size || !link_->Edit()) return;
  QString value = PlainWholeNumber(typed);
  value = value.size() > size ? value.right(size) : value.rightJustified(size, QLatin1Char(' '));
  // Nothing out of range is stored: the range check refuses it next.
  if (!InRange(value)) return;
  const std::optional<std::string> bytes = forms::ToDataText(value, forms::ControlCodePage(*this));
  if (!bytes) return;  // the code-page guard lets no such text in
  link_->WriteText(*bytes);
  link_->Reset();
}

void TNoxDBEdit::Widen() {
  if (width() >= maxWidth_) return;
  // The right edge stays where it was when the parent is too narrow to widen to
  // the right.
  if (parentWidget() != nullptr && parentWidget()->width() < maxWidth_ + x()) {
    move(x() - (maxWidth_ - width()), y());
  }
  resize(maxWidth_, height());
  raise();
}

void TNoxDBEdit::focusInEvent(QFocusEvent* event) {
  savedLeft_ = x();
  if (maxWidth_ > 0 && width() == maxWidth_ && savedWidth_ > 0) resize(savedWidth_, height());
  savedWidth_ = width();
  QLineEdit::focusInEvent(event);
  AlignAsField();
}

void TNoxDBEdit::keyPressEvent(QKeyEvent* event) {
  Widen();
  if (event->key() == Qt::Key_Escape && link_->IsModified()) {
    link_->Reset();
    selectAll();
    return;
  }
  QLineEdit::keyPressEvent(event);
}

void TNoxDBEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  if (!LeavesControl(*event)) return;
  bool stay = false;
  forms::RunReported([this] { RightAlign(); });
  if (!InRange(text())) {
    forms::NoxMessageBox(capt_, txt_, static_cast<int>(forms::SoobchenIcon::Error),
                         forms::kSoobchenFirstButton, forms::kSoobchenOk);
    stay = true;
  }
  move(savedLeft_, y());
  if (savedWidth_ < maxWidth_) resize(savedWidth_, height());
  if (!stay && link_->IsModified()) stay = !forms::RunReported([this] { link_->UpdateRecord(); });
  if (stay) {
    setFocus(Qt::OtherFocusReason);
    return;
  }
  AlignAsField();
}

}  // namespace nox::controls
