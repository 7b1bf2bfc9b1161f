#include "link/link_protocol.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace nox::link {
namespace {

// Body layout: type byte, name length byte, name, data.
constexpr std::size_t kLengthBytes = 4;
constexpr std::size_t kBodyHeader = 2;

bool HasName(FrameType type) {
  return type != FrameType::Accept && type != FrameType::Refuse && type != FrameType::Disconnect;
}

bool HasData(FrameType type) {
  return type == FrameType::Data || type == FrameType::Poke;
}

bool KnownType(std::uint8_t type) {
  return type >= static_cast<std::uint8_t>(FrameType::Connect) &&
         type <= static_cast<std::uint8_t>(FrameType::Disconnect);
}

std::string Octal(unsigned mode) {
  std::string text;
  for (int shift = 9; shift >= 0; shift -= 3)
    text.push_back(static_cast<char>('0' + ((mode >> shift) & 7)));
  return text;
}

}  // namespace

std::string EncodeFrame(const Frame& frame) {
  if (HasName(frame.type) ? frame.name.empty() || frame.name.size() > kMaxLinkName
                          : !frame.name.empty()) {
    std::string message("link frame with an invalid name: \"");
    throw std::invalid_argument(message.append(frame.name).append("\""));
  }
  if (!HasData(frame.type) && !frame.data.empty()) {
    throw std::invalid_argument("link frame of a type that carries no data");
  }
  const std::size_t body = kBodyHeader + frame.name.size() + frame.data.size();
  if (body > kMaxFrameBody) {
    std::string message("link frame too long: ");
    throw std::invalid_argument(message.append(std::to_string(body)).append(" bytes"));
  }
  std::string bytes;
  bytes.reserve(kLengthBytes + body);
  for (int shift = 24; shift >= 0; shift -= 8)
    bytes.push_back(static_cast<char>((body >> shift) & 0xFF));
  bytes.push_back(static_cast<char>(frame.type));
  bytes.push_back(static_cast<char>(frame.name.size()));
  bytes.append(frame.name);
  bytes.append(frame.data);
  return bytes;
}

void FrameReader::Append(std::string_view bytes) {
  if (Failed()) return;
  if (start_ > 0 && start_ >= buffer_.size() / 2) {
    buffer_.erase(0, start_);
    start_ = 0;
  }
  buffer_.append(bytes);
}

std::optional<Frame> FrameReader::Next() {
  if (Failed() || buffer_.size() - start_ < kLengthBytes) return std::nullopt;
  const auto* head = reinterpret_cast<const unsigned char*>(buffer_.data() + start_);
  std::size_t body = 0;
  for (std::size_t i = 0; i < kLengthBytes; ++i)
    body = (body << 8) | head[i];
  if (body < kBodyHeader || body > kMaxFrameBody) {
    error_.assign("link frame length out of range: ").append(std::to_string(body));
    return std::nullopt;
  }
  if (buffer_.size() - start_ - kLengthBytes < body) return std::nullopt;
  const std::uint8_t type = head[kLengthBytes];
  const std::size_t name_size = head[kLengthBytes + 1];
  if (!KnownType(type)) {
    error_.assign("unknown link frame type ").append(std::to_string(type));
    return std::nullopt;
  }
  Frame frame;
  frame.type = static_cast<FrameType>(type);
  if (name_size > body - kBodyHeader) {
    error_ = "link frame name longer than its frame";
    return std::nullopt;
  }
  if (HasName(frame.type) != (name_size > 0)) {
    error_.assign("link frame of type ").append(std::to_string(type)).append(" with a wrong name");
    return std::nullopt;
  }
  const std::size_t data_size = body - kBodyHeader - name_size;
  if (!HasData(frame.type) && data_size > 0) {
    error_.assign("link frame of type ")
        .append(std::to_string(type))
        .append(" with unexpected data");
    return std::nullopt;
  }
  const std::size_t name_at = start_ + kLengthBytes + kBodyHeader;
  frame.name.assign(buffer_, name_at, name_size);
  frame.data.assign(buffer_, name_at + name_size, data_size);
  start_ += kLengthBytes + body;
  return frame;
}

std::string ZeroTerminated(std::string_view text) {
  std::string bytes(text);
  bytes.push_back('\0');
  return bytes;
}

std::string UpToZero(std::string_view bytes) {
  return std::string(bytes.substr(0, bytes.find('\0')));
}

std::string LinkDirectory() {
  if (const char* own = std::getenv("NOX_LINK_DIR"); own != nullptr && *own != '\0') return own;
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR");
      runtime != nullptr && *runtime != '\0') {
    std::string directory(runtime);
    directory.append("/nox-link");
    return directory;
  }
  std::string directory("/tmp/nox-link-");
  directory.append(std::to_string(::getuid()));
  return directory;
}

std::string CheckPrivateDirectory(const std::string& directory) {
  struct stat info {};
  std::string reason("link directory ");
  reason.append(directory);
  if (::lstat(directory.c_str(), &info) != 0) return reason.append(" does not exist");
  if (S_ISLNK(info.st_mode)) return reason.append(" is a symbolic link");
  if (!S_ISDIR(info.st_mode)) return reason.append(" is not a directory");
  if (info.st_uid != ::getuid()) {
    return reason.append(" belongs to user ")
        .append(std::to_string(info.st_uid))
        .append(", not to ")
        .append(std::to_string(::getuid()));
  }
  const unsigned mode = info.st_mode & 07777;
  if (mode != 0700)
    return reason.append(" has mode ").append(Octal(mode)).append(", expected 0700");
  return {};
}

std::string ServiceSocketPath(const std::string& directory, std::string_view service) {
  std::string quoted("\"");
  quoted.append(service).append("\"");
  if (service.empty() || service == "." || service == ".." ||
      service.find_first_of(std::string_view("/\0", 2)) != std::string_view::npos) {
    std::string message("invalid link service name ");
    throw std::invalid_argument(message.append(quoted));
  }
  std::string path(directory);
  path.append("/").append(service);
  if (path.size() >= sizeof(sockaddr_un::sun_path)) {
    std::string message("link socket path too long for service ");
    throw std::invalid_argument(message.append(quoted).append(": ").append(path));
  }
  return path;
}

}  // namespace nox::link
