#include "link/caller_link.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace nox::link {
namespace {

using Clock = std::chrono::steady_clock;

// Pokes queue up to this much while the server is slow to read; beyond it a poke fails.
constexpr std::size_t kMaxOutgoing = 2 * kMaxFrameBody;
// Waiting for an answer reads at most this much per wake-up, so a flooding server cannot hold the
// caller's thread.
constexpr std::size_t kMaxReadPerCall = kMaxFrameBody + 64 * 1024;
// Handling notifications between two batches of a run reads less: a caller that floods the link
// must not slow the conversion by more than a little.
constexpr std::size_t kNoticeReadPerCall = 64 * 1024;
// After a request that took time t, the next one waits 20 t (and at least kRequestSpacing):
// requests take at most a twentieth of the run however often the caller announces changes, and a
// caller that does not answer costs one time-out now and then.
constexpr int kRequestShare = 20;
constexpr const char* kServerEnded = "the link server ended the conversation";

std::string SystemError(std::string_view what) {
  std::string text(what);
  return text.append(": ").append(std::strerror(errno));
}

int MillisecondsUntil(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

// Connects the non-blocking socket `fd` to `path`; empty on success, else the reason.
std::string ConnectSocket(int fd, const std::string& path, Clock::time_point deadline) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  std::string what("no link server at ");
  what.append(path);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return {};
  if (errno != EINPROGRESS && errno != EAGAIN) return SystemError(what);
  pollfd watch{fd, POLLOUT, 0};
  if (::poll(&watch, 1, MillisecondsUntil(deadline)) <= 0) return what.append(": time-out");
  int error = 0;
  socklen_t size = sizeof error;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0) {
    errno = error;
    return SystemError(what);
  }
  return {};
}

}  // namespace

CallerLink::CallerLink(std::chrono::milliseconds time_out) : time_out_(time_out) {}

CallerLink::~CallerLink() {
  Disconnect();
}

bool CallerLink::Connect(std::string_view service, std::string_view topic) {
  Disconnect();
  last_error_.clear();
  const std::string directory = LinkDirectory();
  if (std::string reason = CheckPrivateDirectory(directory); !reason.empty()) {
    last_error_ = std::move(reason);
    return false;
  }
  std::string path;
  try {
    path = ServiceSocketPath(directory, service);
  } catch (const std::invalid_argument& error) {
    last_error_ = error.what();
    return false;
  }
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    last_error_ = SystemError("cannot create a link socket");
    return false;
  }
  if (std::string reason = ConnectSocket(fd, path, Clock::now() + time_out_); !reason.empty()) {
    ::close(fd);
    last_error_ = std::move(reason);
    return false;
  }
  ucred peer{};
  socklen_t size = sizeof peer;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != ::getuid()) {
    ::close(fd);
    last_error_.assign("link server at ").append(path).append(" is not run by this user");
    return false;
  }
  fd_ = fd;
  if (!SendFrame({FrameType::Connect, std::string(topic), {}})) {
    Drop(last_error_);
    return false;
  }
  const std::optional<Frame> answer = AwaitAnswer(FrameType::Accept, FrameType::Refuse, {});
  if (!answer || answer->type != FrameType::Accept) {
    std::string reason("link topic \"");
    reason.append(topic).append("\" of service \"").append(service).append("\" ");
    Drop(reason.append(answer ? std::string("refused") : last_error_));
    return false;
  }
  return true;
}

bool CallerLink::StartAdvise(std::string_view item) {
  if (!SendFrame({FrameType::Advise, std::string(item), {}})) return false;
  const std::optional<Frame> answer =
      AwaitAnswer(FrameType::AdviseAck, FrameType::AdviseNack, item);
  if (!answer) return false;
  if (answer->type != FrameType::AdviseAck) {
    last_error_.assign("advise link on item \"").append(item).append("\" refused");
    return false;
  }
  if (std::find(advised_.begin(), advised_.end(), item) == advised_.end()) {
    advised_.emplace_back(item);
  }
  return true;
}

