#pragma once
// Every open and save dialog of the program runs through RunFileDialog, so that tests can choose a
// file without a window: a hook installed for the test gives the answer.

#include <QString>
#include <QWidget>
#include <functional>
#include <optional>

namespace nox::forms {

// The filter of the dialogs that choose a table.
inline constexpr const char* kTablesFilter = "Tables (*.db;*.dbf)|*.db;*.dbf";

struct FileDialogSpec {
  enum class Kind { Open, Save };
  Kind kind = Kind::Open;
  QString title;
  // The dialog's name: its title is translated by it (system language) when the language table
  // has a text for it.
  QString name;
  // "Description (*.a;*.b)|*.a;*.b" pairs separated by "|", as the windows name them.
  QString filter;
  QString defaultSuffix;  // added to a typed name without one (no dot)
  QString fileName;       // the initial name: a full path or a pattern such as "*.cnv"
};

// Gives the chosen path, or nothing when the dialog is cancelled. A save dialog does not ask
// before replacing an existing file.
std::optional<QString> RunFileDialog(QWidget* parent, const FileDialogSpec& spec);

// Given the dialog's description, gives the answer instead of showing it.
using FileDialogTestHook = std::function<std::optional<QString>(const FileDialogSpec& spec)>;

// Installs the hook for the life of this object (one at a time; the previous one comes back).
class ScopedFileDialogTestHook {
 public:
  explicit ScopedFileDialogTestHook(FileDialogTestHook hook);
  ~ScopedFileDialogTestHook();
  ScopedFileDialogTestHook(const ScopedFileDialogTestHook&) = delete;
  ScopedFileDialogTestHook& operator=(const ScopedFileDialogTestHook&) = delete;

 private:
  FileDialogTestHook previous_;
};

}  // namespace nox::forms
