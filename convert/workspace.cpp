#include "convert/workspace.h"

#include <exception>
#include <system_error>
#include <utility>

#include "formula/exchange_rate.h"
#include "host/messages.h"

namespace nox::convert {
namespace {

using namespace description_keys;
using namespace description_messages;

char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string UpperCase(std::string_view text) {
  std::string result(text);
  for (char& c : result)
    c = UpperAscii(c);
  return result;
}

bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  }
  return true;
}

void Report(std::string_view text) {
  host::ShowMessage(host::MessageKind::Error, text);
}

// A value with a line break would split its line when the text is saved and read again.
bool RefuseLineBreak(std::string_view value, std::string_view what) {
  if (value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos) return false;
  std::string message(what);
  message.append(" must not contain a line break.");
  Report(message);
  return true;
}

// A pair of table paths a description can hold: no line breaks, and not one table twice.
bool RefuseTablePaths(std::string_view sourcePath, std::string_view targetPath) {
  if (RefuseLineBreak(sourcePath, "The source path") ||
      RefuseLineBreak(targetPath, "The target path"))
    return true;
  if (sourcePath != targetPath) return false;
  Report(workspace_messages::kSameFile);
  return true;
}

std::string NotFoundMessage(std::string_view name, std::string_view side) {
  std::string message("Not found field ");
  message.append(host::InputForMessage(name)).append(" in ").append(side).append(" file.\rChange ");
  message.append(side).append(" file.");
  return message;
}

FieldRow RowOf(tables::TField& field) {
  FieldRow row;
  row.name = field.FieldName();
  const std::string_view typeName = tables::FieldTypeListName(field.DataType());
  if (!typeName.empty()) row.type = std::string(typeName.substr(0, 1));
  row.size = std::to_string(field.Size());
  return row;
}

void FillList(FieldList& list, tables::TTable& table) {
  list.rows.clear();
  for (int i = 0; i < table.FieldCount(); ++i)
    list.rows.push_back(RowOf(table.Fields(i)));
  list.selected = -1;
  list.enabled = true;
}

void RequireRow(int row, int count, std::string_view operation, std::string_view list) {
  if (row >= 0 && row < count) return;
  std::string message(operation);
  message.append(": there is no row ").append(std::to_string(row)).append(" in the ");
  message.append(list).append(" list.");
  throw WorkspaceError(message);
}

void RequireEnabled(bool enabled, std::string_view what) {
  if (enabled) return;
  std::string message(what);
  message.append(" is not available now.");
  throw WorkspaceError(message);
}

}  // namespace

