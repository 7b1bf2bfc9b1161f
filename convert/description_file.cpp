#include "convert/description_file.h"

#include <fstream>
#include <iterator>
#include <system_error>
#include <utility>

namespace nox::convert {
namespace {

using namespace description_keys;

char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
  }
  return true;
}

struct LineSpec {
  std::string_view section;
  int offset;
  std::string_view key;
};

LineSpec SpecOf(DescriptionLine line) {
  switch (line) {
    case DescriptionLine::Source:
      return {kFiles, 1, kSource};
    case DescriptionLine::Target:
      return {kFiles, 2, kTarget};
    case DescriptionLine::PackFields:
      return {kOptions, 1, kPackFields};
    case DescriptionLine::ClearTarget:
      return {kOptions, 2, kClearTarget};
    case DescriptionLine::Filter:
      return {kOptions, 3, kFilter};
    case DescriptionLine::Latvian:
      return {kOptions, 4, kLatvian};
  }
  return {kFiles, 1, kSource};
}

}  // namespace

std::string_view KeyOf(DescriptionLine line) {
  return SpecOf(line).key;
}

DescriptionText DescriptionText::Parse(std::string_view bytes) {
  DescriptionText text;
  if (const auto zero = bytes.find('\0'); zero != std::string_view::npos)
    bytes = bytes.substr(0, zero);
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      text.lines.emplace_back(bytes.substr(start));
      break;
    }
    text.lines.emplace_back(bytes.substr(start, end - start));
    start = end + 1;
    if (bytes[end] == '\r' && start < bytes.size() && bytes[start] == '\n') ++start;
  }
  return text;
}

std::string DescriptionText::Serialize() const {
  std::string bytes;
  for (const std::string& line : lines) {
    bytes += line;
    bytes += "\r\n";
  }
  return bytes;
}

DescriptionText DescriptionText::ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw DescriptionFileError("Cannot open file " + path.string());
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw DescriptionFileError("Cannot read file " + path.string());
  return Parse(bytes);
}

void DescriptionText::WriteFile(const std::filesystem::path& path) const {
  // Written beside the target first and renamed over it, so a failed write keeps the old file.
  std::filesystem::path temporary = path;
  temporary += ".tmp";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) throw DescriptionFileError("Cannot create file " + path.string());
    const std::string bytes = Serialize();
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out) {
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
      throw DescriptionFileError("Cannot write file " + path.string());
    }
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) {
    std::filesystem::remove(temporary, error);
    throw DescriptionFileError("Cannot write file " + path.string());
  }
}

DescriptionText DescriptionText::NewTemplate(std::string_view sourcePath,
                                             std::string_view targetPath) {
  DescriptionText text;
  text.lines = {
      " ",
      "{********************************************}",
      "{*       NOX Base Convertation INI File     *}",
      "{********************************************}",
      " ",
      std::string(kFiles),
      std::string(kSource) + std::string(sourcePath),
      std::string(kTarget) + std::string(targetPath),
      " ",
      std::string(kOptions),
      std::string(kPackFields),
      std::string(kClearTarget) + "FALSE",
      std::string(kFilter),
      std::string(kLatvian) + "TRUE",
      " ",
      std::string(kRelations),
  };
  return text;
}

int DescriptionText::FindSection(std::string_view name) const {
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (EqualsIgnoringCase(lines[i], name)) return static_cast<int>(i);
  }
  return -1;
}

std::optional<int> DescriptionText::LineIndex(DescriptionLine line) const {
  const LineSpec spec = SpecOf(line);
  const int index = FindSection(spec.section) + spec.offset;
  if (index < 0 || index >= static_cast<int>(lines.size())) return std::nullopt;
  return index;
}

std::optional<std::string> DescriptionText::Value(DescriptionLine line) const {
  const std::optional<int> index = LineIndex(line);
  if (!index) return std::nullopt;
  const std::string& text = lines[static_cast<std::size_t>(*index)];
  const std::string_view key = SpecOf(line).key;
  if (!std::string_view(text).starts_with(key)) return std::nullopt;
  // The key ends with its separator, so the value starts right after the key.
  return text.substr(key.size());
}

std::optional<bool> DescriptionText::Flag(DescriptionLine line) const {
  const std::optional<std::string> value = Value(line);
  if (!value) return std::nullopt;
  return EqualsIgnoringCase(*value, "TRUE");
}

bool DescriptionText::SetValue(DescriptionLine line, std::string_view value) {
  const std::optional<int> index = LineIndex(line);
  if (!index) return false;
  lines[static_cast<std::size_t>(*index)] = std::string(SpecOf(line).key) + std::string(value);
  return true;
}

std::optional<int> DescriptionText::FirstRelationLine() const {
  const int header = FindSection(kRelations);
  if (header < 0) return std::nullopt;
  return header + 1;
}

RelationLine RelationLine::Parse(std::string_view line) {
  RelationLine relation;
  const std::size_t separator = line.find(kRelationSeparator);
  if (separator == std::string_view::npos) return relation;  // fails every field check
  relation.source = std::string(line.substr(0, separator));
  const std::string_view rest = line.substr(separator + kRelationSeparator.size());
  if (!relation.IsFormula()) {
    relation.target = std::string(rest);
    return relation;
  }
  relation.target = std::string(rest.substr(0, rest.find(kFormulaMarker)));
  if (const std::size_t equals = line.find('='); equals != std::string_view::npos) {
    relation.formula = std::string(line.substr(equals + 1));
  }
  return relation;
}

std::string RelationLine::Format() const {
  std::string line = source + std::string(kRelationSeparator) + target;
  if (IsFormula()) line += std::string(kFormulaMarker) + formula;
  return line;
}

RelationLine RelationLine::Field(std::string source, std::string target) {
  return RelationLine{std::move(source), std::move(target), {}};
}

RelationLine RelationLine::Formula(std::string target, std::string formula) {
  return RelationLine{std::string(kFuncMarker), std::move(target), std::move(formula)};
}

}  // namespace nox::convert