std::optional<std::string> CallerLink::Request(std::string_view item) {
  if (!SendFrame({FrameType::Request, std::string(item), {}})) return std::nullopt;
  const std::optional<Frame> answer = AwaitAnswer(FrameType::Data, FrameType::RequestNack, item);
  if (!answer) return std::nullopt;
  if (answer->type != FrameType::Data) {
    last_error_.assign("request of item \"").append(item).append("\" refused");
    return std::nullopt;
  }
  return UpToZero(answer->data);
}

bool CallerLink::Poke(std::string_view item, std::string_view text) {
  return SendFrame({FrameType::Poke, std::string(item), ZeroTerminated(text)});
}

std::vector<std::string> CallerLink::ProcessIncoming() {
  if (Connected()) {
    Flush(Clock::time_point::min());
    ReadAvailable(kNoticeReadPerCall);
  }
  while (Connected()) {
    std::optional<Frame> frame = reader_.Next();
    if (!frame) break;
    HandleNotice(*frame);
  }
  if (Connected() && reader_.Failed()) Drop(reader_.Error());
  if (Connected() && server_ended_) Drop(kServerEnded);
  return std::exchange(changed_, {});
}

void CallerLink::Disconnect() {
  if (!Connected()) return;
  for (const std::string& item : advised_)
    SendFrame({FrameType::Unadvise, item, {}});
  SendFrame({FrameType::Disconnect, {}, {}});
  Flush(Clock::now() + time_out_);
  Reset();
}

bool CallerLink::SendFrame(const Frame& frame) {
  if (!Connected()) {
    if (last_error_.empty()) last_error_ = "the link is not connected";
    return false;
  }
  std::string bytes;
  try {
    bytes = EncodeFrame(frame);
  } catch (const std::invalid_argument& error) {
    last_error_ = error.what();
    return false;
  }
  if (!Flush(Clock::time_point::min()) && !Connected()) return false;
  if (outgoing_.size() + bytes.size() > kMaxOutgoing) {
    last_error_ = "the link server does not read what is sent";
    return false;
  }
  outgoing_.append(bytes);
  Flush(Clock::time_point::min());
  return Connected();
}

// Sends what is queued, waiting for room until `deadline` (never, for a past one). False while
// something is still queued or when the link broke.
bool CallerLink::Flush(Clock::time_point deadline) {
  while (Connected() && !outgoing_.empty()) {
    const ssize_t sent =
        ::send(fd_, outgoing_.data(), outgoing_.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent > 0) {
      outgoing_.erase(0, static_cast<std::size_t>(sent));
      continue;
    }
    if (sent < 0 && errno == EINTR) continue;
    if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (Clock::now() >= deadline) return false;
      pollfd watch{fd_, POLLOUT, 0};
      if (::poll(&watch, 1, MillisecondsUntil(deadline)) < 0 && errno != EINTR) {
        Drop(SystemError("link socket"));
      }
      continue;
    }
    Drop(SystemError("cannot send on the link"));
  }
  return Connected();
}

// Takes in what has arrived without blocking; false when the link broke.
bool CallerLink::ReadAvailable(std::size_t budget) {
  char chunk[64 * 1024];
  std::size_t taken = 0;
  while (Connected() && taken < budget) {
    const ssize_t got = ::recv(fd_, chunk, std::min(sizeof chunk, budget - taken), MSG_DONTWAIT);
    if (got > 0) {
      reader_.Append(std::string_view(chunk, static_cast<std::size_t>(got)));
      taken += static_cast<std::size_t>(got);
    } else if (got == 0) {
      server_ended_ = true;  // the frames before the end are still handled
      break;
    } else if (errno == EAGAIN || errno == EWOULDBLOCK) {
      break;
    } else if (errno != EINTR) {
      Drop(SystemError("cannot read from the link"));
    }
  }
  return Connected();
}

