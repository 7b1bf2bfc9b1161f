#pragma once
// The configured font faces and the character sets of a window's controls. The maker's controls
// say which language their texts are in with the Qt property "LoadAs" ("AsLabel", "AsEdit",
// "AsSystem") or "CharSetStyle" ("cssAsLabel", "cssAsEdit", "cssAsSystem", or the two-valued
// "csAsEdit", "csAsLabel"); they take the configured faces and the character set of that
// language. Standard controls keep their fonts and show their texts in the program's code page.
// The character set a control was given is its property "CharSet"; its texts are decoded and
// typed text encoded in the code page that number selects.

#include <optional>

#include "forms/settings_file.h"
#include "host/code_pages.h"

class QObject;
class QWidget;

namespace nox::forms {

inline constexpr const char* kCharSetProperty = "CharSet";

// The language class of a maker's control; nothing for a standard control.
std::optional<LanguageClass> ControlLanguageClass(const QObject& control);

// The window's font and its maker's controls take the faces of the font specifications.
void ApplyFonts(QWidget& window, const InterfaceSettings& settings);
// The maker's controls, the gradient caption and status bars take the character sets of their
// languages.
void ChangeCompFont(QWidget& window, const InterfaceSettings& settings);

// The code page of a control's texts: the one of its character set (the nearest enclosing
// control that has one), else Windows-1257.
host::CodePage ControlCodePage(const QWidget& control);

}  // namespace nox::forms
