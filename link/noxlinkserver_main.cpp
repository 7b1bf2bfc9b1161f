// noxlinkserver: the reference server of the link with the calling program. It listens as a
// service (default "ZIROZOZA"), accepts the topics "Server" and "ServerPath", prints every poke it
// receives to standard output, one per line, and serves the item "ServerItemPath" from its
// arguments. A calling program can use it as it stands or as a model; the tests run it.

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <list>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "link/caller_link.h"
#include "link/link_protocol.h"

namespace {

using nox::link::Frame;
using nox::link::FrameType;

constexpr const char* kUsage =
    "usage: noxlinkserver [--service NAME] [--path-lines LINE...] [--once]\n"
    "  --service NAME        listen as NAME instead of ZIROZOZA\n"
    "  --path-lines LINE...  serve item ServerItemPath as these lines joined by CR LF\n"
    "                        (every following argument up to the next one starting with --)\n"
    "  --once                exit when the last connection has ended\n";

// A client that does not read what it is sent is dropped beyond this much.
constexpr std::size_t kMaxQueued = 4 * nox::link::kMaxFrameBody;
// How long the listener rests after running out of descriptors (milliseconds).
constexpr int kAcceptPause = 200;

// A poke as one output line: control characters and the backslash written as \xNN, so that a
// poke can neither break the line nor forge another one, nor send escape sequences to a terminal.
std::string PrintablePoke(std::string_view text) {
  std::string line;
  line.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F && c != '\\') {
      line += c;
      continue;
    }
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
    line += escaped;
  }
  return line;
}

struct Options {
  std::string service{nox::link::kLinkService};
  std::vector<std::string> path_lines;
  bool once = false;
};

struct Connection {
  int fd = -1;
  nox::link::FrameReader reader;
  std::string outgoing;
  std::string topic;     // empty until the topic is accepted
  bool closing = false;  // close once the queued frames are sent
  // The client stopped reading or went away: what it sent is still read to its end and handled
  // (its pokes printed), answers are dropped.
  bool unwritable = false;
};

int signal_pipe_write = -1;

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t ignored = ::write(signal_pipe_write, &byte, 1);
}

[[noreturn]] void Fail(const std::string& message) {
  std::fprintf(stderr, "noxlinkserver: %s\n", message.c_str());
  std::exit(1);
}

std::string SystemError(std::string what) {
  return what.append(": ").append(std::strerror(errno));
}

Options ParseArguments(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--service" && i + 1 < argc) {
      options.service = argv[++i];
    } else if (argument == "--path-lines") {
      while (i + 1 < argc && std::string(argv[i + 1]).rfind("--", 0) != 0) {
        options.path_lines.emplace_back(argv[++i]);
      }
    } else if (argument == "--once") {
      options.once = true;
    } else if (argument == "--help") {
      std::fputs(kUsage, stdout);
      std::exit(0);
    } else {
      std::fputs(kUsage, stderr);
      std::string message("unknown or incomplete argument \"");
      Fail(message.append(argument).append("\""));
    }
  }
  return options;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  std::string text;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) text.append("\r\n");
    text.append(lines[i]);
  }
  return text;
}

// Creates the private directory when missing and checks it either way.
void PrepareDirectory(const std::string& directory) {
  if (::mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) {
    Fail(SystemError(std::string("cannot create link directory ").append(directory)));
  }
  if (std::string reason = nox::link::CheckPrivateDirectory(directory); !reason.empty())
    Fail(reason);
}

sockaddr_un SocketAddress(const std::string& path) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return address;
}

// A socket left behind by a server that died is removed; a live one means the service is taken.
void ClaimSocketPath(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return;
  if (!S_ISSOCK(info.st_mode)) Fail(std::string(path).append(" exists and is not a socket"));
  const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const sockaddr_un address = SocketAddress(path);
  const bool live = probe >= 0 && ::connect(probe, reinterpret_cast<const sockaddr*>(&address),
                                            sizeof address) == 0;
  if (probe >= 0) ::close(probe);
  if (live) Fail(std::string("the service is already served at ").append(path));
  if (::unlink(path.c_str()) != 0) {
    Fail(SystemError(std::string("cannot remove stale socket ").append(path)));
  }
}

