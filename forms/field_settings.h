#pragma once
// Per-window field settings: the rows of FormSet.db (current directory), one per window and field,
// that hide, disable or make required a window's edit fields without changing the program. Every
// window applies them when shown and checks its required fields when it closes (forms/nox_form.h);
// the field settings editor (forms/form_settings.h) writes them.

#include <QString>
#include <string>
#include <string_view>
#include <vector>

#include "forms/nox_form.h"

class QWidget;

namespace nox::tables {
class TTable;
}

namespace nox::forms {

inline constexpr std::string_view kFormSetTableName = "FormSet.db";
// The design text of every window's LblMesRequiredField.
inline constexpr char kRequiredFieldMessage[] = "Laukumu %S ir jāaizpilda!";

// One row of FormSet.db; texts as stored (Windows-1257).
struct FieldSetting {
  std::string formName;
  std::string formCondition;
  std::string recv;        // the field control's name
  std::string recvDesc;    // its description: the name, then its label's caption
  std::string recvLabel;   // the first label attached to it
  std::string recvLabels;  // further labels, each followed by ";"
  bool visible = true;
  bool enabled = true;
  bool required = false;
  std::string condition;  // a row with a condition is not applied

  // Such a row changes nothing, so FormSet.db does not keep it.
  bool ChangesNothing() const { return visible && enabled && !required; }
  bool operator==(const FieldSetting&) const = default;
};

// Opens FormSet.db of the current directory in `table`, creating it first when it does not exist,
// and restricts it to the rows of the window named. A table another program holds raises the
// engine's TableError naming FormSet.db.
void EnsureFormSetTable(tables::TTable& table, std::string_view formName);
// The step that puts a newly built FormSet.db in place: ::link, as POSIX declares it. Tests put
// in one that fails as file systems without hard links do; gives the one it replaces.
using HardLinkFunction = int (*)(const char* existing, const char* created);
HardLinkFunction SetFormSetHardLink(HardLinkFunction link);
FieldSetting ReadFieldSetting(tables::TTable& table);
// Into the record being appended or edited.
void WriteFieldSetting(tables::TTable& table, const FieldSetting& setting);

// The window's name as FormSet.db keys it.
std::string FormSetName(const QWidget& window);
// The control of the window (not of a window inside it) with that name; null when none.
QWidget* FindComponent(QWidget& window, std::string_view name);
// Line edits, spin and date edits, editable combo boxes and memos, not the parts of another one.
bool IsEditControl(const QWidget& widget);
// A label's caption as the user reads it: without the "&" of its keyboard shortcut.
QString CaptionText(const QString& caption);

// Gives the window's controls and their labels the visibility and availability of their rows;
// rows with a condition, and rows naming nothing on the window, are passed over. The label's
// caption of the moment (translated) becomes the row's description.
void ApplyFieldSettings(QWidget& window);
// The first required field that is blank, visible and available gets the focus, after a message
// naming it, and the window stays open (action caNone); a field on a hidden tab page turns to
// that page first.
void CheckRequiredFields(QWidget& window, CloseAction& action);
// The required-field message for a description: the window's LblMesRequiredField caption with
// the description in single quotes in place of "%S".
QString RequiredFieldMessage(const QWidget& window, const QString& description);

}  // namespace nox::forms
