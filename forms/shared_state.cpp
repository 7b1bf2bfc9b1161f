#include "forms/shared_state.h"

#include "convert/description_file.h"
#include "forms/char_sets.h"
#include "tables/table.h"

namespace nox::forms {

FormSharedState& FormSharedState::Instance() {
  static FormSharedState state;
  return state;
}

FormSharedState::~FormSharedState() = default;

void FormSharedState::Join(const std::filesystem::path& resourceFile,
                           const LanguageTableOpener& openLanguageTable) {
  ++holders_;
  if (!settingsList_) {
    settings_.languages.fill(1);
    settings_.charSets.fill(kBalticCharSet);
    settings_.fonts.fill("Default");
    settingsList_.emplace();
    nameCodeTable_ = BuildNameCodeTable();
    settingsDirty_ = false;
    settingsFile_ = std::filesystem::absolute(kSettingsFileName);
    settingsFileFound_ = std::filesystem::exists(settingsFile_);
    if (settingsFileFound_) {
      settingsList_->Lines() = convert::DescriptionText::ReadFile(settingsFile_).lines;
      ReadSettingsEntries(*settingsList_, DefaultTranslationDirs(), settings_, settingsDirty_);
    } else {
      settingsDirty_ = true;
    }
  }
  if (!languageTable_ && openLanguageTable) languageTable_ = openLanguageTable(resourceFile);
  if (!resourceStrings_) {
    if (std::filesystem::exists(resourceFile)) {
      resourceStrings_ = convert::DescriptionText::ReadFile(resourceFile).lines;
    } else {
      resourceStrings_ = std::vector<std::string>{"Empty"};
    }
    // The resource-string file's defaults stand in for a missing settings file.
    if (!settingsFileFound_) ReadResourceDefaults(*resourceStrings_, settings_);
    if (nameCodeTable_) ResolveCharSets(*nameCodeTable_, settings_);
  }
}

void FormSharedState::Leave() {
  if (holders_ == 0) return;
  if (--holders_ == 0) Release();
}

void FormSharedState::Release() {
  resourceStrings_.reset();
  if (languageTable_) {
    const std::unique_ptr<tables::TTable> table = std::move(languageTable_);
    table->Close();
  }
  if (!settingsList_) return;
  const bool write = settingsDirty_;
  settingsDirty_ = false;
  try {
    if (write) WriteSettingsFile();
  } catch (...) {
    settingsList_.reset();
    nameCodeTable_.reset();
    throw;
  }
  settingsList_.reset();
  nameCodeTable_.reset();
}

std::string FormSharedState::SettingValue(std::string_view name) const {
  if (!settingsList_) return {};
  return settingsList_->Find(name).value_or(std::string());
}

void FormSharedState::WriteSettingsFile() {
  if (!settingsList_) settingsList_.emplace();
  settingsList_->Lines() = SettingsFileLines(settings_);
  convert::DescriptionText text;
  text.lines = settingsList_->Lines();
  text.WriteFile(settingsFile_.empty() ? std::filesystem::absolute(kSettingsFileName)
                                       : settingsFile_);
}

}  // namespace nox::forms
