#include "forms/message_sink.h"

#include "forms/message_dialog.h"
#include "forms/text.h"

namespace nox::forms {
namespace {

MsgDlgType DialogKind(host::MessageKind kind) {
  switch (kind) {
    case host::MessageKind::Warning:
      return MsgDlgType::Warning;
    case host::MessageKind::Error:
      return MsgDlgType::Error;
    case host::MessageKind::Information:
      return MsgDlgType::Information;
    case host::MessageKind::Confirmation:
      break;
  }
  return MsgDlgType::Confirmation;
}

}  // namespace

void DialogMessageSink::ShowMessage(host::MessageKind kind, std::string_view text) {
  NoxMessageDlg(FromDataText(text), QString(), DialogKind(kind), 0, kButtonsOk);
}

ScopedDialogMessages::ScopedDialogMessages() : previous_(host::SetMessageSink(&sink_)) {}

ScopedDialogMessages::~ScopedDialogMessages() {
  host::SetMessageSink(previous_);
}

}  // namespace nox::forms
