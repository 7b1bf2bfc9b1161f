#pragma once
// The conversion workspace: the open description text, the source and target field lists with
// their link marks, the relation and formula lists, the four tables, the option displays and the
// availability of every command. It runs the load sequence and the relation editing, keeping the
// text and the lists in step. Windows show this state and call these operations; the conversion
// run reads the lists and tables.

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "convert/description_file.h"
#include "tables/table.h"

namespace nox::convert {

// An operation was asked for in a state where the main window would not offer it (a row out of
// range, Add on a linked field, ...). The text names the operation and the reason.
class WorkspaceError : public std::logic_error {
 public:
  using std::logic_error::logic_error;
};

// The messages of the workspace that the description file does not own.
namespace workspace_messages {
inline constexpr std::string_view kNoName = "NoName";
inline constexpr std::string_view kProgramCaption = "NOX Base Convertation";
inline constexpr std::string_view kSameFile = "Can't convert Source to itself!";
}  // namespace workspace_messages

// The link mark of a field row: the bullet of the window code page, or a space.
inline constexpr std::string_view kLinkMark = "\x95";
inline constexpr std::string_view kNoMark = " ";
inline constexpr std::string_view kRelationLink = "<-->";

// The file-name part of a path: what follows the last "\", "/" or ":".
std::string_view FileNamePart(std::string_view path);
// The directory part with its trailing separator (empty when there is none).
std::string_view DirectoryPart(std::string_view path);
// A path label's text when it is wider than the label: ".." and the last k + 2 characters, k being
// how many average characters fit; the whole text when it fits.
std::string ShortenForLabel(std::string_view text, int labelWidth, int averageCharWidth);

// One row of a field list: link mark, field name, type letter (empty for types without one) and
// declared size as decimal text.
struct FieldRow {
  std::string mark = std::string(kNoMark);
  std::string name;
  std::string type;
  std::string size;

  bool Linked() const { return mark == kLinkMark; }
};

struct FieldList {
  std::vector<FieldRow> rows;
  int selected = -1;  // -1: no row selected
  bool enabled = false;

  // The first row whose name equals the name without regard to case; -1 when there is none.
  int Find(std::string_view name) const;
};

// One row of the relation list: the source field name or "< Func >", "<-->", the target field
// name. The list always ends with one empty row.
struct RelationRow {
  std::string source;
  std::string link;
  std::string target;

  bool Empty() const { return source.empty(); }
  bool IsFormula() const { return source == description_keys::kFuncMarker; }
};

struct RelationList {
  std::vector<RelationRow> rows{RelationRow{}};
  int selected = -1;
  bool enabled = false;
  bool visible = true;

  // Relation rows without the empty last row.
  int RelationCount() const { return static_cast<int>(rows.size()) - 1; }
};

struct ButtonState {
  bool enabled = false;
  bool isDefault = false;
};

// Which commands of the main window are offered.
struct CommandAvailability {
  bool save = false;                 // "&Save"
  bool saveAs = false;               // "Save &As"
  bool convertation = false;         // "&Convertation"
  bool convertationOptions = false;  // "&Convertation options"
  bool viewIniFile = false;          // "&View INI file"
  bool changeBases = false;          // "Change &bases"
  bool sbSave = false;               // tool button SBSave
  bool sbConvert = false;            // tool button SBConvert
};

// The function display: the selected relation's formula-list entry; highlighted for a formula.
struct FunctionDisplay {
  std::string text;
  bool highlighted = false;
};

// What the options dialog edits.
struct ConvertationOptions {
  std::string packFields;
  bool clearTarget = false;
  std::string filter;
  bool latvian = true;
};

// The status indicator of the main window; the window connects its NoxBeeper here.
class StatusIndicator {
 public:
  virtual ~StatusIndicator() = default;
  virtual void ShowReady() = 0;
  virtual void ShowError() = 0;
};

class Workspace {
 public:
  // Configures the four tables and hands TablKursVal to the exchange-rate lookup.
  Workspace();
  ~Workspace();
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  // --- State (read freely; change only through the operations) ---
  DescriptionText CFile;
  std::string CnvFileName = std::string(workspace_messages::kNoName);
  bool LoadOk = false;
  bool Modified = false;
  bool AutoRun = false;
  bool DdeLink = false;
  bool NewOnStart = false;
  std::string DialogContext;  // "PACK", "FILTER" or "VIZARD" for the next dialog
  // The lines of the calling program's path item; with DdeLink and exactly two lines they
  // replace the directories of the source and target paths whenever the FILES section is read.
  std::vector<std::string> DdePathLines;

