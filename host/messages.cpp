#include "host/messages.h"

#include <cstdio>
#include <iostream>

#include "host/code_pages.h"

namespace nox::host {
namespace {

MessageSink* currentSink = nullptr;

}  // namespace

std::string InputForMessage(std::string_view text) {
  if (text.size() <= kMessageInputLimit) return std::string(text);
  std::string cut(text.substr(0, kMessageInputLimit));
  cut.append("...");
  return cut;
}

std::string QuotedInput(std::string_view text) {
  std::string quoted("'");
  quoted.append(InputForMessage(text)).append("'");
  return quoted;
}

std::string TerminalText(std::string_view text) {
  const std::string decoded = DecodeToUtf8(CodePage::Windows1257, text);
  std::string shown;
  shown.reserve(decoded.size());
  for (std::size_t i = 0; i < decoded.size(); ++i) {
    const auto c = static_cast<unsigned char>(decoded[i]);
    if (c == '\r') {
      if (i + 1 < decoded.size() && decoded[i + 1] == '\n') ++i;
      shown += '\n';
    } else if (c == '\n') {
      shown += '\n';
    } else if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
      shown += escaped;
    } else {
      shown += static_cast<char>(c);
    }
  }
  return shown;
}

MessageSink* SetMessageSink(MessageSink* sink) {
  MessageSink* previous = currentSink;
  currentSink = sink;
  return previous;
}

void ShowMessage(MessageKind kind, std::string_view text) {
  if (currentSink != nullptr) {
    currentSink->ShowMessage(kind, text);
    return;
  }
  std::cerr << TerminalText(text) << '\n';
}

}  // namespace nox::host
