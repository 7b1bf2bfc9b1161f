#pragma once
// When a control is left: the controls act on leaving (cut a code, check a range, write the
// record), but a pop-up menu or list, or another window, taking the keyboard for a while is not
// leaving.

#include <QFocusEvent>

namespace nox::controls {

inline bool LeavesControl(const QFocusEvent& event) {
  return event.reason() != Qt::PopupFocusReason && event.reason() != Qt::ActiveWindowFocusReason;
}

}  // namespace nox::controls
