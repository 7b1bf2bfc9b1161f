// noxconv DESCRIPTION [AUTO] [DDE] run as a child process, in a directory of its own: the link
// messages the reference server receives, the path item, the exit statuses, the summary, the
// format options and Ctrl+C.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "convert/description_file.h"
#include "formula/latvian.h"
#include "host/date_time.h"
#include "tables/storage.h"
#include "tables/table.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using nox::convert::DescriptionLine;
using nox::convert::DescriptionText;
using nox::convert::RelationLine;
using nox::tables::FieldDef;
using nox::tables::FieldType;
using nox::tables::Record;
using nox::tables::TTable;
using nox::tables::Value;

const std::string kDestroy = ": Program destroy.";

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Starts a program in a directory with its standard output and error on the descriptors given.
pid_t Spawn(const std::vector<std::string>& args, const fs::path& dir, int outFd, int errFd) {
  const pid_t pid = ::fork();
  if (pid == 0) {
    if (::chdir(dir.c_str()) != 0) ::_exit(127);
    ::dup2(outFd, STDOUT_FILENO);
    ::dup2(errFd, STDERR_FILENO);
    std::vector<char*> argv;
    for (const std::string& arg : args)
      argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  return pid;
}

int WaitStatus(pid_t pid) {
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

struct ProgramRun {
  int status = -1;
  std::string out;
  std::string err;
};

// The reference server of the link, listening in the directory's link directory until the last
// connection has ended. Its pokes arrive one per line.
class LinkServer {
 public:
  LinkServer(const fs::path& dir, const std::vector<std::string>& pathLines) {
    int out[2];
    int err[2];
    if (::pipe(out) != 0 || ::pipe(err) != 0) throw std::runtime_error("pipe");
    std::vector<std::string> args = {NOXLINKSERVER_PATH, "--once"};
    if (!pathLines.empty()) {
      args.push_back("--path-lines");
      args.insert(args.end(), pathLines.begin(), pathLines.end());
    }
    pid_ = Spawn(args, dir, out[1], err[1]);
    ::close(out[1]);
    ::close(err[1]);
    pokes_ = ::fdopen(out[0], "r");
    log_ = ::fdopen(err[0], "r");
    // Listening once it says so: no run starts before.
    const std::string first = ReadLine(log_);
    if (first.rfind("listening ", 0) != 0) throw std::runtime_error("server: " + first);
  }
  ~LinkServer() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      WaitStatus(pid_);
    }
    std::fclose(pokes_);
    std::fclose(log_);
  }

  // The next poke, waiting for it; empty at the end.
  std::string NextPoke() { return ReadLine(pokes_); }
  // Every poke until the server ends (after the last connection closed).
  std::vector<std::string> RemainingPokes() {
    std::vector<std::string> pokes;
    for (std::string line; !(line = ReadLine(pokes_)).empty();)
      pokes.push_back(line);
    WaitStatus(pid_);
    pid_ = -1;
    return pokes;
  }

 private:
  static std::string ReadLine(FILE* file) {
    std::string line;
    for (int c; (c = std::fgetc(file)) != EOF && c != '\n';)
      line += static_cast<char>(c);
    return line;
  }

  pid_t pid_ = -1;
  FILE* pokes_ = nullptr;
  FILE* log_ = nullptr;
};

