#pragma once
// Controls that have no double-click signal of their own (line edits) run an action on one.

#include <QObject>
#include <functional>

namespace nox::forms {

// Runs the action whenever the control is double-clicked; the double click goes no further.
// The watcher lives as long as the control.
void OnDoubleClick(QObject& control, std::function<void()> action);

}  // namespace nox::forms