  tables::TTable TableSource;
  tables::TTable TableTarget;
  tables::TTable TableKeyViol;
  tables::TTable TablKursVal;

  FieldList SGSource;
  FieldList SGTarget;
  RelationList SGRelat;
  std::vector<std::string> LBFunc;  // per relation row: the formula, or "<default>"
  bool SourceShowsLink = false;
  bool TargetShowsLink = false;

  FunctionDisplay EditFunc;
  std::string EditPack;
  std::string EditFilter;
  std::string LSourcePath;  // the directory part upper-cased (unshortened)
  std::string LSourceName;
  std::string LTargetPath;
  std::string LTargetName;

  ButtonState BBAdd;
  ButtonState BBDelete;
  ButtonState BBFunction;
  CommandAvailability Commands;

  std::string Caption = std::string(workspace_messages::kProgramCaption);
  std::string Title = std::string(workspace_messages::kProgramCaption);

  // Not owned; null shows nothing.
  void SetStatusIndicator(StatusIndicator* indicator) { status_ = indicator; }

  // --- Load sequence ---
  // Opens both tables named in the FILES section, then fills the field lists when both are open,
  // else locks the workspace.
  void ReadFilesSection();
  void FillFieldLists();
  // Rebuilds the relation and formula lists from the RELATIONS section, checking every name.
  void ReadRelationsSection();
  void LockWorkspace();
  // ReadFilesSection, then ReadRelationsSection while LoadOk.
  void RunLoadSequence();

  // --- Commands ---
  // Reads the file into CFile and runs the load sequence. The caption's file name gets an
  // upper-case first letter when asked (the command-line read). False when the file cannot be
  // read: the message names it and the text stays as it was.
  bool Load(const std::string& path, bool capitalizeCaption = false);
  // Replaces the text by the new-description template and runs the load sequence; not modified.
  // False (after the message) when both paths are equal or hold a line break.
  bool New(const std::string& sourcePath, const std::string& targetPath);
  // Writes to CnvFileName. False without writing when it is "NoName" (the caller runs Save As)
  // or when writing fails (after the message naming the file).
  bool Save();
  bool SaveAs(const std::string& path);
  // "The  <name>  file has changed.\r\rDo you want to save the changes?"
  std::string SavePromptText() const;

  // --- Selection (the three lists' click handlers) ---
  void SGSourceClick(int row);
  void SGTargetClick(int row);
  void SGRelatClick(int row);

  // --- Relation editing on the current selection; WorkspaceError when not offered ---
  void BBAddClick();
  void BBDeleteClick();
  // What Function does once the formula editor closed with OK on the formula.
  // False (after a message) for a formula holding a line break.
  bool ApplyFunction(const std::string& formula);

  // --- Relation editing by rows: select as the user would, then edit ---
  void AddFieldRelation(int sourceRow, int targetRow);
  void DeleteRelation(int relationRow);
  // Adds a formula relation for a free target field (no relation row) or changes the formula of
  // formula relation relationRow, whose target must be targetRow.
  bool SetFormulaRelation(int targetRow, std::optional<int> relationRow,
                          const std::string& formula);

  // --- Options dialog ---
  // The dialog's filling, line by line in order; at the first missing or malformed line the
  // message "Error in file!" and false, with the options filled so far.
  bool ReadOptions(ConvertationOptions& options) const;
  // The dialog's OK after a change: checks the pack fields against the target table (the
  // engine's "Field '...' not found"), rewrites the four option lines and the displays and marks
  // the text modified. False, with the message shown and nothing written, on any error.
  bool ChangeOptions(const ConvertationOptions& options);

  // --- Change-bases dialog ---
  // The dialog's filling: the SOURCE and TARGET values in order; at a malformed line the message
  // "Error in INI file!", LoadOk cleared, status error and false, with the values filled so far.
  struct Bases {
    std::string source;
    std::string target;
  };
  bool ReadBases(Bases& bases);
  // Rewrites the SOURCE and TARGET lines, then ReadFilesSection and, while LoadOk,
  // ReadRelationsSection. False, with the message and nothing written, for malformed FILES lines,
  // equal paths or a line break in a path.
  bool ChangeBases(const std::string& sourcePath, const std::string& targetPath);

 private:
  void ShowError();
  void ShowReady();
  void SetCaptionAndTitle(bool capitalize);
  bool OpenSide(tables::TTable& table, std::string path, bool isSource);
  void ShowFunctionEntry(int relationRow);
  void MarkModified();

  StatusIndicator* status_ = nullptr;
};

}  // namespace nox::convert