// A small file system of its own (tmpfs) at a directory, for a disk that fills or is read-only.
class SmallDisk {
 public:
  SmallDisk(const fs::path& at, const std::string& size) : path_(at) {
    fs::create_directories(at);
    const std::string options = "size=" + size;
    mounted_ = ::mount("tmpfs", at.c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  bool mounted() const { return mounted_; }
  bool MakeReadOnly() {
    return ::mount(nullptr, path_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }

 private:
  fs::path path_;
  bool mounted_ = false;
};

class CliRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    linkDir_ = dir_.path() / "link";
    fs::create_directory(linkDir_);
    fs::permissions(linkDir_, fs::perms::owner_all, fs::perm_options::replace);
    ::setenv("NOX_LINK_DIR", linkDir_.c_str(), 1);
  }

  fs::path Path(const std::string& name) const { return dir_.path() / name; }

  // A dBase source: CODE, NAME (DOS codes), QTY, SINCE; `codes` gives each record's code, QTY is
  // the code modulo 10.
  static void WriteSource(const fs::path& path, const std::vector<int>& codes) {
    auto native = [](std::string name, char code, int width) {
      FieldDef def;
      def.name = std::move(name);
      def.nativeType = code;
      def.nativeWidth = width;
      return def;
    };
    auto storage = nox::tables::CreateDbaseStorage(path,
                                                   {native("CODE", 'N', 9), native("NAME", 'C', 20),
                                                    native("QTY", 'N', 4), native("SINCE", 'D', 8)},
                                                   {});
    const double day = nox::host::EncodeDate({2004, 3, 15});
    Record record(4);
    for (int code : codes) {
      record[0] = Value::Integer(code);
      record[1].setText(nox::formula::LatvianWinToDos("B\xe7rzi\xf2\xf0 " + std::to_string(code)));
      record[2] = Value::Integer(code % 10);
      record[3] = Value::Date(day);
      storage->appendRecord(record);
    }
    storage->flush();
  }

  static std::vector<int> Codes(int count) {
    std::vector<int> codes;
    for (int i = 1; i <= count; ++i)
      codes.push_back(i);
    return codes;
  }

  // An empty target: Paradox keyed by CODE, or dBase (.DBF) without an index.
  static void WriteTarget(const fs::path& path) {
    TTable table;
    table.SetTableName(path.string());
    table.FieldDefs() = {{"CODE", FieldType::Integer},
                         {"NAME", FieldType::String, 20},
                         {"QTY", FieldType::Integer},
                         {"NOTE", FieldType::String, 30}};
    if (path.extension() == ".DB") {
      table.IndexDefs() = {{"", "CODE", nox::tables::ixPrimary | nox::tables::ixUnique}};
    }
    table.CreateTable();
  }

  // A description converting source into target: CODE, NAME and QTY copied, NOTE by a formula.
  static DescriptionText Description(const std::string& source, const std::string& target,
                                     const std::string& note = "'n'+STR(CODE)") {
    DescriptionText text = DescriptionText::NewTemplate(source, target);
    text.SetValue(DescriptionLine::ClearTarget, "TRUE");
    for (const char* field : {"CODE", "NAME", "QTY"})
      text.lines.push_back(RelationLine::Field(field, field).Format());
    text.lines.push_back(RelationLine::Formula("NOTE", note).Format());
    return text;
  }

  // The common case: SRC.DBF with `count` records into TGT.DB, described in CONV.CNV.
  void Prepare(int count) {
    WriteSource(Path("SRC.DBF"), Codes(count));
    WriteTarget(Path("TGT.DB"));
    Description("SRC.DBF", "TGT.DB").WriteFile(Path("CONV.CNV"));
  }

  ProgramRun Noxconv(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {NOXCONV_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    const fs::path out = Path("run.out");
    const fs::path err = Path("run.err");
    FILE* outFile = std::fopen(out.c_str(), "w");
    FILE* errFile = std::fopen(err.c_str(), "w");
    const pid_t pid = Spawn(argv, dir_.path(), ::fileno(outFile), ::fileno(errFile));
    std::fclose(outFile);
    std::fclose(errFile);
    ProgramRun run;
    run.status = WaitStatus(pid);
    run.out = ReadAll(out);
    run.err = ReadAll(err);
    return run;
  }

  static std::size_t RecordCount(const fs::path& path) {
    TTable table;
    table.SetTableName(path.string());
    table.Open();
    return table.RecordCount();
  }

  nox::test::TempDir dir_;
  fs::path linkDir_;
};

// The server receives exactly the run's messages, named after the description's file-name part.
TEST_F(CliRunTest, LinkMessagesFollowTheRun) {
  struct Case {
    int records;
    std::vector<std::string> suffixes;
  };
  const Case cases[] = {
      {100, {":0%", ":10%", ":20%", ":Complete", kDestroy, kDestroy}},
      {20, {":0%", ":Complete", kDestroy, kDestroy}},  // no batch of 50 completes
      {0, {":0%", ":Complete", kDestroy, kDestroy}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.records);
    Prepare(c.records);
    LinkServer server(dir_.path(), {});
    // A full path and lower-case words: the name is the part after the last separator.
    const ProgramRun run = Noxconv({Path("CONV.CNV").string(), "auto", "dde"});
    EXPECT_EQ(run.status, 0) << run.err;
    std::vector<std::string> expected;
    for (const std::string& suffix : c.suffixes)
      expected.push_back("CONV.CNV" + suffix);
    EXPECT_EQ(server.RemainingPokes(), expected);
    EXPECT_EQ(RecordCount(Path("TGT.DB")), static_cast<std::size_t>(c.records));
  }
}

// Exactly two path lines replace the stored directories; the description keeps its text.
TEST_F(CliRunTest, PathItemWithTwoLinesRedirectsTheTables) {
  for (const char* sub : {"a", "b", "c"})
    fs::create_directory(Path(sub));
  WriteSource(Path("a/SRC.DBF"), Codes(3));
  WriteTarget(Path("a/TGT.DB"));
  WriteSource(Path("b/SRC.DBF"), Codes(5));
  WriteTarget(Path("c/TGT.DB"));
  Description(Path("a/SRC.DBF").string(), Path("a/TGT.DB").string()).WriteFile(Path("CONV.CNV"));
  const std::string stored = ReadAll(Path("CONV.CNV"));
  const std::string b = Path("b").string() + "/";
  const std::string c = Path("c").string() + "/";

  struct Case {
    std::vector<std::string> pathLines;
    std::size_t inA;  // records in a/TGT.DB afterwards
    std::size_t inC;  // records in c/TGT.DB afterwards
  };
  const Case cases[] = {
      {{b}, 3, 0},        // one line: the stored paths
      {{b, c, b}, 3, 0},  // three lines: the stored paths
      {{b, c}, 3, 5},     // b's source into c's target; a's target keeps the earlier run
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.pathLines.size());
    LinkServer server(dir_.path(), k.pathLines);
    const ProgramRun run = Noxconv({"CONV.CNV", "AUTO", "DDE"});
    EXPECT_EQ(run.status, 0) << run.err;
    server.RemainingPokes();
    EXPECT_EQ(RecordCount(Path("a/TGT.DB")), k.inA);
    EXPECT_EQ(RecordCount(Path("c/TGT.DB")), k.inC);
  }
  EXPECT_EQ(ReadAll(Path("CONV.CNV")), stored);
}

TEST_F(CliRunTest, WithoutAServerTheRunCompletesAndWarnsOnce) {
  // The mode word AUTO may be left out before DDE.
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"CONV.CNV", "AUTO", "DDE"}, {"CONV.CNV", "dde"}}) {
    SCOPED_TRACE(args.size());
    Prepare(60);
    const ProgramRun run = Noxconv(args);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "Source records: 60, target records: 60, key violations: 0\n");
    EXPECT_EQ(run.err, "False in DDE\n");
    EXPECT_EQ(RecordCount(Path("TGT.DB")), 60u);
  }
}