std::optional<Frame> CallerLink::AwaitAnswer(FrameType yes, FrameType no, std::string_view name) {
  const Clock::time_point deadline = Clock::now() + time_out_;
  while (Connected()) {
    while (std::optional<Frame> frame = reader_.Next()) {
      if ((frame->type == yes || frame->type == no) && frame->name == name) return frame;
      HandleNotice(*frame);
      if (!Connected()) return std::nullopt;
    }
    if (reader_.Failed()) {
      Drop(reader_.Error());
      break;
    }
    if (server_ended_) {
      Drop(kServerEnded);
      break;
    }
    if (Clock::now() >= deadline) {
      last_error_ = "the link server did not answer in time";
      break;
    }
    pollfd watch{fd_, static_cast<short>(POLLIN | (outgoing_.empty() ? 0 : POLLOUT)), 0};
    const int ready = ::poll(&watch, 1, MillisecondsUntil(deadline));
    if (ready < 0 && errno != EINTR) Drop(SystemError("link socket"));
    if (ready <= 0) continue;
    if ((watch.revents & POLLOUT) != 0) Flush(Clock::time_point::min());
    if ((watch.revents & (POLLIN | POLLHUP | POLLERR)) != 0) ReadAvailable(kMaxReadPerCall);
  }
  return std::nullopt;
}

// Frames that arrive unasked: change notifications of advised items are collected, the server's
// end closes the conversation, everything else (poke acknowledgements, late answers) is ignored.
void CallerLink::HandleNotice(const Frame& frame) {
  if (frame.type == FrameType::Notify) {
    if (std::find(advised_.begin(), advised_.end(), frame.name) != advised_.end() &&
        std::find(changed_.begin(), changed_.end(), frame.name) == changed_.end()) {
      changed_.push_back(frame.name);
    }
  } else if (frame.type == FrameType::Disconnect) {
    Drop(kServerEnded);
  }
}

void CallerLink::Drop(std::string reason) {
  Reset();
  last_error_ = std::move(reason);
}

void CallerLink::Reset() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  reader_ = FrameReader();
  outgoing_.clear();
  advised_.clear();
  changed_.clear();
  server_ended_ = false;
}

std::string MessageName(std::string_view argument1) {
  const std::size_t separator = argument1.find_last_of("\\/:");
  return std::string(separator == std::string_view::npos ? argument1
                                                         : argument1.substr(separator + 1));
}

std::vector<std::string> SplitItemLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

CallerConversations::CallerConversations(std::string argument1, std::string service,
                                         std::chrono::milliseconds time_out)
    : argument1_(std::move(argument1)),
      service_(std::move(service)),
      client_(time_out),
      client_path_(time_out) {}

void CallerConversations::Open() {
  if (client_.Connect(service_, kMessageTopic) && client_.StartAdvise(kMessageItem)) {
    RequestItem(message_, kMessageItem);
  }
  if (client_path_.Connect(service_, kPathTopic) && client_path_.StartAdvise(kPathItem)) {
    RequestItem(path_, kPathItem);
  }
}

bool CallerConversations::Send(std::string_view suffix) {
  std::string text = MessageName(argument1_);
  return client_.Poke(kMessageItem, text.append(suffix));
}

void CallerConversations::ProcessIncoming() {
  for (Conversation* conversation : {&message_, &path_}) {
    for (std::string& item : conversation->link.ProcessIncoming()) {
      if (std::find(conversation->pending.begin(), conversation->pending.end(), item) ==
          conversation->pending.end()) {
        conversation->pending.push_back(std::move(item));
      }
    }
    if (conversation->pending.empty() || Clock::now() < conversation->nextRequest) continue;
    for (const std::string& item : std::exchange(conversation->pending, {}))
      RequestItem(*conversation, item);
  }
}

bool CallerConversations::RequestPending() const {
  return !message_.pending.empty() || !path_.pending.empty();
}

bool CallerConversations::Close() {
  const bool sent = Send(kProgramDestroySuffix);
  client_.Disconnect();
  client_path_.Disconnect();
  return sent;
}

std::vector<int> CallerConversations::Fds() const {
  std::vector<int> fds;
  for (const CallerLink* link : {&client_, &client_path_}) {
    if (link->Connected()) fds.push_back(link->Fd());
  }
  return fds;
}

// The message item's own data is received but not used; the path item's replaces the lines.
void CallerConversations::RequestItem(Conversation& conversation, std::string_view item) {
  const Clock::time_point start = Clock::now();
  std::optional<std::string> text = conversation.link.Request(item);
  if (text && item == kPathItem) path_lines_ = SplitItemLines(*text);
  const Clock::time_point end = Clock::now();
  conversation.nextRequest = std::max(start + kRequestSpacing, end + kRequestShare * (end - start));
}

}  // namespace nox::link
