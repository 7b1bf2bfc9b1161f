#pragma once
// The engine configuration: aliases (name -> directory), the shared directory and the default
// table type, read from a plain-text file:
//
//   [Aliases]
//   Vexal=/srv/data/rates
//   [Engine]
//   NETDIR=/srv/data/shared
//   DEFAULTTYPE=PARADOX
//
// It is looked for in $NOX_ENGINE_CONFIG when set, else "noxengine.cfg" in the current directory,
// else $XDG_CONFIG_HOME/nox/engine.cfg (~/.config/nox/engine.cfg). Without one there are no
// aliases, the shared directory is the current directory and the default type is Paradox.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tables/field_defs.h"

namespace nox::tables {

struct EngineConfig {
  std::vector<std::pair<std::string, std::string>> aliases;  // name, directory; in file order
  std::string netDir;                                        // empty: the current directory
  TableType defaultType = TableType::Paradox;

  // Raises TableError naming the source and line for a line it cannot read.
  static EngineConfig Parse(std::string_view text, std::string_view sourceName);
  // Reads the first configuration file found; the built-in defaults when there is none.
  static EngineConfig Load();
  static std::optional<std::filesystem::path> Locate();

  // The directory of an alias (names compared without regard to case).
  const std::string* AliasPath(std::string_view name) const;
};

// The process-wide configuration, read on first use.
const EngineConfig& CurrentEngineConfig();
// Reads the configuration again (after its file or NOX_ENGINE_CONFIG changed).
void ReloadEngineConfig();

}  // namespace nox::tables