int Listen(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) Fail(SystemError("cannot create a socket"));
  const sockaddr_un address = SocketAddress(path);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    Fail(SystemError(std::string("cannot bind ").append(path)));
  }
  if (::listen(fd, 16) != 0) Fail(SystemError(std::string("cannot listen on ").append(path)));
  return fd;
}

// SIGTERM and SIGINT write to a pipe that the poll loop watches; gives the pipe's read end.
int InstallSignalPipe() {
  int fds[2];
  if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) Fail(SystemError("cannot create a pipe"));
  signal_pipe_write = fds[1];
  struct sigaction action {};
  action.sa_handler = OnSignal;
  ::sigemptyset(&action.sa_mask);
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  return fds[0];
}

class Server {
 public:
  Server(Options options, int listener, int signal_read)
      : options_(std::move(options)),
        listener_(listener),
        signal_read_(signal_read),
        path_text_(JoinLines(options_.path_lines)) {}

  void Run();

 private:
  void Accept();
  // Reads one chunk and handles its frames; false when nothing more is to be read now.
  bool Receive(Connection& connection);
  // Handles everything the clients sent before a signal ended the server.
  void Drain();
  void Handle(Connection& connection, const Frame& frame);
  void Queue(Connection& connection, const Frame& frame);
  void Flush(Connection& connection);
  void Close(Connection& connection, const std::string& why);

  Options options_;
  int listener_;
  int signal_read_;
  std::string path_text_;
  std::list<Connection> connections_;
  bool served_ = false;
  bool accept_paused_ = false;
};

void Server::Run() {
  for (;;) {
    // While out of descriptors, a waiting connection would make poll return at once for ever:
    // the listener rests until a connection ends or a moment has passed.
    std::vector<pollfd> watches{{signal_read_, POLLIN, 0},
                                {accept_paused_ ? -1 : listener_, POLLIN, 0}};
    for (const Connection& connection : connections_) {
      const short events = connection.outgoing.empty() ? POLLIN : POLLIN | POLLOUT;
      watches.push_back({connection.fd, events, 0});
    }
    const int ready = ::poll(watches.data(), watches.size(), accept_paused_ ? kAcceptPause : -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      Fail(SystemError("poll"));
    }
    if (ready == 0) accept_paused_ = false;
    if (watches[0].revents != 0) return Drain();
    if (watches[1].revents != 0) Accept();
    std::size_t index = 2;
    for (auto it = connections_.begin(); it != connections_.end() && index < watches.size();
         ++index) {
      Connection& connection = *it;
      const short events = watches[index].revents;
      if ((events & POLLOUT) != 0) Flush(connection);
      if (connection.fd >= 0 && (events & (POLLIN | POLLHUP | POLLERR)) != 0) Receive(connection);
      if (connection.fd >= 0 && connection.closing && connection.outgoing.empty()) {
        Close(connection, {});
      }
      if (connection.fd < 0) accept_paused_ = false;  // a descriptor is free again
      it = connection.fd < 0 ? connections_.erase(it) : std::next(it);
    }
    if (options_.once && served_ && connections_.empty()) return;
  }
}

void Server::Accept() {
  const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
  if (fd < 0) {
    accept_paused_ = errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM;
    return;
  }
  ucred peer{};
  socklen_t size = sizeof peer;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != ::getuid()) {
    ::close(fd);
    return;
  }
  Connection connection;
  connection.fd = fd;
  connections_.push_back(std::move(connection));
  served_ = true;
}

bool Server::Receive(Connection& connection) {
  char chunk[64 * 1024];
  const ssize_t got = ::recv(connection.fd, chunk, sizeof chunk, MSG_DONTWAIT);
  // A client that ends without reading our acknowledgements resets the connection; what it sent
  // before has been read by then.
  if (got == 0 || (got < 0 && errno == ECONNRESET)) {
    Close(connection, {});
    return false;
  }
  if (got < 0) {
    if (errno == EINTR) return true;
    if (errno != EAGAIN && errno != EWOULDBLOCK) Close(connection, SystemError("receive"));
    return false;
  }
  connection.reader.Append(std::string_view(chunk, static_cast<std::size_t>(got)));
  while (connection.fd >= 0 && !connection.closing) {
    std::optional<Frame> frame = connection.reader.Next();
    if (!frame) break;
    Handle(connection, *frame);
  }
  if (connection.fd >= 0 && connection.reader.Failed()) {
    Close(connection, connection.reader.Error());
  }
  return connection.fd >= 0 && !connection.closing;
}

