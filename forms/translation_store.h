#pragma once
// The translation store: the application language table, which maps keys (mostly control names)
// to texts in up to eleven languages, and the resource-string file it is first filled from. Texts
// are single-byte, as stored; the windows decode them (forms/translation.h). No windows here.

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nox::tables {
class TTable;
}

namespace nox::forms {

inline constexpr const char* kDefaultResourceFile = "NoxReStr.Ini";
inline constexpr const char* kSourceLanguageTable = "LangTabl.db";
inline constexpr const char* kKeyOrder = "iLang1";   // "Key", without regard to case
inline constexpr const char* kTextOrder = "iLang2";  // "Lang1", without regard to case
inline constexpr int kMaxLanguageColumns = 11;
inline constexpr int kNavigatorHints = 10;

// The program whose language table and resource-string file these are: its file name names the
// table, and its directory holds a resource-string file for when the current directory has none.
void SetProgramFile(const std::filesystem::path& programFile);
const std::filesystem::path& ProgramFile();

// "L" + the program file's name up to its first ".", cut to 8 characters, + ".db".
std::string LanguageTableFileName(std::string_view programFileName);

// Where the resource-string file of that name is read from: as named (the current directory),
// else beside the program, else in the installed data folder (<program dir>/../share/nox).
// The name as given when none of them holds it.
std::filesystem::path ResolveResourceFile(const std::filesystem::path& name);

// One "* key" entry of a resource-string file: its key and its texts (at most three).
struct ResourceEntry {
  std::string key;
  std::vector<std::string> texts;
};
// The entries of a resource-string file, in file order.
std::vector<ResourceEntry> ResourceEntries(const std::vector<std::string>& lines);

// The ten button hints of a data navigator for a system language: after the line
// "* Hint_" + name and the "*" lines following it, one block of ten lines per language. Nothing
// when there is no such line or the file ends before the block does.
std::optional<std::vector<std::string>> NavigatorHints(const std::vector<std::string>& lines,
                                                       std::string_view navigatorName,
                                                       int systemLanguage);

// The count of consecutive fields "Lang1", "Lang2", ... of an open table (at most eleven).
int LanguageColumnCount(tables::TTable& table);

// Opens the application language table in its directory, in key order. A table that does not
// exist is created first and, when `fill` is set, filled: from a source table in the current
// directory (the table's own name, then "LangTabl.db"), else from the resource-string file. A
// copy or import that fails half-way keeps what it stored and reports the error as a warning.
std::unique_ptr<tables::TTable> OpenLanguageTable(const std::filesystem::path& directory,
                                                  const std::string& fileName,
                                                  const std::filesystem::path& resourceFile,
                                                  bool fill);

// The text of the first entry whose key equals `key` without regard to case, in column
// "Lang" + language; empty when there is none. Raises the table's error for an unknown field when
// the table has no such column.
std::string LookupText(tables::TTable& table, std::string_view key, int language);

// Stores a text under a key: nothing for a blank text; an existing key only takes the common flag
// "S" (its texts stay); a new key takes the text as "Lang1" and, from the first entry whose
// "Lang1" is the same text (without regard to case), its languages 2 to `columns`.
void StoreText(tables::TTable& table, std::string_view key, std::string_view text,
               std::string_view flag, int columns);

// The eight message keys of the list-file combo boxes.
inline constexpr const char* kCBCancelChanges = "NOXCBCancelChanges";
inline constexpr const char* kCBSaveChanges = "NOXCBSaveChanges";
inline constexpr const char* kCBPopupMenu1 = "NoxCBPopupMenu_1";
inline constexpr const char* kCBPopupMenu2 = "NoxCBPopupMenu_2";
inline constexpr const char* kCBStylePropertyError = "NOXCBStylePropertyError";
inline constexpr const char* kCBEmptySourceFileValue = "NOXCBEmptySourceFileValue";
inline constexpr const char* kCBCanNotCreteFile = "NOXCBCanNotCreteFile";
inline constexpr const char* kCBAddStringToList = "NOXCBAddStringToList";
inline constexpr std::array<const char*, 8> kComboMessageKeys = {
    kCBCancelChanges,      kCBSaveChanges,          kCBPopupMenu1,      kCBPopupMenu2,
    kCBStylePropertyError, kCBEmptySourceFileValue, kCBCanNotCreteFile, kCBAddStringToList};
// The message list of a list-file combo box: "key=text" for each message key that has a text.
std::vector<std::string> ComboMessageLines(
    const std::function<std::string(std::string_view key)>& lookup);

// Empty, or only blanks and control characters.
bool IsBlankText(std::string_view text);

}  // namespace nox::forms