std::string_view FileNamePart(std::string_view path) {
  const std::size_t separator = path.find_last_of("\\/:");
  return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

std::string_view DirectoryPart(std::string_view path) {
  const std::size_t separator = path.find_last_of("\\/:");
  return separator == std::string_view::npos ? std::string_view() : path.substr(0, separator + 1);
}

std::string ShortenForLabel(std::string_view text, int labelWidth, int averageCharWidth) {
  if (averageCharWidth <= 0) return std::string(text);
  if (static_cast<long long>(text.size()) * averageCharWidth <= labelWidth)
    return std::string(text);
  const std::size_t keep = static_cast<std::size_t>(labelWidth / averageCharWidth) + 2;
  std::string shown("..");
  shown.append(keep >= text.size() ? text : text.substr(text.size() - keep));
  return shown;
}

int FieldList::Find(std::string_view name) const {
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (SameText(rows[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

Workspace::Workspace() {
  TableSource.SetName("TableSource");
  TableTarget.SetName("TableTarget");
  TableKeyViol.SetName("TableKeyViol");
  TablKursVal.SetName("TablKursVal");
  formula::ConfigureExchangeRateTable(TablKursVal);
  formula::SetExchangeRateTable(&TablKursVal);
}

Workspace::~Workspace() {
  // The lookup must not keep a table that is gone.
  if (formula::ExchangeRateTable() == &TablKursVal) formula::SetExchangeRateTable(nullptr);
}

void Workspace::ShowError() {
  if (status_ != nullptr) status_->ShowError();
}

void Workspace::ShowReady() {
  if (status_ != nullptr) status_->ShowReady();
}

// --- Load sequence ---

bool Workspace::OpenSide(tables::TTable& table, std::string path, bool isSource) {
  if (DdeLink && DdePathLines.size() == 2) {
    std::string replaced = DdePathLines[isSource ? 0 : 1];
    replaced.append(FileNamePart(path));
    path = std::move(replaced);
  }
  // A side whose file is missing must not go on showing the previous description's table.
  table.Close();
  table.SetDatabaseName(std::string(DirectoryPart(path)));
  table.SetTableName(std::string(FileNamePart(path)));
  std::error_code error;
  if (!std::filesystem::is_regular_file(table.FilePath(), error)) {
    std::string message(isSource ? "" : "\r");
    message.append("Table does not exist. File: ").append(host::InputForMessage(path));
    message.append("\r\r");
    message.append(isSource ? "Change Source file." : "Change Target file.");
    Report(message);
    LoadOk = false;
    ShowError();
    return false;
  }
  (isSource ? LSourcePath : LTargetPath) = UpperCase(DirectoryPart(path));
  (isSource ? LSourceName : LTargetName) = std::string(FileNamePart(path));
  if (!isSource) Commands.saveAs = true;
  const std::string_view fileName = FileNamePart(path);
  if (const std::size_t dot = fileName.find('.'); dot != std::string_view::npos) {
    const std::string extension = UpperCase(fileName.substr(dot + 1));
    if (extension == "DBF") table.SetTableType(tables::TableType::DBase);
    if (extension == "DB") table.SetTableType(tables::TableType::Paradox);
  }
  table.Open();
  return true;
}

void Workspace::ReadFilesSection() {
  LoadOk = true;
  try {
    const std::optional<std::string> source = CFile.Value(DescriptionLine::Source);
    if (!source) {
      Report(kSourceNotDefined);
      LoadOk = false;
      ShowError();
      return;
    }
    OpenSide(TableSource, *source, true);
    const std::optional<std::string> target = CFile.Value(DescriptionLine::Target);
    if (!target) {
      Report(kTargetNotDefined);
      LoadOk = false;
      ShowError();
      return;
    }
    OpenSide(TableTarget, *target, false);
    if (TableSource.Active() && TableTarget.Active()) {
      FillFieldLists();
      Commands.save = false;
    } else {
      LockWorkspace();
    }
    Modified = false;
  } catch (const std::exception& error) {
    // A table that exists but cannot be opened (damaged, locked): the engine's text.
    Report(error.what());
    LoadOk = false;
    ShowError();
    LockWorkspace();
  }
}

void Workspace::FillFieldLists() {
  FillList(SGSource, TableSource);
  FillList(SGTarget, TableTarget);
  const std::optional<std::string> pack = CFile.Value(DescriptionLine::PackFields);
  if (!pack) {
    Report(kOptionsMalformed);
    return;
  }
  EditPack = *pack;
  const std::optional<std::string> filter = CFile.Value(DescriptionLine::Filter);
  if (!filter) {
    Report(kOptionsMalformed);
    return;
  }
  EditFilter = *filter;
  SGSource.enabled = true;
  SGTarget.enabled = true;
  Commands.sbSave = true;
}

void Workspace::ReadRelationsSection() {
  const int header = CFile.FindSection(kRelations);
  SGRelat.visible = false;
  SGRelat.rows.assign(1, RelationRow{});
  SGRelat.selected = -1;
  LBFunc.clear();
  // Marks follow the relations read, so a rebuild after Delete leaves no stale mark behind.
  for (FieldList* list : {&SGSource, &SGTarget}) {
    for (FieldRow& row : list->rows)
      row.mark = std::string(kNoMark);
  }
  for (std::size_t i = static_cast<std::size_t>(header + 1); i < CFile.lines.size(); ++i) {
    const RelationLine relation = RelationLine::Parse(CFile.lines[i]);
    SGRelat.rows.back() = RelationRow{relation.source, std::string(kRelationLink), relation.target};
    const int source = SGSource.Find(relation.source);
    if (source >= 0) {
      SGSource.rows[static_cast<std::size_t>(source)].mark = std::string(kLinkMark);
    } else if (!relation.IsFormula()) {
      SGRelat.rows.back() = RelationRow{};
      Report(NotFoundMessage(relation.source, "Source"));
      LoadOk = false;
      LockWorkspace();
      return;
    }
    const int target = SGTarget.Find(relation.target);
    if (target < 0) {
      SGRelat.rows.back() = RelationRow{};
      Report(NotFoundMessage(relation.target, "Target"));
      LoadOk = false;
      LockWorkspace();
      return;
    }
    SGTarget.rows[static_cast<std::size_t>(target)].mark = std::string(kLinkMark);
    SGRelat.rows.emplace_back();
    LBFunc.push_back(relation.IsFormula() ? relation.formula : std::string(kDefaultFormula));
  }
  BBAdd = {};
  BBDelete = {};
  BBFunction = {};
  SGRelat.visible = true;
  SGRelat.enabled = true;
  EditFunc = {};
  Commands.convertation = true;
  Commands.convertationOptions = true;
  Commands.changeBases = true;
  Commands.viewIniFile = true;
  Commands.sbConvert = true;
}

void Workspace::LockWorkspace() {
  Commands.save = false;
  Commands.saveAs = false;
  Commands.convertation = false;
  Commands.convertationOptions = false;
  Commands.viewIniFile = false;
  Commands.changeBases = true;
  Commands.sbSave = false;
  Commands.sbConvert = false;
  for (FieldList* list : {&SGSource, &SGTarget}) {
    list->selected = -1;
    list->enabled = false;
  }
  SGRelat.selected = -1;
  SGRelat.enabled = false;
  SourceShowsLink = false;
  TargetShowsLink = false;
  EditFunc = {};
  BBAdd = {};
  BBDelete = {};
  BBFunction = {};
}

void Workspace::RunLoadSequence() {
  ReadFilesSection();
  if (LoadOk) ReadRelationsSection();
}

// --- Commands ---

void Workspace::SetCaptionAndTitle(bool capitalize) {
  std::string name(FileNamePart(CnvFileName));
  if (capitalize && !name.empty()) name[0] = UpperAscii(name[0]);
  const std::size_t captionDash = Caption.find(" - ");
  std::string caption = name;
  caption.append(" - ").append(captionDash == std::string::npos ? Caption
                                                                : Caption.substr(captionDash + 3));
  Caption = std::move(caption);
  const std::size_t titleDash = Title.find(" - ");
  std::string title = titleDash == std::string::npos ? Title : Title.substr(0, titleDash);
  title.append(" - ").append(FileNamePart(CnvFileName));
  Title = std::move(title);
}

bool Workspace::Load(const std::string& path, bool capitalizeCaption) {
  try {
    CFile = DescriptionText::ReadFile(path);
  } catch (const DescriptionFileError& error) {
    Report(error.what());
    ShowError();
    return false;
  }
  Modified = false;  // the text is now the file's
  Commands.convertationOptions = true;
  Commands.changeBases = true;
  Commands.viewIniFile = true;
  CnvFileName = path;
  SetCaptionAndTitle(capitalizeCaption);
  RunLoadSequence();
  ShowReady();
  return true;
}

bool Workspace::New(const std::string& sourcePath, const std::string& targetPath) {
  if (RefuseTablePaths(sourcePath, targetPath)) return false;
  CFile = DescriptionText::NewTemplate(sourcePath, targetPath);
  Modified = false;
  CnvFileName = std::string(workspace_messages::kNoName);
  SetCaptionAndTitle(false);
  RunLoadSequence();
  return true;
}

bool Workspace::Save() {
  if (CnvFileName == workspace_messages::kNoName) return false;
  try {
    CFile.WriteFile(CnvFileName);
  } catch (const DescriptionFileError& error) {
    Report(error.what());
    return false;
  }
  Commands.save = false;
  Modified = false;
  return true;
}

bool Workspace::SaveAs(const std::string& path) {
  try {
    CFile.WriteFile(path);
  } catch (const DescriptionFileError& error) {
    Report(error.what());
    return false;
  }
  CnvFileName = path;
  SetCaptionAndTitle(true);
  Commands.save = false;
  Modified = false;
  return true;
}

std::string Workspace::SavePromptText() const {
  std::string text("The  ");
  text.append(CnvFileName).append("  file has changed.\r\rDo you want to save the changes?");
  return text;
}

void Workspace::MarkModified() {
  Modified = true;
  Commands.save = true;
}

// --- Selection ---

void Workspace::ShowFunctionEntry(int relationRow) {
  if (relationRow < 0 || relationRow >= static_cast<int>(LBFunc.size())) {
    EditFunc = {};
    return;
  }
  const std::string& entry = LBFunc[static_cast<std::size_t>(relationRow)];
  EditFunc = {entry, entry != kDefaultFormula};
}

void Workspace::SGSourceClick(int row) {
  RequireEnabled(SGSource.enabled, "The source list");
  RequireRow(row, static_cast<int>(SGSource.rows.size()), "Select", "source");
  SGSource.selected = row;
  const FieldRow& field = SGSource.rows[static_cast<std::size_t>(row)];
  if (!field.Linked()) {
    BBDelete = {};
    SourceShowsLink = false;
    SGRelat.selected = -1;
    if (TargetShowsLink) {
      SGTarget.selected = -1;
      TargetShowsLink = false;
    } else if (SGTarget.selected >= 0) {
      BBAdd = {true, true};
    }
  } else {
    SourceShowsLink = true;
    BBAdd = {};
    BBFunction = {};
    BBDelete = {true, true};
    SGRelat.selected = -1;
    for (int k = 0; k < SGRelat.RelationCount(); ++k) {
      if (SameText(SGRelat.rows[static_cast<std::size_t>(k)].source, field.name)) {
        SGRelat.selected = k;
        break;
      }
    }
    const int target =
        SGRelat.selected < 0
            ? -1
            : SGTarget.Find(SGRelat.rows[static_cast<std::size_t>(SGRelat.selected)].target);
    SGTarget.selected = target;
    TargetShowsLink = target >= 0;
  }
  ShowFunctionEntry(SGRelat.selected);
}

void Workspace::SGTargetClick(int row) {
  RequireEnabled(SGTarget.enabled, "The target list");
  RequireRow(row, static_cast<int>(SGTarget.rows.size()), "Select", "target");
  SGTarget.selected = row;
  const FieldRow& field = SGTarget.rows[static_cast<std::size_t>(row)];
  if (!field.Linked()) {
    BBDelete = {};
    TargetShowsLink = false;
    SGRelat.selected = -1;
    BBFunction.enabled = true;
    if (SourceShowsLink) {
      SGSource.selected = -1;
      SourceShowsLink = false;
    } else if (SGSource.selected >= 0) {
      BBAdd = {true, true};
      BBFunction.isDefault = false;
    }
  } else {
    TargetShowsLink = true;
    BBAdd = {};
    BBFunction = {};
    BBDelete = {true, true};
    SGRelat.selected = -1;
    for (int k = 0; k < SGRelat.RelationCount(); ++k) {
      if (SameText(SGRelat.rows[static_cast<std::size_t>(k)].target, field.name)) {
        SGRelat.selected = k;
        break;
      }
    }
    int source = -1;
    if (SGRelat.selected >= 0) {
      const RelationRow& relation = SGRelat.rows[static_cast<std::size_t>(SGRelat.selected)];
      if (relation.IsFormula()) BBFunction = {true, true};
      source = SGSource.Find(relation.source);
    }
    SGSource.selected = source;
    SourceShowsLink = source >= 0;
  }
  ShowFunctionEntry(SGRelat.selected);
}

void Workspace::SGRelatClick(int row) {
  RequireEnabled(SGRelat.enabled && SGRelat.visible, "The relation list");
  RequireRow(row, static_cast<int>(SGRelat.rows.size()), "Select", "relation");
  SGRelat.selected = row;
  const RelationRow& relation = SGRelat.rows[static_cast<std::size_t>(row)];
  if (relation.Empty()) {
    SGSource.selected = -1;
    SGTarget.selected = -1;
    SourceShowsLink = false;
    TargetShowsLink = false;
    BBAdd = {};
    BBDelete = {};
    BBFunction = {};
    EditFunc = {};
    return;
  }
  SourceShowsLink = true;
  TargetShowsLink = true;
  BBAdd = {};
  BBDelete = {true, true};
  if (relation.IsFormula()) {
    BBFunction = {true, true};
    BBDelete.isDefault = false;
  } else {
    BBFunction = {};
  }
  ShowFunctionEntry(row);
  SGSource.selected = SGSource.Find(relation.source);
  SGTarget.selected = SGTarget.Find(relation.target);
}

// --- Relation editing on the selection ---

void Workspace::BBAddClick() {
  RequireEnabled(BBAdd.enabled, "Add");
  RequireRow(SGSource.selected, static_cast<int>(SGSource.rows.size()), "Add", "source");
  RequireRow(SGTarget.selected, static_cast<int>(SGTarget.rows.size()), "Add", "target");
  FieldRow& source = SGSource.rows[static_cast<std::size_t>(SGSource.selected)];
  FieldRow& target = SGTarget.rows[static_cast<std::size_t>(SGTarget.selected)];
  if (source.Linked() || target.Linked()) {
    std::string message("Add: the field ");
    message.append(source.Linked() ? source.name : target.name).append(" is already related.");
    throw WorkspaceError(message);
  }
  // The line is cut at its first " to " when read, so such a source name cannot be stored.
  if (source.name.find(kRelationSeparator) != std::string::npos) {
    std::string message("The field name ");
    message.append(source.name).append(" contains \" to \" and cannot be related.");
    Report(message);
    return;
  }
  source.mark = std::string(kLinkMark);
  target.mark = std::string(kLinkMark);
  SourceShowsLink = true;
  TargetShowsLink = true;
  SGRelat.rows.back() = RelationRow{source.name, std::string(kRelationLink), target.name};
  SGRelat.rows.emplace_back();
  CFile.lines.push_back(RelationLine::Field(source.name, target.name).Format());
  LBFunc.emplace_back(kDefaultFormula);
  EditFunc = {std::string(kDefaultFormula), false};
  SGRelat.selected = SGRelat.RelationCount() - 1;
  MarkModified();
  BBAdd = {};
  BBFunction = {};
  BBDelete = {true, true};
}

void Workspace::BBDeleteClick() {
  RequireEnabled(BBDelete.enabled, "Delete");
  const int selected = SGRelat.selected;
  RequireRow(selected, SGRelat.RelationCount(), "Delete", "relation");
  const RelationRow& relation = SGRelat.rows[static_cast<std::size_t>(selected)];
  const std::string line =
      relation.IsFormula()
          ? RelationLine::Formula(relation.target, LBFunc[static_cast<std::size_t>(selected)])
                .Format()
          : RelationLine::Field(relation.source, relation.target).Format();
  // Only relation lines are candidates: a comment line of equal text is not a relation.
  const int first = CFile.FindSection(kRelations) + 1;
  for (std::size_t i = static_cast<std::size_t>(first); i < CFile.lines.size(); ++i) {
    if (SameText(CFile.lines[i], line)) {
      CFile.lines.erase(CFile.lines.begin() + static_cast<std::ptrdiff_t>(i));
      ReadRelationsSection();
      MarkModified();
      break;
    }
  }
  if (SGSource.selected >= 0 &&
      !SGSource.rows[static_cast<std::size_t>(SGSource.selected)].Linked())
    BBAdd = {true, true};
  BBDelete = {};
  BBFunction = {true, true};
  EditFunc = {};
}

bool Workspace::ApplyFunction(const std::string& formula) {
  RequireEnabled(BBFunction.enabled, "Function");
  RequireRow(SGTarget.selected, static_cast<int>(SGTarget.rows.size()), "Function", "target");
  if (RefuseLineBreak(formula, "The formula")) return false;
  FieldRow& target = SGTarget.rows[static_cast<std::size_t>(SGTarget.selected)];
  const int selected = SGRelat.selected;
  const bool changes = selected >= 0 && selected < SGRelat.RelationCount();
  if (changes && !SGRelat.rows[static_cast<std::size_t>(selected)].IsFormula())
    throw WorkspaceError("Function: the selected relation is not a formula relation.");
  if (!changes && target.Linked()) {
    std::string message("Function: the field ");
    message.append(target.name).append(" is already related.");
    throw WorkspaceError(message);
  }
  const std::string line = RelationLine::Formula(target.name, formula).Format();
  if (changes) {
    // Relation rows follow the RELATIONS header one to one, as the loader builds them.
    const int index = CFile.FindSection(kRelations) + 1 + selected;
    if (index < 0 || index >= static_cast<int>(CFile.lines.size()))
      throw WorkspaceError("Function: the relation lines do not match the relation list.");
    CFile.lines[static_cast<std::size_t>(index)] = line;
    LBFunc[static_cast<std::size_t>(selected)] = formula;
  } else {
    SGRelat.rows.back() =
        RelationRow{std::string(kFuncMarker), std::string(kRelationLink), target.name};
    SGRelat.rows.emplace_back();
    SGRelat.selected = SGRelat.RelationCount() - 1;
    LBFunc.push_back(formula);
    CFile.lines.push_back(line);
  }
  target.mark = std::string(kLinkMark);
  TargetShowsLink = true;
  EditFunc = {formula, formula != kDefaultFormula};
  MarkModified();
  BBAdd = {};
  BBDelete = {true, true};
  return true;
}

// --- Relation editing by rows ---

void Workspace::AddFieldRelation(int sourceRow, int targetRow) {
  SGSourceClick(sourceRow);
  SGTargetClick(targetRow);
  BBAddClick();
}

void Workspace::DeleteRelation(int relationRow) {
  SGRelatClick(relationRow);
  BBDeleteClick();
}

bool Workspace::SetFormulaRelation(int targetRow, std::optional<int> relationRow,
                                   const std::string& formula) {
  if (relationRow) {
    SGRelatClick(*relationRow);
    if (SGTarget.selected != targetRow) {
      std::string message("Function: relation row ");
      message.append(std::to_string(*relationRow))
          .append(" does not fill the target field at row ")
          .append(std::to_string(targetRow))
          .append(".");
      throw WorkspaceError(message);
    }
  } else {
    SGTargetClick(targetRow);
  }
  return ApplyFunction(formula);
}

// --- Options dialog ---

bool Workspace::ReadOptions(ConvertationOptions& options) const {
  const std::optional<std::string> pack = CFile.Value(DescriptionLine::PackFields);
  const std::optional<bool> clear = pack ? CFile.Flag(DescriptionLine::ClearTarget) : std::nullopt;
  const std::optional<std::string> filter =
      clear ? CFile.Value(DescriptionLine::Filter) : std::nullopt;
  const std::optional<bool> latvian = filter ? CFile.Flag(DescriptionLine::Latvian) : std::nullopt;
  if (pack) options.packFields = *pack;
  if (clear) options.clearTarget = *clear;
  if (filter) options.filter = *filter;
  if (latvian) options.latvian = *latvian;
  if (!latvian) Report(kOptionsDialogMalformed);
  return latvian.has_value();
}

bool Workspace::ChangeOptions(const ConvertationOptions& options) {
  if (RefuseLineBreak(options.packFields, "The pack fields") ||
      RefuseLineBreak(options.filter, "The source filter"))
    return false;
  // Lines that are not where the options belong would be overwritten: write nothing.
  ConvertationOptions stored;
  if (!ReadOptions(stored)) return false;
  try {
    std::string_view pieces = options.packFields;
    for (std::size_t semicolon = pieces.find(';'); semicolon != std::string_view::npos;
         semicolon = pieces.find(';')) {
      TableTarget.FieldByName(pieces.substr(0, semicolon));
      pieces.remove_prefix(semicolon + 1);
    }
    if (!pieces.empty()) TableTarget.FieldByName(pieces);
  } catch (const std::exception& error) {
    Report(error.what());
    return false;
  }
  CFile.SetValue(DescriptionLine::PackFields, options.packFields);
  CFile.SetValue(DescriptionLine::ClearTarget, options.clearTarget ? "TRUE" : "FALSE");
  CFile.SetValue(DescriptionLine::Filter, options.filter);
  CFile.SetValue(DescriptionLine::Latvian, options.latvian ? "TRUE" : "FALSE");
  EditPack = options.packFields;
  EditFilter = options.filter;
  MarkModified();
  return true;
}

// --- Change-bases dialog ---

bool Workspace::ReadBases(Bases& bases) {
  const std::optional<std::string> source = CFile.Value(DescriptionLine::Source);
  if (source) bases.source = *source;
  const std::optional<std::string> target =
      source ? CFile.Value(DescriptionLine::Target) : std::nullopt;
  if (target) bases.target = *target;
  if (target) return true;
  Report(kFilesMalformed);
  LoadOk = false;
  ShowError();
  return false;
}

bool Workspace::ChangeBases(const std::string& sourcePath, const std::string& targetPath) {
  if (RefuseTablePaths(sourcePath, targetPath)) return false;
  // Malformed FILES lines are not where the paths belong: write nothing rather than overwrite.
  Bases stored;
  if (!ReadBases(stored)) return false;
  CFile.SetValue(DescriptionLine::Source, sourcePath);
  CFile.SetValue(DescriptionLine::Target, targetPath);
  RunLoadSequence();
  return true;
}

}  // namespace nox::convert
