#pragma once
// The one message interface for problems the system detects: a window shows the message in a
// message dialog, the command line prints it. Whoever owns the user interface installs a sink.

#include <cstddef>
#include <string>
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

// A message names its input by at most this many bytes of it: a 10 MB line is not repeated whole.
inline constexpr std::size_t kMessageInputLimit = 200;
// The input as a message shows it: its first kMessageInputLimit bytes, "..." marking a cut.
std::string InputForMessage(std::string_view text);
// The same in single quotes.
std::string QuotedInput(std::string_view text);

// A message as a terminal prints it: decoded from Windows-1257 into UTF-8; its line breaks (a lone
// CR as the dialogs break lines, LF, CR LF) as LF; every other control character escaped as \xNN,
// so that no byte of the input can move the cursor or forge a line.
std::string TerminalText(std::string_view text);

}  // namespace nox::host
