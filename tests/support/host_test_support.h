#pragma once
// What many tests need of the host layer: pinned date format and decimal separator, and the
// messages shown while a test runs.

#include <string>
#include <string_view>
#include <vector>

#include "host/host_formats.h"
#include "host/messages.h"

namespace nox::test {

// dd.mm.yyyy and "." for the test (or the separator given); restored afterwards.
class PinnedHostFormats {
 public:
  explicit PinnedHostFormats(char separator = '.')
      : savedFormat_(host::HostFormats::ShortDateFormat()),
        savedSeparator_(host::HostFormats::DecimalSeparator()) {
    host::HostFormats::SetShortDateFormat(host::DateFormat::Parse("dd.mm.yyyy"));
    host::HostFormats::SetDecimalSeparator(separator);
  }
  ~PinnedHostFormats() {
    host::HostFormats::SetShortDateFormat(savedFormat_);
    host::HostFormats::SetDecimalSeparator(savedSeparator_);
  }
  PinnedHostFormats(const PinnedHostFormats&) = delete;
  PinnedHostFormats& operator=(const PinnedHostFormats&) = delete;

 private:
  host::DateFormat savedFormat_;
  char savedSeparator_;
};

// Collects the messages shown while it exists.
class CapturedMessages : public host::MessageSink {
 public:
  CapturedMessages() : previous_(host::SetMessageSink(this)) {}
  ~CapturedMessages() override { host::SetMessageSink(previous_); }
  CapturedMessages(const CapturedMessages&) = delete;
  CapturedMessages& operator=(const CapturedMessages&) = delete;

  void ShowMessage(host::MessageKind kind, std::string_view text) override {
    kinds.push_back(kind);
    texts.emplace_back(text);
  }

  std::vector<host::MessageKind> kinds;
  std::vector<std::string> texts;

 private:
  host::MessageSink* previous_;
};

}  // namespace nox::test
