#pragma once
// Services that every window offers but that live above the window framework: the calculator
// (Ctrl+K), the field settings editor (Ctrl+S), the interface translation (run at each window's
// creation) with its language table and its write-back of texts (Ctrl+Shift+L, then
// Ctrl+Shift+W). Each installs itself once at program start; a service that is not installed does
// nothing.

#include <filesystem>
#include <functional>
#include <memory>

namespace nox::tables {
class TTable;
}

namespace nox::forms {

class TNoxForm;

struct FormServices {
  std::function<void(TNoxForm& form)> showCalculator;
  std::function<void(TNoxForm& form)> editFieldSettings;
  // Opens the application language table when the first window is created, given the window's
  // resource-string file; it is kept with the shared state (forms/shared_state.h).
  std::function<std::unique_ptr<tables::TTable>(const std::filesystem::path& resourceFile)>
      openLanguageTable;
  std::function<void(TNoxForm& form)> changeLanguage;
  std::function<void(TNoxForm& form)> saveTranslation;
};

// The one process-wide set of installed services.
FormServices& InstalledServices();

}  // namespace nox::forms
