#include "controls/memo.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>

#include "forms/fonts.h"
#include "forms/text.h"

namespace nox::controls {

TNoxMemo::TNoxMemo(QWidget* parent)
    : QPlainTextEdit(parent), charSetStyle_(QStringLiteral("cssAsEdit")) {
  connect(this, &QPlainTextEdit::textChanged, this, &TNoxMemo::RefuseForeignCharacters);
}

std::string TNoxMemo::DataText() const {
  // Typing cannot bring in a character the page lacks, so the text always encodes.
  return forms::ToDataText(toPlainText(), codePage_).value_or(std::string());
}

void TNoxMemo::SetDataText(std::string_view text) {
  setPlainText(forms::FromDataText(text, codePage_));
}

void TNoxMemo::RefuseForeignCharacters() {
  if (refusing_) return;
  const QString text = toPlainText();
  if (forms::ToDataText(text, codePage_)) {
    accepted_ = text;
    return;
  }
  refusing_ = true;
  const int cursor = std::min<int>(textCursor().position(), static_cast<int>(accepted_.size()));
  setPlainText(accepted_);
  QTextCursor restored = textCursor();
  restored.setPosition(cursor);
  setTextCursor(restored);
  refusing_ = false;
  QApplication::beep();
}

bool TNoxMemo::event(QEvent* event) {
  // The window gives the memo its character set as the property "CharSet".
  if (event->type() == QEvent::DynamicPropertyChange) {
    const host::CodePage page = forms::ControlCodePage(*this);
    if (page != codePage_) {
      const host::CodePage previous = std::exchange(codePage_, page);
      CodePageChanged(previous);
    }
  }
  return QPlainTextEdit::event(event);
}

void TNoxMemo::CodePageChanged(host::CodePage previous) {
  const std::optional<std::string> bytes = forms::ToDataText(toPlainText(), previous);
  if (bytes) SetDataText(*bytes);
}

TNoxDBMemo::TNoxDBMemo(QWidget* parent) : TNoxMemo(parent), link_(this) {
  SetCharSetStyle(QStringLiteral("csAsEdit"));
  connect(&link_, &TNoxFieldDataLink::DataChanged, this, &TNoxDBMemo::ShowField);
  connect(this, &QPlainTextEdit::textChanged, this, &TNoxDBMemo::UserChanged);
  link_.SetOnUpdateData([this] { link_.WriteText(DataText()); });
}

void TNoxDBMemo::ShowField() {
  showing_ = true;
  SetDataText(link_.Text());
  setReadOnly(!link_.CanModify());
  showing_ = false;
}

void TNoxDBMemo::UserChanged() {
  if (showing_) return;
  // The first change puts the record into edit; a table that cannot edit gets its value back.
  if (!link_.Edit()) {
    ShowField();
    return;
  }
  link_.Modified();
}

void TNoxDBMemo::CodePageChanged(host::CodePage previous) {
  if (link_.IsModified()) {
    TNoxMemo::CodePageChanged(previous);  // keeps what was typed
  } else {
    ShowField();
  }
}

void TNoxDBMemo::keyPressEvent(QKeyEvent* event) {
  // Escape gives back the field's value.
  if (event->key() == Qt::Key_Escape && link_.IsModified()) {
    link_.Reset();
    return;
  }
  TNoxMemo::keyPressEvent(event);
}

}  // namespace nox::controls
