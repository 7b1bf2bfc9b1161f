#pragma once
// The interface translation of the windows: every control takes its texts from the application
// language table (forms/translation_store.h) by its name, in the language of its language class,
// and a translator writes a window's texts back into the table (Ctrl+Shift+L, Ctrl+Shift+W).
// The table's texts are single-byte: each is decoded, and written back encoded, in the code page
// of its language class's character set.
//
// Controls of the component library take part through Qt properties:
//   "Messages"       (QStringList) a list-file combo box's message list, lines "key=text";
//   "LookDispLabel"  (QString) the search label of a lookup combo box or lookup list;
//   "NavigatorHints" (QStringList) the ten button hints of a data navigator.
// A data grid (a table view other than a string grid) names the field of each column in its
// model's horizontal header data of role kFieldNameRole; translation sets the column's title.
// A radio group is a group box holding a QButtonGroup; its items are the group's buttons.

#include <QString>
#include <QStringList>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "forms/settings_file.h"

class QWidget;

namespace nox::forms {

class TNoxForm;

inline constexpr int kFieldNameRole = 0x0100;  // Qt::UserRole

// Installs the language table, the translation at each window's creation and the write-back of
// texts, for the program of that file (whose name names the language table).
void InstallTranslation(const std::filesystem::path& programFile);

// The text of a key in the language of a class, as stored; empty without a language table or an
// entry. Raises the table's error when the language has no column.
std::string LookupText(std::string_view key, LanguageClass language);
// The same decoded for showing; nothing when the text is blank.
std::optional<QString> TranslatedText(std::string_view key, LanguageClass language);

// Translates a window's caption, hint and controls.
void ChangeLanguage(TNoxForm& form);
// Asks whether the texts are common ("LANGUAGES") and stores the window's texts in the table.
void SaveCompToINI(TNoxForm& form);

// The message list of a list-file combo box, decoded in the interface language's code page.
QStringList ComboMessages();

}  // namespace nox::forms
