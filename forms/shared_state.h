#pragma once
// The state every window of the process shares: the settings list read from "Params.ini", the
// name-code table, the resource-string list, the language table and the interface settings.
//
// The first window to be created builds the objects; they stay while any window that joined them
// lives and are released (the settings file written when it lacked entries) when the last of them
// goes. So no living window ever finds them gone, and a window created after that release builds
// them again from the files. The interface settings are values that stay for the whole process.
// No windows here: the base window calls Join and Leave.

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "forms/settings_file.h"

namespace nox::tables {
class TTable;
}

namespace nox::forms {

class FormSharedState {
 public:
  // Opens the language table; given the resource-string file it may be filled from.
  using LanguageTableOpener =
      std::function<std::unique_ptr<tables::TTable>(const std::filesystem::path& resourceFile)>;

  static FormSharedState& Instance();
  ~FormSharedState();

  // A window's share of the creation sequence: builds what is absent (the settings list and
  // name-code table from "Params.ini" in the current directory, the language table through the
  // opener when one is given, the resource-string list from the window's resource-string file)
  // and reads the settings. The window is a holder from the start, also when an error stops it
  // half-way; it must then Leave like any other.
  void Join(const std::filesystem::path& resourceFile,
            const LanguageTableOpener& openLanguageTable);
  // A holder goes; the last one releases the objects, writing the settings file first when it is
  // to be rewritten. The objects are released also when that write fails, and the error raised.
  void Leave();

  InterfaceSettings& Settings() { return settings_; }
  const NameValueList* SettingsList() const { return settingsList_ ? &*settingsList_ : nullptr; }
  const NameValueList* NameCodeTable() const { return nameCodeTable_ ? &*nameCodeTable_ : nullptr; }
  const std::vector<std::string>* ResourceStringList() const {
    return resourceStrings_ ? &*resourceStrings_ : nullptr;
  }
  tables::TTable* LanguageTable() const { return languageTable_.get(); }
  int Holders() const { return holders_; }
  bool SettingsDirty() const { return settingsDirty_; }

  // The value of a settings entry; empty when there is no settings list or no such entry.
  std::string SettingValue(std::string_view name) const;
  // Replaces the settings list by the lines of the current settings and saves it to the settings
  // file.
  void WriteSettingsFile();

 private:
  FormSharedState() = default;
  void Release();

  InterfaceSettings settings_;
  std::optional<NameValueList> settingsList_;
  std::optional<NameValueList> nameCodeTable_;
  std::optional<std::vector<std::string>> resourceStrings_;
  std::unique_ptr<tables::TTable> languageTable_;
  std::filesystem::path settingsFile_;
  bool settingsFileFound_ = false;
  bool settingsDirty_ = false;
  int holders_ = 0;
};

}  // namespace nox::forms
