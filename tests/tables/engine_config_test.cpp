// The engine configuration: aliases, shared directory, default table type, where it is found.

#include "tables/engine_config.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "tables/table.h"

namespace nox::tables {
namespace {

namespace fs = std::filesystem;

TEST(EngineConfigParseTest, ReadsSectionsCommentsAndBlanks) {
  const EngineConfig config = EngineConfig::Parse(
      "; rate tables\n"
      "[Aliases]\r\n"
      "  Vexal = /srv/rates \n"
      "Work=/tmp/work\n"
      "\n"
      "[engine]\n"
      "# shared files\n"
      "NETDIR=/srv/shared\n"
      "DefaultType=dbase\n",
      "test.cfg");
  ASSERT_EQ(config.aliases.size(), 2u);
  ASSERT_NE(config.AliasPath("VEXAL"), nullptr);
  EXPECT_EQ(*config.AliasPath("VEXAL"), "/srv/rates");
  EXPECT_EQ(*config.AliasPath("work"), "/tmp/work");
  EXPECT_EQ(config.AliasPath("other"), nullptr);
  EXPECT_EQ(config.netDir, "/srv/shared");
  EXPECT_EQ(config.defaultType, TableType::DBase);
}

TEST(EngineConfigParseTest, FaultyLinesNameFileAndLine) {
  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      {"Vexal=/x\n", "Engine configuration 'e.cfg', line 1: a setting outside a section"},
      {"[Aliases]\nVexal\n", "Engine configuration 'e.cfg', line 2: expected NAME=VALUE"},
      {"[Aliases\n", "Engine configuration 'e.cfg', line 1: a section header must end with ']'"},
      {"[Other]\n", "Engine configuration 'e.cfg', line 1: unknown section 'Other'"},
      {"[Engine]\n\nDEFAULTTYPE=ACCESS\n",
       "Engine configuration 'e.cfg', line 3: DEFAULTTYPE must be PARADOX or DBASE, not 'ACCESS'"},
      {"[Engine]\nNETDRIVE=x\n",
       "Engine configuration 'e.cfg', line 2: unknown setting 'NETDRIVE'"},
      {"[Aliases]\na=1\nA=2\n", "Engine configuration 'e.cfg', line 3: alias 'A' given twice"},
  };
  for (const auto& c : cases) {
    try {
      EngineConfig::Parse(c.text, "e.cfg");
      ADD_FAILURE() << "no error for " << c.text;
    } catch (const TableError& error) {
      EXPECT_STREQ(error.what(), c.message);
    }
  }
}

// Runs in a scratch directory with the configuration search pointed at it.
class EngineConfigFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    oldDir = fs::current_path();
    dir = fs::temp_directory_path() /
          ("nox_engine_config_" + std::to_string(::getpid()) + "_" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir / "xdg" / "nox");
    fs::current_path(dir);
    ::unsetenv("NOX_ENGINE_CONFIG");
    ::setenv("XDG_CONFIG_HOME", (dir / "xdg").c_str(), 1);
    ReloadEngineConfig();
  }
  void TearDown() override {
    fs::current_path(oldDir);
    fs::remove_all(dir);
    ::unsetenv("NOX_ENGINE_CONFIG");
    ReloadEngineConfig();
  }
  static void Write(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }

  fs::path oldDir;
  fs::path dir;
};

TEST_F(EngineConfigFileTest, WithoutConfigurationUsesDefaults) {
  EXPECT_EQ(fs::path(NetFileDir()), fs::current_path());
  EXPECT_EQ(CurrentEngineConfig().defaultType, TableType::Paradox);
  try {
    GetAliasParams("Vexal");
    ADD_FAILURE() << "no error";
  } catch (const TableError& error) {
    EXPECT_STREQ(error.what(), "Unknown alias 'Vexal'");
  }
}

TEST_F(EngineConfigFileTest, SearchOrderEnvironmentThenCurrentDirectoryThenXdg) {
  Write(dir / "xdg" / "nox" / "engine.cfg", "[Engine]\nNETDIR=/from/xdg\n");
  ReloadEngineConfig();
  EXPECT_EQ(NetFileDir(), "/from/xdg");
  Write(dir / "noxengine.cfg", "[Engine]\nNETDIR=/from/cwd\n");
  ReloadEngineConfig();
  EXPECT_EQ(NetFileDir(), "/from/cwd");
  Write(dir / "explicit.cfg", "[Engine]\nNETDIR=/from/env\n");
  ::setenv("NOX_ENGINE_CONFIG", (dir / "explicit.cfg").c_str(), 1);
  ReloadEngineConfig();
  EXPECT_EQ(NetFileDir(), "/from/env");
  // A file named explicitly but missing is an error, not a silent default.
  ::setenv("NOX_ENGINE_CONFIG", (dir / "missing.cfg").c_str(), 1);
  ReloadEngineConfig();
  EXPECT_THROW(NetFileDir(), TableError);
}

TEST_F(EngineConfigFileTest, AliasesResolveForParamsAndTables) {
  Write(dir / "noxengine.cfg", "[Aliases]\nVexal=/data/rates\n[Engine]\nDEFAULTTYPE=DBASE\n");
  ReloadEngineConfig();
  EXPECT_EQ(GetAliasParams("vexal"),
            (std::vector<std::string>{"PATH=/data/rates", "DEFAULT DRIVER=DBASE"}));

  TTable table;
  table.SetDatabaseName("Vexal");
  table.SetTableName("KURSI.DB");
  EXPECT_EQ(table.FilePath(), fs::path("/data/rates/KURSI.DB"));
  EXPECT_EQ(table.EffectiveTableType(), TableType::Paradox);
  // Type by the text after the first "." of the file name, else the configured default.
  const struct {
    const char* name;
    TableType type;
    const char* path;
  } cases[] = {
      {"a.dbf", TableType::DBase, "/data/rates/a.dbf"},
      {"A.Db", TableType::Paradox, "/data/rates/A.Db"},
      {"a.db.bak", TableType::DBase, "/data/rates/a.db.bak"},
      {"a", TableType::DBase, "/data/rates/a.dbf"},
      {"sub\\x.db", TableType::Paradox, "/data/rates/sub/x.db"},
  };
  for (const auto& c : cases) {
    table.SetTableName(c.name);
    EXPECT_EQ(table.EffectiveTableType(), c.type) << c.name;
    EXPECT_EQ(table.FilePath(), fs::path(c.path)) << c.name;
  }
  table.SetDatabaseName("/plain/dir");
  table.SetTableName("t.db");
  EXPECT_EQ(table.FilePath(), fs::path("/plain/dir/t.db"));
}

}  // namespace
}  // namespace nox::tables
