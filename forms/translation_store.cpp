#include "forms/translation_store.h"

#include <algorithm>
#include <exception>

#include "convert/description_file.h"
#include "host/messages.h"
#include "tables/table.h"
#include "tables/value_convert.h"

namespace nox::forms {
namespace {

using tables::TTable;
using tables::Value;

std::filesystem::path& ProgramFileStore() {
  static std::filesystem::path programFile;
  return programFile;
}

std::string LanguageColumn(int language) {
  return "Lang" + std::to_string(language);
}

bool StartsWithStar(std::string_view line) {
  return !line.empty() && line.front() == '*';
}

std::string TrimmedRight(std::string_view text) {
  while (!text.empty() && static_cast<unsigned char>(text.back()) <= ' ')
    text.remove_suffix(1);
  return std::string(text);
}

// The file keeps only the primary index; the two case-insensitive orders are kept in memory.
void DeclareOrders(TTable& table) {
  for (const auto& [name, field] : {std::pair{kKeyOrder, "Key"}, std::pair{kTextOrder, "Lang1"}}) {
    auto& indexes = table.IndexDefs();
    const bool present = std::any_of(indexes.begin(), indexes.end(), [&](const auto& index) {
      return tables::EqualNoCase(index.name, name);
    });
    if (!present) indexes.push_back({name, field, tables::ixCaseInsensitive});
  }
}

void UseOrder(TTable& table, const char* order) {
  if (!tables::EqualNoCase(table.IndexName(), order) || !table.IndexFieldNames().empty()) {
    table.SetIndexName(order);
  }
}

// The file knows only its primary index: the table opens in that order, then takes the key order.
void OpenInKeyOrder(TTable& table) {
  table.SetIndexName("");
  table.Open();
  DeclareOrders(table);
  UseOrder(table, kKeyOrder);
}

void SetText(TTable& table, std::string_view field, std::string_view text) {
  table.FieldByName(field).SetAsString(text);
}

// Copies a source table's entries; an entry whose key is there already is taken only when the
// source marks it common.
void CopyEntries(TTable& source, TTable& target) {
  const int columns = std::min(LanguageColumnCount(source), LanguageColumnCount(target));
  const tables::TField* sys = source.FindField("Sys");
  for (source.First(); !source.Eof(); source.Next()) {
    const std::string key = source.FieldByName("Key").AsString();
    if (target.FindKey({Value::Text(key)})) {
      if (sys == nullptr || !tables::EqualNoCase(tables::TrimBlanks(sys->AsString()), "S")) {
        continue;
      }
      target.Edit();
    } else {
      target.Append();
    }
    SetText(target, "Key", key);
    for (int column = 1; column <= columns; ++column) {
      SetText(target, LanguageColumn(column),
              source.FieldByName(LanguageColumn(column)).AsString());
    }
    target.Post();
  }
}

void ImportEntries(const std::vector<std::string>& lines, TTable& target) {
  for (const ResourceEntry& entry : ResourceEntries(lines)) {
    if (IsBlankText(entry.key) || target.FindKey({Value::Text(entry.key)})) continue;
    target.Append();
    SetText(target, "Key", entry.key);
    for (std::size_t i = 0; i < entry.texts.size(); ++i) {
      SetText(target, LanguageColumn(static_cast<int>(i) + 1), entry.texts[i]);
    }
    target.Post();
  }
}

// A fill that fails keeps what it stored: the entries are useful, and the next start does not
// fill an existing table again.
template <typename Fill>
void FillKeepingWhatWasStored(TTable& table, const std::string& from, Fill&& fill) {
  try {
    fill();
  } catch (const std::exception& error) {
    table.Cancel();
    host::ShowMessage(host::MessageKind::Warning, "Language table '" + table.TableName() +
                                                      "' filled only in part from '" + from +
                                                      "': " + error.what());
  }
}

void Fill(TTable& table, const std::optional<std::filesystem::path>& source,
          const std::filesystem::path& resourceFile) {
  OpenInKeyOrder(table);
  if (source) {
    FillKeepingWhatWasStored(table, source->filename().string(), [&] {
      TTable sourceTable;
      sourceTable.SetDatabaseName(source->parent_path().string());
      sourceTable.SetTableName(source->filename().string());
      sourceTable.Open();
      CopyEntries(sourceTable, table);
      sourceTable.Close();
    });
  } else if (std::filesystem::exists(resourceFile)) {
    FillKeepingWhatWasStored(table, resourceFile.filename().string(), [&] {
      ImportEntries(convert::DescriptionText::ReadFile(resourceFile).lines, table);
    });
  }
  table.Close();
}

// A table to copy the entries from: in the current directory, the language table's own name,
// then "LangTabl.db".
std::optional<std::filesystem::path> SourceTable(const std::string& fileName) {
  const std::filesystem::path directory = std::filesystem::current_path();
  for (const std::string& name : {fileName, std::string(kSourceLanguageTable)}) {
    TTable candidate;
    candidate.SetDatabaseName(directory.string());
    candidate.SetTableName(name);
    const std::filesystem::path path = candidate.FilePath();
    if (std::filesystem::is_regular_file(path)) return path;
  }
  return std::nullopt;
}

void CreateLanguageTable(TTable& table) {
  using tables::FieldType;
  table.FieldDefs() = {{"KeyPx", FieldType::AutoInc},     {"Key", FieldType::String, 40},
                       {"Sys", FieldType::String, 1},     {"Lang1", FieldType::String, 250},
                       {"Lang2", FieldType::String, 250}, {"Lang3", FieldType::String, 250}};
  table.IndexDefs() = {{"", "KeyPx", tables::ixPrimary | tables::ixUnique}};
  DeclareOrders(table);
  table.CreateTable();
}

}  // namespace

void SetProgramFile(const std::filesystem::path& programFile) {
  ProgramFileStore() = programFile;
}

const std::filesystem::path& ProgramFile() {
  return ProgramFileStore();
}

std::string LanguageTableFileName(std::string_view programFileName) {
  const std::size_t separator = programFileName.find_last_of("/\\:");
  if (separator != std::string_view::npos) programFileName.remove_prefix(separator + 1);
  std::string name = "L" + std::string(programFileName.substr(0, programFileName.find('.')));
  name.resize(std::min<std::size_t>(name.size(), 8));
  return name + ".db";
}

std::filesystem::path ResolveResourceFile(const std::filesystem::path& name) {
  if (name.is_absolute() || std::filesystem::exists(name)) return name;
  const std::filesystem::path& program = ProgramFile();
  if (program.empty()) return name;
  const std::filesystem::path directory = std::filesystem::absolute(program).parent_path();
  for (const std::filesystem::path& place :
       {directory / name, (directory / ".." / "share" / "nox" / name).lexically_normal()}) {
    if (std::filesystem::exists(place)) return place;
  }
  return name;
}

std::vector<ResourceEntry> ResourceEntries(const std::vector<std::string>& lines) {
  std::vector<ResourceEntry> entries;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (!StartsWithStar(lines[i])) continue;
    ResourceEntry entry;
    entry.key = TrimmedRight(lines[i].size() > 2 ? std::string_view(lines[i]).substr(2) : "");
    for (std::size_t j = i + 1; j < lines.size() && entry.texts.size() < 3; ++j) {
      if (IsBlankText(lines[j])) break;
      if (!StartsWithStar(lines[j])) entry.texts.push_back(lines[j]);
    }
    entries.push_back(std::move(entry));
  }
  return entries;
}

