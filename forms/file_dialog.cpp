#include "forms/file_dialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>
#include <utility>

#include "forms/translation.h"

namespace nox::forms {
namespace {

FileDialogTestHook& InstalledHook() {
  static FileDialogTestHook hook;
  return hook;
}

// "Tables (*.db;*.dbf)|*.db;*.dbf" becomes Qt's "Tables (*.db *.dbf)": the description carries the
// patterns Qt matches.
QString QtFilter(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    QString description = parts[i];
    const qsizetype open = description.indexOf(QLatin1Char('('));
    if (open >= 0) description.truncate(open);
    filters << description.trimmed() + QStringLiteral(" (") + patterns + QLatin1Char(')');
  }
  return filters.join(QStringLiteral(";;"));
}

}  // namespace

ScopedFileDialogTestHook::ScopedFileDialogTestHook(FileDialogTestHook hook)
    : previous_(std::exchange(InstalledHook(), std::move(hook))) {}

ScopedFileDialogTestHook::~ScopedFileDialogTestHook() {
  InstalledHook() = std::move(previous_);
}

std::optional<QString> RunFileDialog(QWidget* parent, const FileDialogSpec& named) {
  FileDialogSpec spec = named;
  if (!spec.name.isEmpty()) {
    if (std::optional<QString> title =
            TranslatedText(spec.name.toStdString(), LanguageClass::System)) {
      spec.title = *title;
    }
  }
  if (const FileDialogTestHook& hook = InstalledHook()) return hook(spec);
  QFileDialog dialog(parent, spec.title);
  dialog.setNameFilter(QtFilter(spec.filter));
  dialog.setDefaultSuffix(spec.defaultSuffix);
  const bool save = spec.kind == FileDialogSpec::Kind::Save;
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
  if (!spec.fileName.isEmpty()) {
    const QFileInfo initial(spec.fileName);
    if (initial.isAbsolute()) dialog.setDirectory(initial.absolutePath());
    if (!spec.fileName.contains(QLatin1Char('*'))) dialog.selectFile(initial.fileName());
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front();
}

}  // namespace nox::forms
