#include "tables/engine_config.h"

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

#include "tables/storage.h"
#include "tables/table.h"
#include "tables/value_convert.h"

namespace nox::tables {
namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
    text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

[[noreturn]] void FailAt(std::string_view sourceName, int lineNumber, const std::string& what) {
  throw TableError("Engine configuration '" + std::string(sourceName) + "', line " +
                   std::to_string(lineNumber) + ": " + what);
}

std::unique_ptr<EngineConfig>& CachedConfig() {
  static std::unique_ptr<EngineConfig> config;
  return config;
}

}  // namespace

EngineConfig EngineConfig::Parse(std::string_view text, std::string_view sourceName) {
  EngineConfig config;
  enum class Section { None, Aliases, Engine } section = Section::None;
  int lineNumber = 0;
  auto fail = [&](const std::string& what) { FailAt(sourceName, lineNumber, what); };
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = Trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++lineNumber;
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      if (line.back() != ']') fail("a section header must end with ']'");
      const std::string_view name = Trim(line.substr(1, line.size() - 2));
      if (EqualNoCase(name, "Aliases")) {
        section = Section::Aliases;
      } else if (EqualNoCase(name, "Engine")) {
        section = Section::Engine;
      } else {
        fail("unknown section '" + std::string(name) + "'");
      }
      continue;
    }
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) fail("expected NAME=VALUE");
    const std::string_view key = Trim(line.substr(0, equals));
    const std::string_view value = Trim(line.substr(equals + 1));
    if (key.empty()) fail("a name is missing before '='");
    switch (section) {
      case Section::None:
        FailAt(sourceName, lineNumber, "a setting outside a section");
      case Section::Aliases:
        if (config.AliasPath(key) != nullptr) fail("alias '" + std::string(key) + "' given twice");
        config.aliases.emplace_back(std::string(key), std::string(value));
        break;
      case Section::Engine:
        if (EqualNoCase(key, "NETDIR")) {
          config.netDir = std::string(value);
        } else if (EqualNoCase(key, "DEFAULTTYPE")) {
          if (EqualNoCase(value, "PARADOX")) {
            config.defaultType = TableType::Paradox;
          } else if (EqualNoCase(value, "DBASE")) {
            config.defaultType = TableType::DBase;
          } else {
            fail("DEFAULTTYPE must be PARADOX or DBASE, not '" + std::string(value) + "'");
          }
        } else {
          fail("unknown setting '" + std::string(key) + "'");
        }
        break;
    }
  }
  return config;
}

std::optional<std::filesystem::path> EngineConfig::Locate() {
  namespace fs = std::filesystem;
  if (const char* explicitPath = std::getenv("NOX_ENGINE_CONFIG");
      explicitPath != nullptr && *explicitPath != '\0') {
    return fs::path(explicitPath);
  }
  std::error_code error;
  if (fs::is_regular_file("noxengine.cfg", error)) return fs::path("noxengine.cfg");
  fs::path configHome;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg != '\0') {
    configHome = xdg;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    configHome = fs::path(home) / ".config";
  } else {
    return std::nullopt;
  }
  fs::path candidate = configHome / "nox" / "engine.cfg";
  if (fs::is_regular_file(candidate, error)) return candidate;
  return std::nullopt;
}

EngineConfig EngineConfig::Load() {
  const auto path = Locate();
  if (!path) return EngineConfig{};
  // A file named explicitly must exist; a missing one is an error, not a silent default.
  std::ifstream in(*path, std::ios::binary);
  if (!in) {
    throw TableError("Engine configuration '" + path->string() + "' cannot be read");
  }
  std::ostringstream text;
  text << in.rdbuf();
  return Parse(text.str(), path->string());
}

const std::string* EngineConfig::AliasPath(std::string_view name) const {
  for (const auto& [alias, directory] : aliases) {
    if (EqualNoCase(alias, name)) return &directory;
  }
  return nullptr;
}

const EngineConfig& CurrentEngineConfig() {
  auto& config = CachedConfig();
  if (!config) config = std::make_unique<EngineConfig>(EngineConfig::Load());
  return *config;
}

void ReloadEngineConfig() {
  CachedConfig().reset();
}

std::string NetFileDir() {
  const EngineConfig& config = CurrentEngineConfig();
  if (!config.netDir.empty()) return config.netDir;
  return std::filesystem::current_path().string();
}

std::vector<std::string> GetAliasParams(std::string_view alias) {
  const EngineConfig& config = CurrentEngineConfig();
  const std::string* directory = config.AliasPath(alias);
  if (directory == nullptr) throw TableError("Unknown alias '" + std::string(alias) + "'");
  return {"PATH=" + *directory, std::string("DEFAULT DRIVER=") +
                                    (config.defaultType == TableType::DBase ? "DBASE" : "PARADOX")};
}

}  // namespace nox::tables