// Each failure class has its own status and says what went wrong; nothing else is printed.
TEST_F(CliRunTest, ExitStatusNamesTheFailure) {
  struct Case {
    const char* name;
    std::vector<std::string> lines;  // the description; empty: CONV.CNV is not written
    std::vector<std::string> args;
    int status;
    const char* message;  // part of standard error
  };
  Prepare(10);
  const std::vector<std::string> good = Description("SRC.DBF", "TGT.DB").lines;
  auto changed = [&good](const std::string& from, const std::string& to) {
    std::vector<std::string> lines;
    for (const std::string& line : good) {
      if (line.rfind(from, 0) != 0) {
        lines.push_back(line);
      } else if (!to.empty()) {
        lines.push_back(to);
      }
    }
    return lines;
  };
  const std::vector<std::string> auto_ = {"CONV.CNV", "AUTO"};
  const Case cases[] = {
      {"no description file", {}, {"NONE.CNV", "AUTO"}, 3, "NONE.CNV"},
      {"no SOURCE line", changed("SOURCE=", ""), auto_, 3, "Source file not defined"},
      {"no CLEARTARGET line", changed("CLEARTARGET=", ""), auto_, 3, "Error in .CNV file!"},
      {"malformed PACKFIELDS line", changed("PACKFIELDS:", "PACK:QTY"), auto_, 3,
       "Error in .CNV file!"},
      {"malformed FILTER line", changed("FILTER:", "FILTER=QTY > 5"), auto_, 3,
       "Error in .CNV file!"},
      {"unknown source field", changed("QTY to QTY", "PIECES to QTY"), auto_, 3, "PIECES"},
      {"a 10 MB relation line", changed("QTY to QTY", std::string(10 << 20, 'Q') + " to QTY"),
       auto_, 3, "QQQ..."},
      {"missing source table", changed("SOURCE=", "SOURCE=GONE.DBF"), auto_, 4, "GONE.DBF"},
      {"missing target table", changed("TARGET=", "TARGET=GONE.DB"), auto_, 4, "GONE.DB"},
      {"faulty filter", changed("FILTER:", "FILTER:QTY >>> 0"), auto_, 6, "QTY >>> 0"},
      {"formula fails", changed("< Func > to NOTE", "< Func > to NOTE  < Func >=1/0"), auto_, 6,
       "Division by zero"},
      {"value the field cannot take", changed("QTY to QTY", "NAME to QTY"), auto_, 6,
       "not a valid integer"},
      {"NEW needs the desktop", good, {"CONV.CNV", "NEW"}, 2, "desktop program"},
      {"any other mode word", good, {"CONV.CNV", "EDIT", "DDE"}, 2, "must be AUTO"},
      {"bad date format", good, {"--date-format", "dd/yy", "CONV.CNV"}, 2, "dd/yy"},
      {"bad decimal separator",
       good,
       {"--decimal-separator", ",,", "CONV.CNV"},
       2,
       "one character"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(Path("CONV.CNV"));
    if (!c.lines.empty()) DescriptionText{c.lines}.WriteFile(Path("CONV.CNV"));
    const ProgramRun run = Noxconv(c.args);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err.substr(0, 1000);
    EXPECT_LT(run.err.size(), 4000u);  // a message quotes the start of its input only
    EXPECT_EQ(run.out, "");            // no summary without a run
    if (c.status == 3) {
      EXPECT_EQ(RecordCount(Path("TGT.DB")), 0u);  // nothing written
    }
  }
}

// Filter, Latvian option, key violations with packing: the summary counts what the tables hold.
TEST_F(CliRunTest, SummaryCountsSourceTargetAndKeyViolations) {
  WriteSource(Path("SRC.DBF"), {11, 12, 11, 20, 13, 12});  // 20 has QTY 0
  WriteTarget(Path("TGT.DB"));
  DescriptionText text = Description("SRC.DBF", "TGT.DB");
  text.SetValue(DescriptionLine::Filter, "QTY > 0");
  text.SetValue(DescriptionLine::PackFields, "QTY");
  text.WriteFile(Path("CONV.CNV"));

  const ProgramRun run = Noxconv({"CONV.CNV"});  // AUTO is the default
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Source records: 5, target records: 3, key violations: 2\n");
  EXPECT_EQ(run.err, "");

  TTable target;
  target.SetTableName(Path("TGT.DB").string());
  target.Open();
  const std::pair<int, int> expected[] = {{11, 2}, {12, 4}, {13, 3}};  // QTY packed per code
  target.First();
  for (const auto& [code, qty] : expected) {
    ASSERT_FALSE(target.Eof());
    EXPECT_EQ(target.FieldByName("CODE").AsString(), std::to_string(code));
    EXPECT_EQ(target.FieldByName("QTY").AsString(), std::to_string(qty));
    // Converted from the DOS codes to Windows-1257.
    EXPECT_EQ(target.FieldByName("NAME").AsString(), "B\xe7rzi\xf2\xf0 " + std::to_string(code));
    target.Next();
  }
  EXPECT_EQ(RecordCount(Path("TGTKV.DB")), 2u);
}

// The format options pin the host's date format for the run's formulas.
TEST_F(CliRunTest, DateFormatOptionPinsTheHostFormat) {
  const std::pair<const char*, const char*> cases[] = {
      {"dd.mm.yyyy", "15.03.2004"}, {"yyyy-mm-dd", "2004-03-15"}, {"m/d/yy", "3/15/04"}};
  WriteSource(Path("SRC.DBF"), {1});
  WriteTarget(Path("TGT.DB"));
  Description("SRC.DBF", "TGT.DB", "DTOC(SINCE)").WriteFile(Path("CONV.CNV"));
  for (const auto& [pattern, note] : cases) {
    SCOPED_TRACE(pattern);
    const ProgramRun run =
        Noxconv({"--date-format", pattern, "--decimal-separator", ",", "CONV.CNV", "AUTO"});
    EXPECT_EQ(run.status, 0) << run.err;
    TTable target;
    target.SetTableName(Path("TGT.DB").string());
    target.Open();
    target.First();
    EXPECT_EQ(target.FieldByName("NOTE").AsString(), note);
  }
}

// Ctrl+C once the run has started: the current batch ends, the caller hears of the cancel and of
// the end of the program, and only whole batches are in the target.
TEST_F(CliRunTest, InterruptCancelsAfterTheCurrentBatch) {
  constexpr int kRecords = 50000;
  WriteSource(Path("SRC.DBF"), Codes(kRecords));
  WriteTarget(Path("TGT.DB"));
  // Each record costs a few hundred kilobytes of text, so that the run lasts seconds, however fast
  // the machine, and the interrupt always meets a running conversion.
  Description("SRC.DBF", "TGT.DB", "STR(LENGTH(REPLICATE(NAME,20000)))")
      .WriteFile(Path("CONV.CNV"));
  LinkServer server(dir_.path(), {});
  const fs::path out = Path("run.out");
  const fs::path err = Path("run.err");
  FILE* outFile = std::fopen(out.c_str(), "w");
  FILE* errFile = std::fopen(err.c_str(), "w");
  const pid_t pid = Spawn({NOXCONV_PATH, "CONV.CNV", "AUTO", "DDE"}, dir_.path(), ::fileno(outFile),
                          ::fileno(errFile));
  std::fclose(outFile);
  std::fclose(errFile);
  ASSERT_EQ(server.NextPoke(), "CONV.CNV:0%");  // counted and started
  ::kill(pid, SIGINT);
  EXPECT_EQ(WaitStatus(pid), 5) << ReadAll(err);

  const std::vector<std::string> pokes = server.RemainingPokes();
  ASSERT_GE(pokes.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(pokes.end() - 3, pokes.end()),
            (std::vector<std::string>{"CONV.CNV: Convertation terminated by user.",
                                      "CONV.CNV" + kDestroy, "CONV.CNV" + kDestroy}));
  const std::size_t converted = RecordCount(Path("TGT.DB"));
  EXPECT_LT(converted, static_cast<std::size_t>(kRecords));
  EXPECT_EQ(converted % 50, 0u);
  EXPECT_EQ(ReadAll(out), "Source records: 50000, target records: " + std::to_string(converted) +
                              ", key violations: 0\n");
  EXPECT_NE(ReadAll(err).find("cancelled after " + std::to_string(converted) + " of 50000"),
            std::string::npos);
}

}  // namespace

