// The link with the calling program: frames, the private directory, the two conversations against
// the reference server, and the client's behaviour with servers that misbehave.

#include "link/caller_link.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <list>
#include <string>
#include <thread>
#include <vector>

#include "link/link_protocol.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using nox::link::CallerConversations;
using nox::link::CallerLink;
using nox::link::EncodeFrame;
using nox::link::Frame;
using nox::link::FrameReader;
using nox::link::FrameType;

using namespace std::chrono_literals;

// ---------------------------------------------------------------------------------------------
// Helpers

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int value : values)
    bytes.push_back(static_cast<char>(value));
  return bytes;
}

std::vector<Frame> ReadAll(FrameReader& reader) {
  std::vector<Frame> frames;
  while (std::optional<Frame> frame = reader.Next())
    frames.push_back(*frame);
  return frames;
}

// A private link directory for one test, named by NOX_LINK_DIR while the test runs.
class LinkDirectory {
 public:
  LinkDirectory() { ::setenv("NOX_LINK_DIR", dir_.path().c_str(), 1); }
  ~LinkDirectory() { ::unsetenv("NOX_LINK_DIR"); }
  const fs::path& path() const { return dir_.path(); }
  std::string Socket(const std::string& service = "ZIROZOZA") const {
    return (dir_.path() / service).string();
  }

 private:
  nox::test::TempDir dir_;
};

int ConnectRaw(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

void WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t sent = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (sent <= 0) return;
    done += static_cast<std::size_t>(sent);
  }
}

// Reads from a blocking descriptor until the peer closes it.
std::string ReadToEnd(int fd) {
  std::string text;
  char chunk[4096];
  for (ssize_t got; (got = ::read(fd, chunk, sizeof chunk)) > 0;) {
    text.append(chunk, static_cast<std::size_t>(got));
  }
  return text;
}

// The reference server as a child process. Construction returns once the server has announced
// its socket (or has ended without doing so).
class ServerProcess {
 public:
  // `descriptors` > 0 limits how many files the server may hold open.
  explicit ServerProcess(const std::vector<std::string>& arguments, rlim_t descriptors = 0) {
    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], STDOUT_FILENO);
      ::dup2(err[1], STDERR_FILENO);
      // Only the standard descriptors go with it, whatever the test runner left open.
      ::close_range(3, ~0U, 0);
      const rlimit limit{descriptors, descriptors};
      if (descriptors > 0 && ::setrlimit(RLIMIT_NOFILE, &limit) != 0) ::_exit(126);
      std::vector<char*> argv{const_cast<char*>(NOXLINKSERVER_PATH)};
      for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
      argv.push_back(nullptr);
      ::execv(NOXLINKSERVER_PATH, argv.data());
      ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);
    out_ = out[0];
    err_ = err[0];
    char byte = 0;
    while (::read(err_, &byte, 1) == 1 && byte != '\n')
      first_line_.push_back(byte);
    started_ = first_line_.rfind("listening ", 0) == 0;
  }
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;
  ~ServerProcess() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
    if (err_ >= 0) ::close(err_);
  }

  bool started() const { return started_; }
  // Processor time the server has used so far, in clock ticks.
  long CpuTicks() const {
    std::ifstream stat("/proc/" + std::to_string(pid_) + "/stat");
    std::string field;
    for (int i = 1; i <= 13 && stat >> field; ++i) {
    }
    long user = 0;
    long system = 0;
    stat >> user >> system;
    return user + system;
  }
  const std::string& first_line() const { return first_line_; }
  // Standard output up to the server's end.
  std::string Output() { return ReadToEnd(out_); }
  // What the server wrote to standard error after its first line, up to its end.
  std::string Errors() { return ReadToEnd(err_); }
  // Exit status after SIGTERM (or after its own end with `signal` 0); -1 when killed.
  int Stop(int signal = SIGTERM) {
    if (signal != 0) ::kill(pid_, signal);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  int err_ = -1;
  std::string first_line_;
  bool started_ = false;
};

// An in-test server whose answers a handler chooses: it gets the connection's topic and each
// frame and gives the bytes to send back.
class FakeServer {
 public:
  using Handler = std::function<std::string(const std::string& topic, const Frame& frame)>;

