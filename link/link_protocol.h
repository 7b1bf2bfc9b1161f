#pragma once
// The framed protocol of the link between this program and its calling program, and the private
// directory that holds the link's sockets. Shared by the client (caller_link.h) and the reference
// server (noxlinkserver). The wire format is described in docs/link-protocol.md.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nox::link {

enum class FrameType : std::uint8_t {
  Connect = 1,       // name: topic
  Accept = 2,        // no name
  Refuse = 3,        // no name
  Advise = 4,        // name: item
  AdviseAck = 5,     // name: item
  AdviseNack = 6,    // name: item
  Unadvise = 7,      // name: item
  Request = 8,       // name: item
  Data = 9,          // name: item, data: the item's bytes
  RequestNack = 10,  // name: item
  Notify = 11,       // name: item (its data changed)
  Poke = 12,         // name: item, data: the poked bytes
  PokeAck = 13,      // name: item
  Disconnect = 14,   // no name
};

struct Frame {
  FrameType type = FrameType::Disconnect;
  std::string name;  // topic or item
  std::string data;  // only Data and Poke carry bytes

  bool operator==(const Frame&) const = default;
};

// Upper bound of a frame's body (type byte, name and data); longer frames are malformed.
inline constexpr std::size_t kMaxFrameBody = 1024 * 1024;
// Topics and items are at most this long and never empty.
inline constexpr std::size_t kMaxLinkName = 255;

// The frame's bytes on the wire. Throws std::invalid_argument for a name or data the frame type
// cannot carry or that exceed the bounds above.
std::string EncodeFrame(const Frame& frame);

// Collects received bytes and cuts them into frames. Lengths are checked before anything is
// trusted; after the first malformed frame the reader stays failed.
class FrameReader {
 public:
  void Append(std::string_view bytes);
  // The next complete frame, or nothing when more bytes are needed or the stream is malformed.
  std::optional<Frame> Next();
  bool Failed() const { return !error_.empty(); }
  const std::string& Error() const { return error_; }

 private:
  std::string buffer_;
  std::size_t start_ = 0;
  std::string error_;
};

// Texts travel zero-terminated, as clipboard text did: the text with its terminator, and back the
// bytes up to the first zero (all of them when there is none).
std::string ZeroTerminated(std::string_view text);
std::string UpToZero(std::string_view bytes);

// The directory that holds the sockets: $NOX_LINK_DIR when set, else $XDG_RUNTIME_DIR/nox-link,
// else /tmp/nox-link-<uid>.
std::string LinkDirectory();
// Empty when `directory` is a real directory (not a symbolic link) owned by this user with mode
// 0700; otherwise the reason, naming the directory.
std::string CheckPrivateDirectory(const std::string& directory);
// The socket path of a service inside `directory`. Throws std::invalid_argument for a service name
// that is empty, holds "/" or a zero byte, is "." or "..", or makes the path too long for a socket.
std::string ServiceSocketPath(const std::string& directory, std::string_view service);

}  // namespace nox::link
