#pragma once
// Character sets and font faces of the controls: the built-in table of keyboard-layout and
// character-set names, the character set each language takes from the settings, and the font
// specifications of the settings. No windows here.

#include <optional>
#include <string>
#include <string_view>

#include "forms/settings_file.h"
#include "host/code_pages.h"

namespace nox::forms {

// The built-in name=code lines: "{KeyboardLayout}", the keyboard layouts, " ",
// "{Character Set}", the character sets.
NameValueList BuildNameCodeTable();

// The character set of language n: the name of the setting "CHRSET" + n followed by "_CHARSET",
// looked up in the table; 186 when the name is empty, unknown or its code is not a number, and
// for a language outside 1 to 10.
int LanguageCharSet(const NameValueList& nameCodeTable, const InterfaceSettings& settings,
                    int language);
// Sets the character sets of the interface, edit, system and print languages.
void ResolveCharSets(const NameValueList& nameCodeTable, InterfaceSettings& settings);

// The face a font specification names: "FONT:" (any case) and a face name, up to a ";".
std::optional<std::string> FontFaceOf(std::string_view specification);

// The code page a control's character set shows its single-byte texts in. The default character
// set (1) stands for the interface's.
host::CodePage CodePageOfCharSet(int charSet, const InterfaceSettings& settings);

}  // namespace nox::forms
