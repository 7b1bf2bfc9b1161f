#pragma once
// Text at the edge between the core and the windows: the core keeps single-byte text in its code
// page; the windows show Unicode.

#include <QString>
#include <optional>
#include <string>
#include <string_view>

#include "host/code_pages.h"

class QLineEdit;

namespace nox::forms {

QString FromDataText(std::string_view bytes, host::CodePage page = host::CodePage::Windows1257);
// The system's messages break lines with CR (CR CR for an empty line), which Qt's widgets would
// run together: every CR, or CR LF, becomes the line feed Qt breaks at.
QString WithLineBreaks(QString text);

// Nothing when a character has no byte in the code page.
std::optional<std::string> ToDataText(const QString& text,
                                      host::CodePage page = host::CodePage::Windows1257);

// Typed or pasted text goes into tables and descriptions in the code page, so the edit refuses,
// with a beep, any character that has no byte there rather than store it wrongly. Without a code
// page the guard follows the edit's own (its character set, forms/fonts.h).
void GuardCodePage(QLineEdit& edit, std::optional<host::CodePage> page = std::nullopt);
// How many inputs the guards have refused since the program started.
int RefusedInputs();

}  // namespace nox::forms