std::optional<std::vector<std::string>> NavigatorHints(const std::vector<std::string>& lines,
                                                       std::string_view navigatorName,
                                                       int systemLanguage) {
  if (systemLanguage < 1) return std::nullopt;
  const std::string header = "* Hint_" + std::string(navigatorName);
  const auto found = std::find_if(lines.begin(), lines.end(), [&](const std::string& line) {
    return tables::EqualNoCase(TrimmedRight(line), header);
  });
  if (found == lines.end()) return std::nullopt;
  std::size_t last = static_cast<std::size_t>(found - lines.begin());
  while (last + 1 < lines.size() && StartsWithStar(lines[last + 1]))
    ++last;
  last += static_cast<std::size_t>(systemLanguage - 1) * kNavigatorHints;
  if (lines.size() <= last + kNavigatorHints) return std::nullopt;
  return std::vector<std::string>(
      lines.begin() + static_cast<std::ptrdiff_t>(last + 1),
      lines.begin() + static_cast<std::ptrdiff_t>(last + 1) + kNavigatorHints);
}

int LanguageColumnCount(TTable& table) {
  int count = 0;
  while (count < kMaxLanguageColumns && table.FindField(LanguageColumn(count + 1)) != nullptr)
    ++count;
  return count;
}

std::unique_ptr<TTable> OpenLanguageTable(const std::filesystem::path& directory,
                                          const std::string& fileName,
                                          const std::filesystem::path& resourceFile, bool fill) {
  auto table = std::make_unique<TTable>();
  table->SetDatabaseName(directory.string());
  table->SetTableName(fileName);
  if (!std::filesystem::exists(table->FilePath())) {
    // Looked for before the table exists, so that a language table in the current directory is
    // never taken as its own source.
    const std::optional<std::filesystem::path> source = SourceTable(fileName);
    CreateLanguageTable(*table);
    if (fill) Fill(*table, source, resourceFile);
  }
  OpenInKeyOrder(*table);
  return table;
}

std::string LookupText(TTable& table, std::string_view key, int language) {
  tables::TField& column = table.FieldByName(LanguageColumn(language));
  UseOrder(table, kKeyOrder);
  if (!table.FindKey({Value::Text(std::string(key))})) return {};
  return column.AsString();
}

void StoreText(TTable& table, std::string_view key, std::string_view text, std::string_view flag,
               int columns) {
  if (IsBlankText(text)) return;
  UseOrder(table, kKeyOrder);
  if (table.FindKey({Value::Text(std::string(key))})) {
    if (flag == "S") {
      table.Edit();
      SetText(table, "Sys", "S");
      table.Post();
    }
    return;
  }
  std::vector<std::string> otherLanguages;
  UseOrder(table, kTextOrder);
  if (table.FindKey({Value::Text(std::string(text))})) {
    for (int column = 2; column <= columns; ++column)
      otherLanguages.push_back(table.FieldByName(LanguageColumn(column)).AsString());
  }
  UseOrder(table, kKeyOrder);
  table.Append();
  SetText(table, "Key", key);
  SetText(table, "Sys", flag);
  SetText(table, "Lang1", text);
  for (std::size_t i = 0; i < otherLanguages.size(); ++i) {
    SetText(table, LanguageColumn(static_cast<int>(i) + 2), otherLanguages[i]);
  }
  table.Post();
}

std::vector<std::string> ComboMessageLines(
    const std::function<std::string(std::string_view key)>& lookup) {
  std::vector<std::string> lines;
  for (const char* key : kComboMessageKeys) {
    const std::string text = lookup(key);
    if (!IsBlankText(text)) lines.push_back(std::string(key) + "=" + text);
  }
  return lines;
}

bool IsBlankText(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

}  // namespace nox::forms
