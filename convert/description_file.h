#pragma once
// The conversion description (a ".cnv" file) as an ordered list of single-byte lines: reading
// and writing the file, finding sections and keyed lines at their fixed offsets, the relation
// line grammar and the new-description template.

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace nox::convert {

// Reading or writing the file failed; the text names the file and the cause.
class DescriptionFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The messages readers of a description report for a malformed line.
namespace description_messages {
inline constexpr std::string_view kSourceNotDefined =
    "Error in *.CNV file!  Source file not defined.";
inline constexpr std::string_view kTargetNotDefined =
    "Error in *.CNV file! Target file not defined.";
inline constexpr std::string_view kOptionsMalformed = "Error in .CNV file!";
inline constexpr std::string_view kOptionsDialogMalformed = "Error in file!";
inline constexpr std::string_view kFilesMalformed = "Error in INI file!";
}  // namespace description_messages

// Section headers and line keys.
// The formula text of a relation that copies a source field.
inline constexpr std::string_view kDefaultFormula = "<default>";

namespace description_keys {
inline constexpr std::string_view kFiles = "FILES";
inline constexpr std::string_view kOptions = "OPTIONS";
inline constexpr std::string_view kRelations = "RELATIONS";
inline constexpr std::string_view kSource = "SOURCE=";
inline constexpr std::string_view kTarget = "TARGET=";
inline constexpr std::string_view kPackFields = "PACKFIELDS:";
inline constexpr std::string_view kClearTarget = "CLEARTARGET=";
inline constexpr std::string_view kFilter = "FILTER:";
inline constexpr std::string_view kLatvian = "LATVIAN=";
inline constexpr std::string_view kFuncMarker = "< Func >";
inline constexpr std::string_view kRelationSeparator = " to ";
inline constexpr std::string_view kFormulaMarker = "  < Func >=";
}  // namespace description_keys

// The fixed offsets of keyed lines below their section header.
enum class DescriptionLine {
  Source,       // FILES + 1
  Target,       // FILES + 2
  PackFields,   // OPTIONS + 1
  ClearTarget,  // OPTIONS + 2
  Filter,       // OPTIONS + 3
  Latvian,      // OPTIONS + 4
};

class DescriptionText {
 public:
  std::vector<std::string> lines;

  // Splits bytes at CR LF, lone CR and lone LF; a line break at the very end adds no empty line;
  // a zero byte ends the text.
  static DescriptionText Parse(std::string_view bytes);
  // Every line followed by CR LF, the last one included.
  std::string Serialize() const;

  static DescriptionText ReadFile(const std::filesystem::path& path);
  // Replaces the file; a failed write leaves any previous file as it was.
  void WriteFile(const std::filesystem::path& path) const;

  // The 16 lines of a new description naming the two tables.
  static DescriptionText NewTemplate(std::string_view sourcePath, std::string_view targetPath);

  // Index of the first line equal to the name without regard to case; -1 when there is none.
  int FindSection(std::string_view name) const;

  // The line at its fixed offset below its section header (a missing header counts as index -1,
  // so FILES + 1 is then the first line). Nothing when the text ends before it.
  std::optional<int> LineIndex(DescriptionLine line) const;

  // The value of a keyed line: what follows the first "=" or ":" of a line that begins with its
  // key. Nothing when the line is missing or does not begin with the key. Values are not trimmed.
  std::optional<std::string> Value(DescriptionLine line) const;
  // A TRUE/FALSE option: true exactly when the upper-cased value equals "TRUE".
  std::optional<bool> Flag(DescriptionLine line) const;
  // Rewrites a keyed line in place as key + value; false when the line does not exist.
  bool SetValue(DescriptionLine line, std::string_view value);

  // Index of the first line after the RELATIONS header; nothing without that header.
  std::optional<int> FirstRelationLine() const;
};

// One relation line: a source field or a formula into a target field.
struct RelationLine {
  std::string source;  // a source field name, or "< Func >" for a formula relation
  std::string target;
  std::string formula;  // formula relations only
  bool IsFormula() const { return source == description_keys::kFuncMarker; }

  static RelationLine Parse(std::string_view line);
  std::string Format() const;

  static RelationLine Field(std::string source, std::string target);
  static RelationLine Formula(std::string target, std::string formula);
};

std::string_view KeyOf(DescriptionLine line);

}  // namespace nox::convert
