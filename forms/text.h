#pragma once
// Text at the edge between the core and the windows: the core keeps single-byte text in its code
// page; the windows show Unicode.

#include <QString>
#include <optional>
#include <string>
#include <string_view>

#include "host/code_pages.h"

namespace nox::forms {

QString FromDataText(std::string_view bytes, host::CodePage page = host::CodePage::Windows1257);
// Nothing when a character has no byte in the code page.
std::optional<std::string> ToDataText(const QString& text,
                                      host::CodePage page = host::CodePage::Windows1257);

}  // namespace nox::forms
