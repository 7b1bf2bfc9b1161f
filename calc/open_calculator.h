#pragma once
// The calculator behind Ctrl+K on every window: it starts from the value of the control that has
// the focus in the calling window and, on transfer, writes its result back into that control.

namespace nox::forms {
class TNoxForm;
}

namespace nox::calc {

class TFormCalcul;

// Shows the calculator modally for the calling window's focused control. There is never more
// than one: a second call while one is open only beeps.
void OpenCalculator(forms::TNoxForm& caller);
// The calculator that is open, or null.
TFormCalcul* ActiveCalculator();
// Makes OpenCalculator the windows' Ctrl+K service; called once at program start.
void InstallCalculator();

}  // namespace nox::calc
