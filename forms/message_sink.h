#pragma once
// Shows the core's messages (host::ShowMessage) in message dialogs: the kind's icon, OK alone, the
// application title as caption.

#include "host/messages.h"

namespace nox::forms {

class DialogMessageSink : public host::MessageSink {
 public:
  void ShowMessage(host::MessageKind kind, std::string_view text) override;
};

// Installs a DialogMessageSink for its life and restores the previous sink afterwards.
class ScopedDialogMessages {
 public:
  ScopedDialogMessages();
  ~ScopedDialogMessages();
  ScopedDialogMessages(const ScopedDialogMessages&) = delete;
  ScopedDialogMessages& operator=(const ScopedDialogMessages&) = delete;

 private:
  DialogMessageSink sink_;
  host::MessageSink* previous_;
};

}  // namespace nox::forms
