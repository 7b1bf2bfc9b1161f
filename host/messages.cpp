#include "host/messages.h"

#include <iostream>

#include "host/code_pages.h"

namespace nox::host {
namespace {

MessageSink* currentSink = nullptr;

}  // namespace

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
  std::cerr << DecodeToUtf8(CodePage::Windows1257, text) << '\n';
}

}  // namespace nox::host