  FakeServer(const std::string& path, Handler handler) : handler_(std::move(handler)) {
    listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::listen(listener_, 8);
    if (::pipe2(stop_, O_CLOEXEC) != 0) stop_[0] = stop_[1] = -1;
    thread_ = std::thread([this] { Loop(); });
  }
  FakeServer(const FakeServer&) = delete;
  FakeServer& operator=(const FakeServer&) = delete;
  ~FakeServer() {
    const char byte = 0;
    [[maybe_unused]] const ssize_t written = ::write(stop_[1], &byte, 1);
    thread_.join();
    for (Connection& connection : connections_)
      ::close(connection.fd);
    ::close(listener_);
    ::close(stop_[0]);
    ::close(stop_[1]);
  }

 private:
  struct Connection {
    int fd;
    std::string topic;
    FrameReader reader;
  };

  void Loop() {
    for (;;) {
      std::vector<pollfd> watches{{stop_[0], POLLIN, 0}, {listener_, POLLIN, 0}};
      for (const Connection& connection : connections_)
        watches.push_back({connection.fd, POLLIN, 0});
      if (::poll(watches.data(), watches.size(), -1) < 0) continue;
      if (watches[0].revents != 0) return;
      std::size_t index = 2;
      for (Connection& connection : connections_) {
        if (index >= watches.size()) break;
        if (watches[index++].revents != 0) Serve(connection);
      }
      if (watches[1].revents != 0) {
        connections_.push_back({::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC), {}, {}});
      }
    }
  }

  void Serve(Connection& connection) {
    char chunk[4096];
    const ssize_t got = ::recv(connection.fd, chunk, sizeof chunk, 0);
    if (got <= 0) {
      ::shutdown(connection.fd, SHUT_RDWR);
      return;
    }
    connection.reader.Append(std::string_view(chunk, static_cast<std::size_t>(got)));
    while (std::optional<Frame> frame = connection.reader.Next()) {
      if (frame->type == FrameType::Connect) connection.topic = frame->name;
      WriteAll(connection.fd, handler_(connection.topic, *frame));
    }
  }

  Handler handler_;
  int listener_ = -1;
  int stop_[2] = {-1, -1};
  std::list<Connection> connections_;
  std::thread thread_;
};

// A fake server's usual answers: every topic accepted, advise links acknowledged, requests
// answered with an empty text.
std::string Usual(const Frame& frame) {
  switch (frame.type) {
    case FrameType::Connect:
      return EncodeFrame({FrameType::Accept, {}, {}});
    case FrameType::Advise:
      return EncodeFrame({FrameType::AdviseAck, frame.name, {}});
    case FrameType::Request:
      return EncodeFrame({FrameType::Data, frame.name, std::string(1, '\0')});
    default:
      return {};
  }
}

