#pragma once
// The link with the calling program: one conversation over a private local socket (CallerLink),
// and the program's two conversations with service "ZIROZOZA" (CallerConversations) that carry
// its progress messages out and the caller's table directories in.
//
// Everything here runs on the caller's one thread. Nothing blocks longer than the time-out of one
// operation; pokes never wait at all. A window watches the sockets' descriptors (Fds) and calls
// ProcessIncoming when one becomes readable; a headless run may call ProcessIncoming at any time.

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/link_protocol.h"

namespace nox::link {

inline constexpr std::string_view kLinkService = "ZIROZOZA";
inline constexpr std::string_view kMessageTopic = "Server";
inline constexpr std::string_view kMessageItem = "ServerItem";
inline constexpr std::string_view kPathTopic = "ServerPath";
inline constexpr std::string_view kPathItem = "ServerItemPath";
// The suffix of the message sent when the program ends, and the warning shown when the last one
// could not be sent.
inline constexpr std::string_view kProgramDestroySuffix = ": Program destroy.";
inline constexpr std::string_view kFalseInLinkMessage = "False in DDE";

inline constexpr std::chrono::milliseconds kLinkTimeOut{1000};

// One conversation (service + topic) with its advise links. Every operation on an unconnected
// conversation fails quietly; LastError tells why the last failing operation failed.
class CallerLink {
 public:
  explicit CallerLink(std::chrono::milliseconds time_out = kLinkTimeOut);
  CallerLink(const CallerLink&) = delete;
  CallerLink& operator=(const CallerLink&) = delete;
  ~CallerLink();

  // Connects to the service's socket and opens the topic; false when there is no server, the
  // directory or the server is not this user's, or the topic is refused.
  bool Connect(std::string_view service, std::string_view topic);
  bool Connected() const { return fd_ >= 0; }

  // Starts a warm advise link (change notifications without data); false when refused.
  bool StartAdvise(std::string_view item);
  // The item's text (up to its zero terminator), or nothing on refusal, time-out or a broken link.
  std::optional<std::string> Request(std::string_view item);
  // Sends the text zero-terminated without waiting: true when the poke is on its way.
  bool Poke(std::string_view item, std::string_view text);

  // Reads whatever has arrived, without blocking, and gives the advised items that changed
  // (each once, in order of arrival).
  std::vector<std::string> ProcessIncoming();

  // Ends the advise links and the conversation.
  void Disconnect();

  // The socket's descriptor, -1 when unconnected.
  int Fd() const { return fd_; }
  const std::string& LastError() const { return last_error_; }

 private:
  bool SendFrame(const Frame& frame);
  bool Flush(std::chrono::steady_clock::time_point deadline);
  // Reads what has arrived, at most about `budget` bytes.
  bool ReadAvailable(std::size_t budget);
  // Waits for the answer to a frame naming `name`: one of the two types, or nothing.
  std::optional<Frame> AwaitAnswer(FrameType yes, FrameType no, std::string_view name);
  void HandleNotice(const Frame& frame);
  // Closes the conversation with the reason as last error.
  void Drop(std::string reason);
  void Reset();

  std::chrono::milliseconds time_out_;
  int fd_ = -1;
  FrameReader reader_;
  std::string outgoing_;
  std::vector<std::string> advised_;
  std::vector<std::string> changed_;
  bool server_ended_ = false;
  std::string last_error_;
};

// The message name N: the file-name part of the first command-line argument as typed, the text
// after its last "\", "/" or ":".
std::string MessageName(std::string_view argument1);

// The path item's text as lines, split at CR LF, LF or CR; a final line break ends the last line
// rather than starting an empty one.
std::vector<std::string> SplitItemLines(std::string_view text);

// The program's two conversations: `Client` (topic "Server", item "ServerItem") receives every
// message; `ClientPath` (topic "ServerPath", item "ServerItemPath") offers the caller's table
// directories.
// A changed item is requested again at most this often.
inline constexpr std::chrono::milliseconds kRequestSpacing{1000};

class CallerConversations {
 public:
  explicit CallerConversations(std::string argument1,
                               std::string service = std::string(kLinkService),
                               std::chrono::milliseconds time_out = kLinkTimeOut);

  // Connects both conversations, starts their advise links and requests each item once. A
  // conversation that fails stays unconnected for the whole run.
  void Open();
  // Pokes N + suffix to "ServerItem": true when the poke could be started.
  bool Send(std::string_view suffix);
  // Handles pending notifications: a changed advised item is requested again, at once unless it
  // was requested less than a second ago (or a slow answer asks for a longer pause; then it
  // waits for a later call). Each call reads a bounded amount, so a caller that floods the link
  // slows a run that calls this between batches only a little.
  void ProcessIncoming();
  // Whether a changed item waits for a later ProcessIncoming to be requested.
  bool RequestPending() const;
  // Pokes N + ": Program destroy.", then ends the advise links and disconnects both. Gives whether
  // the poke could be started (the caller warns "False in DDE" otherwise).
  bool Close();

  // The path item's last received text as lines (empty until something was received).
  const std::vector<std::string>& PathLines() const { return path_lines_; }
  // The descriptors to watch for incoming notifications (connected conversations only).
  std::vector<int> Fds() const;

  const CallerLink& Client() const { return client_; }
  const CallerLink& ClientPath() const { return client_path_; }

 private:
  struct Conversation {
    CallerLink& link;
    std::vector<std::string> pending;  // changed items not requested yet
    std::chrono::steady_clock::time_point nextRequest;
  };
  void RequestItem(Conversation& conversation, std::string_view item);

  std::string argument1_;
  std::string service_;
  CallerLink client_;
  CallerLink client_path_;
  Conversation message_{client_, {}, {}};
  Conversation path_{client_path_, {}, {}};
  std::vector<std::string> path_lines_;
};

}  // namespace nox::link
