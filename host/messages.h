#pragma once
// The one message interface for problems the system detects: a window shows the message in a
// message dialog, the command line prints it. Whoever owns the user interface installs a sink.

#include <string_view>

namespace nox::host {

enum class MessageKind { Warning, Error, Information, Confirmation };

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void ShowMessage(MessageKind kind, std::string_view text) = 0;
};

// Installs the sink (null restores the default, which writes the text to standard error as UTF-8
// decoded from Windows-1257). Gives the previous sink.
MessageSink* SetMessageSink(MessageSink* sink);
void ShowMessage(MessageKind kind, std::string_view text);

}  // namespace nox::host