namespace {

// A disk that fills, at the end or in the middle of a run: the run fails naming the real cause,
// prints no counts, and leaves no half-made key-violation table behind.
TEST_F(CliRunTest, FullDiskFailsTheRunNamingTheCause) {
  struct Case {
    const char* name;
    const char* target;  // in the small disk
    int records;
  };
  // About 130 KB of dBase records fit the write buffer and fail only when the table closes; the
  // Paradox target writes its blocks as it goes and fails in the middle.
  const Case cases[] = {{"at the end", "TGT.DBF", 2000}, {"in the middle", "TGT.DB", 5000}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SmallDisk disk(Path("disk"), "64k");
    if (!disk.mounted()) GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
    const fs::path target = Path("disk") / c.target;
    WriteTarget(target);
    WriteSource(Path("SRC.DBF"), Codes(c.records));
    DescriptionText text = Description("SRC.DBF", target.string());
    text.SetValue(DescriptionLine::ClearTarget, "FALSE");
    text.WriteFile(Path("CONV.CNV"));
    const ProgramRun run = Noxconv({"CONV.CNV", "AUTO"});
    EXPECT_EQ(run.status, 6) << run.err;
    EXPECT_NE(run.err.find("No space left on device"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("KV"), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "");
    for (const auto& entry : fs::directory_iterator(Path("disk"))) {
      EXPECT_EQ(entry.path().filename().string().find("KV"), std::string::npos) << entry.path();
    }
    // A table that cannot be made on the full disk leaves nothing behind.
    TTable fresh;
    fresh.SetTableName((Path("disk") / "NEW.DB").string());
    fresh.FieldDefs() = {{"CODE", FieldType::Integer}};
    EXPECT_THROW(fresh.CreateTable(), nox::tables::TableError);
    EXPECT_FALSE(fs::exists(Path("disk") / "NEW.DB"));
  }
}

// A target that cannot be written stops the run before its first record with status 4.
TEST_F(CliRunTest, ReadOnlyTargetStopsBeforeTheFirstRecord) {
  SmallDisk disk(Path("disk"), "1m");
  if (!disk.mounted()) GTEST_SKIP() << "cannot mount a small tmpfs here (needs root)";
  WriteSource(Path("SRC.DBF"), Codes(10));
  WriteTarget(Path("disk/TGT.DB"));
  if (!disk.MakeReadOnly()) GTEST_SKIP() << "cannot make the tmpfs read-only";
  DescriptionText text = Description("SRC.DBF", Path("disk/TGT.DB").string());
  text.SetValue(DescriptionLine::ClearTarget, "FALSE");
  text.WriteFile(Path("CONV.CNV"));
  const ProgramRun run = Noxconv({"CONV.CNV", "AUTO"});
  EXPECT_EQ(run.status, 4) << run.err;
  EXPECT_NE(run.err.find("'TGT.DB' is read-only"), std::string::npos) << run.err;
  EXPECT_EQ(run.out, "");
}

// Two converters appending to one target at the same time: each either converts all its records
// or is refused before its first one; no record of either is lost or filed as a key violation.
TEST_F(CliRunTest, ConcurrentRunsOnOneTargetLoseNoRecord) {
  constexpr int kRecords = 300;
  constexpr int kRounds = 15;
  WriteSource(Path("SRC.DBF"), Codes(kRecords));
  WriteTarget(Path("TGT.DBF"));
  DescriptionText text = Description("SRC.DBF", "TGT.DBF");
  text.SetValue(DescriptionLine::ClearTarget, "FALSE");
  text.WriteFile(Path("CONV.CNV"));
  std::size_t converted = 0;
  int refused = 0;
  for (int round = 0; round < kRounds; ++round) {
    pid_t pids[2];
    for (int i = 0; i < 2; ++i) {
      const fs::path err = Path("run" + std::to_string(i) + ".err");
      FILE* errFile = std::fopen(err.c_str(), "w");
      pids[i] = Spawn({NOXCONV_PATH, "CONV.CNV", "AUTO"}, dir_.path(), ::fileno(errFile),
                      ::fileno(errFile));
      std::fclose(errFile);
    }
    for (int i = 0; i < 2; ++i) {
      const int status = WaitStatus(pids[i]);
      const std::string err = ReadAll(Path("run" + std::to_string(i) + ".err"));
      if (status == 0) {
        converted += kRecords;
      } else {
        ++refused;
        EXPECT_EQ(status, 4) << err;
        EXPECT_NE(err.find("locked by another program"), std::string::npos) << err;
      }
    }
  }
  EXPECT_EQ(RecordCount(Path("TGT.DBF")), converted) << refused << " runs refused";
  EXPECT_FALSE(fs::exists(Path("TGTKV.DBF")));
}

}  // namespace

namespace {

// A run that clears its target, killed at random moments: the target holds either all its old
// records or the whole new result, never a part of either.
TEST_F(CliRunTest, KilledClearingRunLeavesTheOldTargetWhole) {
  constexpr int kOld = 200;
  constexpr int kNew = 2000;
  WriteSource(Path("SRC.DBF"), Codes(kNew));
  std::mt19937 random(20261209);
  for (const char* name : {"TGT.DB", "TGT.DBF"}) {
    SCOPED_TRACE(name);
    const fs::path target = Path(name);
    fs::remove(target);
    WriteTarget(target);
    {
      TTable table;
      table.SetTableName(target.string());
      table.Open();
      for (int code = 900001; code < 900001 + kOld; ++code) {
        table.Append();
        table.FieldByName("CODE").SetValue(Value::Integer(code));
        table.Post();
      }
      table.Close();
    }
    // Each record costs a few hundred kilobytes of text, so that the kills meet a running
    // conversion.
    Description("SRC.DBF", name, "STR(LENGTH(REPLICATE(NAME,20000)))").WriteFile(Path("CONV.CNV"));
    for (int round = 0; round < 6; ++round) {
      const int null = ::open("/dev/null", O_WRONLY);
      const pid_t pid = Spawn({NOXCONV_PATH, "CONV.CNV", "AUTO"}, dir_.path(), null, null);
      ::close(null);
      std::this_thread::sleep_for(std::chrono::milliseconds(random() % 300));
      ::kill(pid, SIGKILL);
      WaitStatus(pid);
      TTable table;
      table.SetTableName(target.string());
      table.Open();
      const std::size_t count = table.RecordCount();
      if (count != static_cast<std::size_t>(kNew)) {
        ASSERT_EQ(count, static_cast<std::size_t>(kOld)) << "round " << round;
        for (table.First(); !table.Eof(); table.Next())
          ASSERT_GE(std::stol(table.FieldByName("CODE").AsString()), 900001);
      }
    }
  }
}

}  // namespace