// Handles the conversations' incoming frames until `done` holds, waiting on their sockets.
bool ProcessUntil(CallerConversations& conversations, const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::vector<pollfd> watches;
    for (int fd : conversations.Fds())
      watches.push_back({fd, POLLIN, 0});
    ::poll(watches.data(), watches.size(), 100);
    conversations.ProcessIncoming();
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Message names and path item lines

TEST(MessageName, IsTheFileNamePartOfTheArgumentAsTyped) {
  const struct {
    const char* argument;
    const char* name;
  } cases[] = {
      {"C:\\DATA\\CONV.CNV", "CONV.CNV"},
      {"conv.cnv", "conv.cnv"},
      {"C:CONV.CNV", "CONV.CNV"},
      {"/home/user/data/Conv.cnv", "Conv.cnv"},
      {"..\\up/mixed\\Last.cnv", "Last.cnv"},
      {"C:\\DATA\\", ""},
      {"", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(nox::link::MessageName(c.argument), c.name) << c.argument;
}

TEST(SplitItemLines, BreaksAtEveryKindOfLineEnd) {
  using Lines = std::vector<std::string>;
  const struct {
    std::string text;
    Lines lines;
  } cases[] = {
      {"", {}},
      {"D:\\NEW\\", {"D:\\NEW\\"}},
      {"D:\\NEW\\\r\nE:\\OUT\\", {"D:\\NEW\\", "E:\\OUT\\"}},
      {"D:\\NEW\\\r\nE:\\OUT\\\r\n", {"D:\\NEW\\", "E:\\OUT\\"}},
      {"a\nb\rc", {"a", "b", "c"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"\r\n", {""}},
      {"a\n\r\n", {"a", ""}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(nox::link::SplitItemLines(c.text), c.lines) << c.text;
}

// ---------------------------------------------------------------------------------------------
// Frames

TEST(LinkFrames, SurviveTheWireWhateverTheChunking) {
  const std::vector<Frame> frames = {
      {FrameType::Connect, "Server", {}},
      {FrameType::Accept, {}, {}},
      {FrameType::Advise, "ServerItemPath", {}},
      {FrameType::Data, "ServerItemPath", std::string("D:\\NEW\\\r\nE:\\OUT\\\0", 17)},
      {FrameType::Poke, "ServerItem", std::string("CONV.CNV:0%\0", 12)},
      {FrameType::Poke, std::string(255, 'i'), std::string(1000, '\xE8')},
      {FrameType::Data, "X", {}},
      {FrameType::Notify, "ServerItemPath", {}},
      {FrameType::Disconnect, {}, {}},
  };
  std::string wire;
  for (const Frame& frame : frames)
    wire.append(EncodeFrame(frame));
  for (std::size_t chunk : {wire.size(), std::size_t{1}, std::size_t{3}, std::size_t{7}}) {
    FrameReader reader;
    std::vector<Frame> got;
    for (std::size_t at = 0; at < wire.size(); at += chunk) {
      reader.Append(std::string_view(wire).substr(at, chunk));
      for (Frame& frame : ReadAll(reader))
        got.push_back(frame);
    }
    EXPECT_FALSE(reader.Failed()) << reader.Error();
    EXPECT_EQ(got, frames) << "chunk " << chunk;
  }
}

TEST(LinkFrames, MalformedInputFailsTheReaderForGood) {
  const struct {
    const char* what;
    std::string bytes;
    const char* error;
  } cases[] = {
      {"length above the bound", Bytes({0x00, 0x10, 0x00, 0x01, 12, 1, 'x'}),
       "length out of range"},
      {"huge length", Bytes({0xFF, 0xFF, 0xFF, 0xFF}), "length out of range"},
      {"empty body", Bytes({0, 0, 0, 0}), "length out of range"},
      {"body without name length", Bytes({0, 0, 0, 1, 2}), "length out of range"},
      {"unknown type", Bytes({0, 0, 0, 2, 99, 0}), "unknown link frame type 99"},
      {"type zero", Bytes({0, 0, 0, 2, 0, 0}), "unknown link frame type 0"},
      {"name beyond the frame", Bytes({0, 0, 0, 3, 8, 5, 'a'}), "name longer than its frame"},
      {"request without item", Bytes({0, 0, 0, 2, 8, 0}), "wrong name"},
      {"accept with a name", Bytes({0, 0, 0, 3, 2, 1, 'a'}), "wrong name"},
      {"advise with data", Bytes({0, 0, 0, 4, 4, 1, 'a', 'b'}), "unexpected data"},
  };
  for (const auto& c : cases) {
    FrameReader reader;
    reader.Append(c.bytes);
    EXPECT_EQ(reader.Next(), std::nullopt) << c.what;
    EXPECT_TRUE(reader.Failed()) << c.what;
    EXPECT_NE(reader.Error().find(c.error), std::string::npos) << c.what << ": " << reader.Error();
    // Good frames after a bad one are not taken: the stream has lost its framing.
    reader.Append(EncodeFrame({FrameType::Accept, {}, {}}));
    EXPECT_EQ(reader.Next(), std::nullopt) << c.what;
  }
}

TEST(LinkFrames, LargestFrameIsAcceptedOneByteMoreIsNot) {
  const std::string item = "ServerItem";
  const std::size_t room = nox::link::kMaxFrameBody - 2 - item.size();
  const Frame largest{FrameType::Poke, item, std::string(room, 'x')};
  FrameReader reader;
  reader.Append(EncodeFrame(largest));
  EXPECT_EQ(reader.Next(), largest);
  EXPECT_THROW(EncodeFrame({FrameType::Poke, item, std::string(room + 1, 'x')}),
               std::invalid_argument);
}

TEST(LinkFrames, EncodingRefusesWhatTheTypeCannotCarry) {
  const Frame bad[] = {
      {FrameType::Connect, {}, {}},
      {FrameType::Request, std::string(256, 'i'), {}},
      {FrameType::Accept, "Server", {}},
      {FrameType::Advise, "ServerItem", "data"},
  };
  for (const Frame& frame : bad) {
    EXPECT_THROW(EncodeFrame(frame), std::invalid_argument) << static_cast<int>(frame.type);
  }
}

// ---------------------------------------------------------------------------------------------
// The private directory

TEST(LinkDirectory, OnlyAPrivateDirectoryOfThisUserIsAccepted) {
  nox::test::TempDir temp;
  const fs::path good = temp / "good";
  const fs::path open = temp / "open";
  const fs::path group = temp / "group";
  const fs::path file = temp / "file";
  const fs::path link = temp / "link";
  ASSERT_EQ(::mkdir(good.c_str(), 0700), 0);
  ASSERT_EQ(::mkdir(open.c_str(), 0700), 0);
  ASSERT_EQ(::chmod(open.c_str(), 0777), 0);
  ASSERT_EQ(::mkdir(group.c_str(), 0700), 0);
  ASSERT_EQ(::chmod(group.c_str(), 0750), 0);
  ASSERT_EQ(::close(::creat(file.c_str(), 0700)), 0);
  fs::create_directory_symlink(good, link);
  const struct {
    fs::path directory;
    const char* reason;
  } cases[] = {
      {good, ""},
      {open, "has mode 0777, expected 0700"},
      {group, "has mode 0750, expected 0700"},
      {file, "is not a directory"},
      {link, "is a symbolic link"},
      {temp / "missing", "does not exist"},
  };
  for (const auto& c : cases) {
    const std::string reason = nox::link::CheckPrivateDirectory(c.directory.string());
    if (*c.reason == '\0') {
      EXPECT_EQ(reason, "") << c.directory;
    } else {
      EXPECT_NE(reason.find(c.directory.string()), std::string::npos) << reason;
      EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
    }
  }
}

TEST(LinkDirectory, ChosenFromTheEnvironment) {
  const char* saved_runtime = std::getenv("XDG_RUNTIME_DIR");
  const std::string runtime = saved_runtime == nullptr ? "" : saved_runtime;
  ::setenv("NOX_LINK_DIR", "/own/dir", 1);
  ::setenv("XDG_RUNTIME_DIR", "/run/user/77", 1);
  EXPECT_EQ(nox::link::LinkDirectory(), "/own/dir");
  ::unsetenv("NOX_LINK_DIR");
  EXPECT_EQ(nox::link::LinkDirectory(), "/run/user/77/nox-link");
  ::unsetenv("XDG_RUNTIME_DIR");
  EXPECT_EQ(nox::link::LinkDirectory(), "/tmp/nox-link-" + std::to_string(::getuid()));
  if (saved_runtime != nullptr) ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
}

TEST(LinkDirectory, ServiceNamesThatCannotNameASocketAreRefused) {
  EXPECT_EQ(nox::link::ServiceSocketPath("/run/x", "ZIROZOZA"), "/run/x/ZIROZOZA");
  const std::string bad[] = {"", ".", "..", "a/b", std::string("a\0b", 3), std::string(120, 'S')};
  for (const std::string& service : bad) {
    EXPECT_THROW(nox::link::ServiceSocketPath("/run/x", service), std::invalid_argument) << service;
  }
}

// ---------------------------------------------------------------------------------------------
// The conversations against the reference server

TEST(CallerConversations, MessagesReachTheServerInOrderWithTheirSpacing) {
  LinkDirectory dir;
  ServerProcess server({"--path-lines", "D:\\NEW\\", "E:\\OUT\\", "--once"});
  ASSERT_TRUE(server.started()) << server.first_line();
  EXPECT_EQ(server.first_line(), "listening " + dir.Socket());

  CallerConversations conversations("C:\\DATA\\CONV.CNV");
  conversations.Open();
  EXPECT_TRUE(conversations.Client().Connected()) << conversations.Client().LastError();
  EXPECT_TRUE(conversations.ClientPath().Connected()) << conversations.ClientPath().LastError();
  EXPECT_EQ(conversations.Fds().size(), 2u);
  for (const char* suffix : {":0%", ":10%", ":20%", ":Complete", ": Program destroy."}) {
    EXPECT_TRUE(conversations.Send(suffix)) << suffix;
  }
  EXPECT_TRUE(conversations.Close());
  EXPECT_FALSE(conversations.Send(":late"));

  EXPECT_EQ(server.Output(),
            "CONV.CNV:0%\nCONV.CNV:10%\nCONV.CNV:20%\nCONV.CNV:Complete\n"
            "CONV.CNV: Program destroy.\nCONV.CNV: Program destroy.\n");
  EXPECT_EQ(conversations.PathLines(), (std::vector<std::string>{"D:\\NEW\\", "E:\\OUT\\"}));
  EXPECT_EQ(server.Stop(0), 0);
  EXPECT_FALSE(fs::exists(dir.Socket()));
}

TEST(CallerConversations, PathItemLinesAreDeliveredAsTheServerOffersThem) {
  using Lines = std::vector<std::string>;
  const Lines cases[] = {
      {"D:\\NEW\\", "E:\\OUT\\"},
      {"D:\\NEW\\"},
      {"D:\\NEW\\", "E:\\OUT\\", "F:\\MORE\\"},
      {},
  };
  for (const Lines& lines : cases) {
    LinkDirectory dir;
    std::vector<std::string> arguments{"--once", "--path-lines"};
    arguments.insert(arguments.end(), lines.begin(), lines.end());
    ServerProcess server(arguments);
    ASSERT_TRUE(server.started()) << server.first_line();
    CallerConversations conversations("CONV.CNV");
    conversations.Open();
    EXPECT_EQ(conversations.PathLines(), lines);
    EXPECT_TRUE(conversations.Close());
    EXPECT_EQ(server.Output(), "CONV.CNV: Program destroy.\n");
  }
}

TEST(CallerConversations, WithoutAServerEverythingFailsQuietly) {
  LinkDirectory dir;
  CallerConversations conversations("C:\\DATA\\CONV.CNV");
  conversations.Open();
  EXPECT_FALSE(conversations.Client().Connected());
  EXPECT_FALSE(conversations.ClientPath().Connected());
  EXPECT_NE(conversations.Client().LastError().find("no link server at " + dir.Socket()),
            std::string::npos)
      << conversations.Client().LastError();
  EXPECT_TRUE(conversations.Fds().empty());
  EXPECT_FALSE(conversations.Send(":0%"));
  conversations.ProcessIncoming();
  EXPECT_TRUE(conversations.PathLines().empty());
  EXPECT_FALSE(conversations.Close());
}

TEST(CallerConversations, ADirectoryOthersCanEnterIsRefusedByBothSides) {
  LinkDirectory dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0755), 0);
  ServerProcess server({"--once"});
  EXPECT_FALSE(server.started());
  EXPECT_NE(server.first_line().find("has mode 0755, expected 0700"), std::string::npos)
      << server.first_line();
  EXPECT_EQ(server.Stop(0), 1);

  // A socket planted there is not used either.
  FakeServer planted(dir.Socket(),
                     [](const std::string&, const Frame& frame) { return Usual(frame); });
  CallerLink link;
  EXPECT_FALSE(link.Connect("ZIROZOZA", "Server"));
  EXPECT_NE(link.LastError().find("has mode 0755"), std::string::npos) << link.LastError();
}

TEST(CallerLink, UnknownTopicsAndItemsAreRefusedByTheServer) {
  LinkDirectory dir;
  ServerProcess server({"--path-lines", "D:\\NEW\\", "E:\\OUT\\"});
  ASSERT_TRUE(server.started()) << server.first_line();

  CallerLink other;
  EXPECT_FALSE(other.Connect("ZIROZOZA", "Other"));
  EXPECT_NE(other.LastError().find("link topic \"Other\" of service \"ZIROZOZA\" refused"),
            std::string::npos)
      << other.LastError();

  CallerLink messages;
  ASSERT_TRUE(messages.Connect("ZIROZOZA", "Server")) << messages.LastError();
  EXPECT_FALSE(messages.StartAdvise("ServerItemPath"));
  EXPECT_EQ(messages.Request("ServerItemPath"), std::nullopt);
  EXPECT_NE(messages.LastError().find("refused"), std::string::npos) << messages.LastError();
  EXPECT_TRUE(messages.Connected());
  EXPECT_EQ(messages.Request("ServerItem"), "");

  CallerLink elsewhere;
  EXPECT_FALSE(elsewhere.Connect("OTHERSERVICE", "Server"));
  EXPECT_FALSE(elsewhere.Connect("bad/name", "Server"));
  EXPECT_NE(elsewhere.LastError().find("invalid link service name \"bad/name\""),
            std::string::npos);
  EXPECT_EQ(server.Stop(), 0);
}

TEST(NoxLinkServer, SurvivesMalformedConnectionsAndEndsCleanlyOnSignal) {
  LinkDirectory dir;
  ServerProcess server({"--path-lines", "D:\\NEW\\", "E:\\OUT\\"});
  ASSERT_TRUE(server.started()) << server.first_line();
  const struct {
    const char* what;
    std::string bytes;
  } garbage[] = {
      {"length above the bound", Bytes({0x7F, 0xFF, 0xFF, 0xFF, 1, 1, 'x'})},
      {"unknown type", Bytes({0, 0, 0, 2, 200, 0})},
      {"request before the topic", EncodeFrame({FrameType::Request, "ServerItemPath", {}})},
      {"second topic", EncodeFrame({FrameType::Connect, "Server", {}}) +
                           EncodeFrame({FrameType::Connect, "ServerPath", {}})},
      {"frame from the server's side",
       EncodeFrame({FrameType::Connect, "Server", {}}) + EncodeFrame({FrameType::Accept, {}, {}})},
      {"cut frame then end", Bytes({0, 0, 0, 40, 12, 10, 'S'})},
  };
  for (const auto& g : garbage) {
    const int fd = ConnectRaw(dir.Socket());
    ASSERT_GE(fd, 0) << g.what;
    WriteAll(fd, g.bytes);
    ::shutdown(fd, SHUT_WR);
    // The server answers what was valid, then closes the connection.
    FrameReader reader;
    reader.Append(ReadToEnd(fd));
    for (const Frame& frame : ReadAll(reader))
      EXPECT_EQ(frame.type, FrameType::Accept) << g.what;
    ::close(fd);
  }

  CallerConversations conversations("CONV.CNV");
  conversations.Open();
  EXPECT_EQ(conversations.PathLines(), (std::vector<std::string>{"D:\\NEW\\", "E:\\OUT\\"}));
  EXPECT_TRUE(conversations.Send(":0%"));
  EXPECT_TRUE(conversations.Close());

  EXPECT_EQ(server.Stop(SIGTERM), 0);
  EXPECT_EQ(server.Output(), "CONV.CNV:0%\nCONV.CNV: Program destroy.\n");
  const std::string errors = server.Errors();
  EXPECT_NE(errors.find("length out of range"), std::string::npos) << errors;
  EXPECT_NE(errors.find("a frame before the topic"), std::string::npos) << errors;
  EXPECT_FALSE(fs::exists(dir.Socket()));
}

// A poke cannot forge a line of the server's output nor reach the terminal as a control sequence.
TEST(NoxLinkServer, PrintsControlCharactersOfAPokeEscaped) {
  LinkDirectory dir;
  ServerProcess server({"--once"});
  ASSERT_TRUE(server.started()) << server.first_line();
  CallerConversations conversations("CONV.CNV");
  conversations.Open();
  EXPECT_TRUE(conversations.Send(":1%\r\nCONV.CNV:Complete\x1b[2J\\"));
  conversations.Close();
  EXPECT_EQ(server.Output(),
            "CONV.CNV:1%\\x0D\\x0ACONV.CNV:Complete\\x1B[2J\\x5C\n"
            "CONV.CNV: Program destroy.\n");
}

// Out of descriptors, the server waits instead of spinning on the connection it cannot accept,
// and serves again once one is free.
TEST(NoxLinkServer, OutOfDescriptorsItRestsAndRecovers) {
  LinkDirectory dir;
  // Standard input, output and error, the listener, the signal pipe and one connection.
  ServerProcess server({}, 7);
  ASSERT_TRUE(server.started()) << server.first_line();
  std::vector<int> waiting;
  for (int i = 0; i < 3; ++i)
    waiting.push_back(ConnectRaw(dir.Socket()));
  std::this_thread::sleep_for(200ms);
  const long before = server.CpuTicks();
  std::this_thread::sleep_for(1s);
  // Spinning takes the whole second (100 ticks) when the processor is free; resting next to none.
  EXPECT_LT(server.CpuTicks() - before, 20);
  for (int fd : waiting)
    ::close(fd);
  CallerConversations conversations("CONV.CNV");
  conversations.Open();
  EXPECT_TRUE(conversations.Send(":0%"));
  conversations.Close();
  EXPECT_EQ(server.Stop(SIGTERM), 0);
  EXPECT_NE(server.Output().find("CONV.CNV:0%\n"), std::string::npos);
}

TEST(NoxLinkServer, RefusesASecondServerForTheSameServiceAndReplacesAStaleSocket) {
  LinkDirectory dir;
  {
    ServerProcess first({});
    ASSERT_TRUE(first.started()) << first.first_line();
    ServerProcess second({});
    EXPECT_FALSE(second.started());
    EXPECT_NE(second.first_line().find("already served at " + dir.Socket()), std::string::npos)
        << second.first_line();
    EXPECT_EQ(first.Stop(SIGKILL), -1);  // leaves its socket behind
  }
  ASSERT_TRUE(fs::exists(dir.Socket()));
  ServerProcess replacement({"--service", "ZIROZOZA"});
  EXPECT_TRUE(replacement.started()) << replacement.first_line();
  CallerLink link;
  EXPECT_TRUE(link.Connect("ZIROZOZA", "ServerPath")) << link.LastError();
  link.Disconnect();
  EXPECT_EQ(replacement.Stop(SIGINT), 0);
}

TEST(NoxLinkServer, BadArgumentsAreNamed) {
  LinkDirectory dir;
  const struct {
    std::vector<std::string> arguments;
    const char* error;
  } cases[] = {
      {{"--bogus"}, "unknown or incomplete argument \"--bogus\""},
      {{"--service"}, "unknown or incomplete argument \"--service\""},
      {{"--service", "a/b"}, "invalid link service name \"a/b\""},
  };
  for (const auto& c : cases) {
    ServerProcess server(c.arguments);
    EXPECT_FALSE(server.started());
    const std::string text = server.first_line() + server.Errors();
    EXPECT_NE(text.find(c.error), std::string::npos) << text;
    EXPECT_EQ(server.Stop(0), 1);
  }
}

// ---------------------------------------------------------------------------------------------
// Servers that misbehave

TEST(CallerLink, ARequestNobodyAnswersEndsAfterTheTimeOut) {
  LinkDirectory dir;
  FakeServer silent(dir.Socket(), [](const std::string&, const Frame& frame) {
    return frame.type == FrameType::Request ? std::string() : Usual(frame);
  });
  CallerLink link(300ms);
  ASSERT_TRUE(link.Connect("ZIROZOZA", "ServerPath")) << link.LastError();
  ASSERT_TRUE(link.StartAdvise("ServerItemPath"));
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(link.Request("ServerItemPath"), std::nullopt);
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, 250ms);
  EXPECT_LT(waited, 5s);
  EXPECT_EQ(link.LastError(), "the link server did not answer in time");
  EXPECT_TRUE(link.Connected());
  EXPECT_TRUE(link.Poke("ServerItem", "still fine"));
}

TEST(CallerLink, ATopicNobodyAcceptsEndsAfterTheTimeOut) {
  LinkDirectory dir;
  FakeServer mute(dir.Socket(), [](const std::string&, const Frame&) { return std::string(); });
  CallerLink link(200ms);
  EXPECT_FALSE(link.Connect("ZIROZOZA", "Server"));
  EXPECT_NE(link.LastError().find("did not answer in time"), std::string::npos) << link.LastError();
  EXPECT_FALSE(link.Poke("ServerItem", "x"));
}

TEST(CallerLink, MalformedAnswersCloseTheConversation) {
  const struct {
    const char* what;
    std::string answer;
    const char* error;
  } cases[] = {
      {"oversized frame", Bytes({0x01, 0x00, 0x00, 0x00}), "length out of range"},
      {"unknown type", Bytes({0, 0, 0, 2, 77, 0}), "unknown link frame type 77"},
      {"server ends", EncodeFrame({FrameType::Disconnect, {}, {}}), "ended the conversation"},
  };
  for (const auto& c : cases) {
    LinkDirectory dir;
    FakeServer server(dir.Socket(), [&c](const std::string&, const Frame& frame) {
      return frame.type == FrameType::Request ? c.answer : Usual(frame);
    });
    CallerLink link;
    ASSERT_TRUE(link.Connect("ZIROZOZA", "ServerPath")) << link.LastError();
    EXPECT_EQ(link.Request("ServerItemPath"), std::nullopt) << c.what;
    EXPECT_FALSE(link.Connected()) << c.what;
    EXPECT_NE(link.LastError().find(c.error), std::string::npos)
        << c.what << ": " << link.LastError();
    EXPECT_FALSE(link.Poke("ServerItem", "x")) << c.what;
  }
}

TEST(CallerConversations, AChangedPathItemIsRequestedAgain) {
  LinkDirectory dir;
  std::atomic<int> requests{0};
  FakeServer server(dir.Socket(), [&requests](const std::string&, const Frame& frame) {
    if (frame.type != FrameType::Request || frame.name != "ServerItemPath") return Usual(frame);
    if (++requests == 1) {
      // The first answer is followed at once by a change notification.
      return EncodeFrame(
                 {FrameType::Data, frame.name, std::string("D:\\OLD\\\r\nE:\\OLD\\\0", 17)}) +
             EncodeFrame({FrameType::Notify, frame.name, {}});
    }
    return EncodeFrame({FrameType::Data, frame.name, std::string("D:\\NEW\\\r\nE:\\NEW\\\0", 17)});
  });
  CallerConversations conversations("CONV.CNV");
  conversations.Open();
  EXPECT_EQ(conversations.PathLines(), (std::vector<std::string>{"D:\\OLD\\", "E:\\OLD\\"}));
  EXPECT_TRUE(ProcessUntil(conversations, [&] { return requests == 2; }));
  EXPECT_EQ(conversations.PathLines(), (std::vector<std::string>{"D:\\NEW\\", "E:\\NEW\\"}));
}

// A caller that answers every request with a burst of change notifications is not asked again
// after every batch: the requests stay few however often the run looks at the link.
TEST(CallerConversations, AFloodOfNotificationsIsNotAnsweredByAFloodOfRequests) {
  LinkDirectory dir;
  std::atomic<int> requests{0};
  FakeServer server(dir.Socket(), [&requests](const std::string&, const Frame& frame) {
    if (frame.type != FrameType::Request || frame.name != "ServerItemPath") return Usual(frame);
    ++requests;
    std::string answer = EncodeFrame({FrameType::Data, frame.name, std::string(1, '\0')});
    for (int i = 0; i < 2000; ++i)
      answer += EncodeFrame({FrameType::Notify, frame.name, {}});
    return answer;
  });
  CallerConversations conversations("CONV.CNV");
  conversations.Open();
  ASSERT_EQ(requests, 1);
  for (int batch = 0; batch < 200; ++batch) {
    std::this_thread::sleep_for(1ms);  // the records of one batch
    conversations.ProcessIncoming();
  }
  EXPECT_LT(requests, 10);  // one a second at most
  EXPECT_TRUE(conversations.RequestPending());
}

TEST(CallerConversations, ARefusedAdviseLinkLeavesThePathLinesUnused) {
  LinkDirectory dir;
  std::atomic<int> path_requests{0};
  FakeServer server(dir.Socket(), [&path_requests](const std::string& topic, const Frame& frame) {
    if (frame.type == FrameType::Advise && topic == "ServerPath") {
      return EncodeFrame({FrameType::AdviseNack, frame.name, {}});
    }
    if (frame.type == FrameType::Request) {
      if (topic == "ServerPath") ++path_requests;
      return EncodeFrame({FrameType::Data, frame.name, std::string("A\\\r\nB\\\0", 7)});
    }
    return Usual(frame);
  });
  CallerConversations conversations("CONV.CNV");
  conversations.Open();
  EXPECT_TRUE(conversations.PathLines().empty());
  EXPECT_EQ(path_requests, 0);
  EXPECT_TRUE(conversations.Send(":0%"));
  EXPECT_TRUE(conversations.Close());
}

}  // namespace
