#include "controls/combo_box.h"

#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QMouseEvent>

#include "controls/leaving.h"
#include "forms/text.h"

namespace nox::controls {

TNoxComboBox::TNoxComboBox(QWidget* parent)
    : TNoxSingleComboBox(parent), listFile_(new TListFile(*this)) {
  forms::GuardCodePage(*this);
}

void TNoxComboBox::BeforeDropDown() {
  if (LoadStyle() == TLoadStyle::lsNone) SetItems({});
}

int TNoxComboBox::MeasureItemWidth() const {
  return listFile_->Loaded() ? listFile_->ListWidth() : TNoxSingleComboBox::MeasureItemWidth();
}

void TNoxComboBox::CutCode() {
  const int length = MaxLength();
  if (length <= 0) return;
  QString code = text();
  qsizetype start = 0;
  while (start < code.size() && code.at(start) == QLatin1Char(' '))
    ++start;
  code = code.mid(start);
  const qsizetype blank = code.indexOf(QLatin1Char(' '));
  const qsizetype dash = code.indexOf(QLatin1Char('-'));
  qsizetype cut = blank < 0 ? dash : (dash < 0 ? blank : std::min(blank, dash));
  if (cut >= 0) code.truncate(cut);
  code.truncate(length);
  if (right_ && code.size() < length) code = code.rightJustified(length, QLatin1Char(' '));
  if (code != text()) setText(code);
}

void TNoxComboBox::focusOutEvent(QFocusEvent* event) {
  if (LeavesControl(*event)) CutCode();
  TNoxSingleComboBox::focusOutEvent(event);
}

void TNoxComboBox::mouseDoubleClickEvent(QMouseEvent* event) {
  TNoxSingleComboBox::mouseDoubleClickEvent(event);
  listFile_->AskToAdd(text());
}

void TNoxComboBox::contextMenuEvent(QContextMenuEvent* event) {
  if (listFile_->OpenPopupMenu()) {
    event->accept();
    return;
  }
  TNoxSingleComboBox::contextMenuEvent(event);
}

}  // namespace nox::controls
