#pragma once
// NoxMessageDlg: the dialog for every warning, error and question of the program, with English or
// Latvian captions. The layout follows the dialog font, as the classic message dialog does.

#include <QString>
#include <initializer_list>

namespace nox::forms {

enum class MsgDlgType { Warning, Error, Information, Confirmation, Custom };

// The buttons in their order of appearance; a button set holds bit i for button i.
enum class MsgDlgBtn { Yes, No, OK, Cancel, Abort, Retry, Ignore, All, Help };
using MsgDlgButtons = unsigned;

constexpr MsgDlgButtons ButtonBit(MsgDlgBtn button) {
  return 1u << static_cast<unsigned>(button);
}
constexpr MsgDlgButtons Buttons(std::initializer_list<MsgDlgBtn> buttons) {
  MsgDlgButtons set = 0;
  for (MsgDlgBtn button : buttons)
    set |= ButtonBit(button);
  return set;
}
inline constexpr MsgDlgButtons kButtonsOk = 4;            // OK alone
inline constexpr MsgDlgButtons kButtonsYesNoCancel = 11;  // Yes, No, Cancel
inline constexpr int kButtonCount = 9;

// The results a dialog gives; Help gives none (it closes nothing).
enum ModalResult : int {
  mrNone = 0,
  mrOk = 1,
  mrCancel = 2,
  mrAbort = 3,
  mrRetry = 4,
  mrIgnore = 5,
  mrYes = 6,
  mrNo = 7,
  mrAll = 8,
};

// The caption that asks for the kind's Latvian caption (compared in upper case).
inline constexpr const char* kLatvianCaptionRequest = "LATCAPTION";

// Button name (also the control's object name and English caption), Latvian caption, result.
QString ButtonName(MsgDlgBtn button);
QString ButtonLatvianCaption(MsgDlgBtn button);
int ButtonResult(MsgDlgBtn button);
QString KindLatvianCaption(MsgDlgType kind);  // the application title for Custom

// The application title: the caption of messages that name none, and the program's task-bar text.
// Kept here rather than as Qt's application display name, which Qt would append to every title bar.
QString ApplicationTitle();
void SetApplicationTitle(const QString& title);

// Builds the dialog, shows it modally and gives the result of the button pressed (mrCancel for the
// close box). Caption: empty → the application title; "LATCAPTION" → the kind's Latvian caption;
// else the caption itself. Buttons carry Latvian captions whenever the caption given is not empty.
// Controls: "Image" (the kind's icon), "Message", and one push button per button, named by it.
int NoxMessageDlg(const QString& message, const QString& caption, MsgDlgType kind, int helpContext,
                  MsgDlgButtons buttons);

}  // namespace nox::forms
