#pragma once
// Services that every window offers through its keyboard commands but that live above the window
// framework: the calculator (Ctrl+K) and the field settings editor (Ctrl+S). Each installs itself
// once at program start; a command whose service is not installed does nothing.

#include <functional>

namespace nox::forms {

class TNoxForm;

struct FormServices {
  std::function<void(TNoxForm& form)> showCalculator;
  std::function<void(TNoxForm& form)> editFieldSettings;
};

// The one process-wide set of installed services.
FormServices& InstalledServices();

}  // namespace nox::forms