void Server::Drain() {
  for (Connection& connection : connections_) {
    while (connection.fd >= 0 && Receive(connection)) {
    }
  }
}

void Server::Handle(Connection& connection, const Frame& frame) {
  if (connection.topic.empty()) {
    if (frame.type != FrameType::Connect) return Close(connection, "a frame before the topic");
    if (frame.name != nox::link::kMessageTopic && frame.name != nox::link::kPathTopic) {
      Queue(connection, {FrameType::Refuse, {}, {}});
      connection.closing = true;
      return;
    }
    connection.topic = frame.name;
    return Queue(connection, {FrameType::Accept, {}, {}});
  }
  const std::string_view own_item =
      connection.topic == nox::link::kPathTopic ? nox::link::kPathItem : nox::link::kMessageItem;
  switch (frame.type) {
    case FrameType::Advise:
      return Queue(
          connection,
          {frame.name == own_item ? FrameType::AdviseAck : FrameType::AdviseNack, frame.name, {}});
    case FrameType::Unadvise:
      return;
    case FrameType::Request:
      if (frame.name != own_item)
        return Queue(connection, {FrameType::RequestNack, frame.name, {}});
      return Queue(connection,
                   {FrameType::Data, frame.name,
                    nox::link::ZeroTerminated(own_item == nox::link::kPathItem ? path_text_
                                                                               : std::string())});
    case FrameType::Poke: {
      std::string line = PrintablePoke(nox::link::UpToZero(frame.data));
      line.push_back('\n');
      std::fwrite(line.data(), 1, line.size(), stdout);
      std::fflush(stdout);
      return Queue(connection, {FrameType::PokeAck, frame.name, {}});
    }
    case FrameType::Disconnect:
      return Close(connection, {});
    default:
      return Close(connection, "an unexpected frame");
  }
}

void Server::Queue(Connection& connection, const Frame& frame) {
  if (connection.unwritable) return;
  connection.outgoing.append(nox::link::EncodeFrame(frame));
  if (connection.outgoing.size() > kMaxQueued) return Close(connection, "the client does not read");
  Flush(connection);
}

void Server::Flush(Connection& connection) {
  while (connection.fd >= 0 && !connection.outgoing.empty()) {
    const ssize_t sent =
        ::send(connection.fd, connection.outgoing.data(), connection.outgoing.size(), MSG_NOSIGNAL);
    if (sent > 0) {
      connection.outgoing.erase(0, static_cast<std::size_t>(sent));
    } else if (sent < 0 && errno == EINTR) {
      continue;
    } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      return;
    } else {
      connection.outgoing.clear();
      connection.unwritable = true;
    }
  }
}

void Server::Close(Connection& connection, const std::string& why) {
  if (!why.empty()) std::fprintf(stderr, "noxlinkserver: closed a connection: %s\n", why.c_str());
  ::close(connection.fd);
  connection.fd = -1;
}

}  // namespace

int main(int argc, char** argv) {
  Options options = ParseArguments(argc, argv);
  const std::string directory = nox::link::LinkDirectory();
  std::string path;
  try {
    path = nox::link::ServiceSocketPath(directory, options.service);
    // The path item's text must fit one frame.
    nox::link::EncodeFrame({FrameType::Data, std::string(nox::link::kPathItem),
                            nox::link::ZeroTerminated(JoinLines(options.path_lines))});
  } catch (const std::invalid_argument& error) {
    Fail(error.what());
  }
  PrepareDirectory(directory);
  ClaimSocketPath(path);

  const int signal_read = InstallSignalPipe();
  const int listener = Listen(path);
  std::fprintf(stderr, "listening %s\n", path.c_str());
  std::fflush(stderr);
  Server(std::move(options), listener, signal_read).Run();
  ::close(listener);
  ::unlink(path.c_str());
  return 0;
}
