#include "forms/field_settings.h"

#include <fcntl.h>
#include <unistd.h>

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTextEdit>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <utility>

#include "forms/message_box.h"
#include "forms/text.h"
#include "tables/dbase_io.h"
#include "tables/file_lock.h"
#include "tables/table.h"

namespace nox::forms {
namespace {

namespace fs = std::filesystem;
using tables::FieldDef;
using tables::FieldType;
using tables::TableError;
using tables::TTable;
using tables::Value;

constexpr int kMaxParentSteps = 16;

HardLinkFunction hardLink = ::link;

FieldDef TextField(const char* name, int size) {
  FieldDef def;
  def.name = name;
  def.type = FieldType::String;
  def.size = size;
  return def;
}

FieldDef FlagField(const char* name) {
  FieldDef def;
  def.name = name;
  def.type = FieldType::Boolean;
  return def;
}

std::vector<FieldDef> FormSetFields() {
  return {TextField("FormName", 40),  TextField("FormCondition", 100),
          TextField("Recv", 40),      TextField("RecvDesc", 40),
          TextField("RecvLabel", 40), TextField("RecvLabels", 100),
          FlagField("Visible"),       FlagField("Enabled"),
          FlagField("Required"),      TextField("Condition", 100)};
}

[[noreturn]] void CannotCreate(const std::string& why) {
  throw TableError("Table '" + std::string(kFormSetTableName) + "' cannot be created: " + why);
}

// Puts the new table file in place unless a file of that name exists (false then): a hard link
// where the file system has them; elsewhere (network shares) a file created exclusively, locked,
// and then filled with the table's bytes, the lock kept in `copyLock`.
bool PlaceNewFile(const fs::path& made, const fs::path& path,
                  std::optional<tables::FileLock>& copyLock) {
  if (hardLink(made.c_str(), path.c_str()) == 0) return true;
  if (errno == EEXIST) return false;
  if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS) CannotCreate(std::strerror(errno));
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (errno == EEXIST) return false;
    CannotCreate(std::strerror(errno));
  }
  const std::string context(kFormSetTableName);
  try {
    copyLock.emplace(path, tables::OpenMode::Exclusive);
    std::ifstream in(made, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) CannotCreate("the new table cannot be read");
    tables::dbase_io::WriteAt(fd, bytes.data(), bytes.size(), 0, context);
    tables::dbase_io::FlushAndClose(fd, [&] { tables::dbase_io::Sync(fd, context); });
  } catch (...) {
    if (fd >= 0) ::close(fd);
    std::error_code ignored;  // our own half-made file: the error above is the one to report
    fs::remove(path, ignored);
    throw;
  }
  return true;
}

// The table is built in a private directory beside it and linked into place under the lock of
// its new file: linking never replaces a table another program created meanwhile (that one is
// used instead), and nobody opens the new table before its index lies beside it.
void CreateFormSetTable(const fs::path& path) {
  const fs::path beside = path.has_parent_path() ? path.parent_path() : fs::path(".");
  const fs::path work =
      beside / ("." + path.filename().string() + ".creating-" + std::to_string(::getpid()));
  std::error_code error;
  fs::remove_all(work, error);
  if (!fs::create_directory(work, error)) CannotCreate(error.message());
  struct RemoveWork {
    const fs::path& work;
    ~RemoveWork() {
      std::error_code ignored;  // only our own scratch copy: the table itself is in place
      fs::remove_all(work, ignored);
    }
  } removeWork{work};

  TTable table;
  table.SetDatabaseName(work.string());
  table.SetTableName(path.filename().string());
  table.FieldDefs() = FormSetFields();
  table.IndexDefs() = {{"", "FormName;FormCondition;Recv", tables::ixPrimary | tables::ixUnique}};
  table.CreateTable();
  const fs::path made = work / path.filename();
  const tables::FileLock lock(made, tables::OpenMode::Exclusive);
  std::optional<tables::FileLock> copyLock;
  if (!PlaceNewFile(made, path, copyLock)) return;
  for (const fs::directory_entry& entry : fs::directory_iterator(work, error)) {
    if (entry.path() == made) continue;
    fs::rename(entry.path(), beside / entry.path().filename(), error);
    if (error) CannotCreate(error.message());
  }
  if (error) CannotCreate(error.message());
}

bool Blank(std::string_view text) {
  return text.find_first_not_of(' ') == std::string_view::npos;
}

bool Flag(TTable& table, const char* name) {
  const Value& value = table.FieldByName(name).GetValue();
  return value.kind() == Value::Kind::Boolean && value.boolean();
}

std::string DataText(const QString& text) {
  return ToDataText(text).value_or(text.toStdString());
}

QString ControlText(const QWidget& control) {
  if (const auto* edit = qobject_cast<const QLineEdit*>(&control)) return edit->text();
  if (const auto* spin = qobject_cast<const QAbstractSpinBox*>(&control)) return spin->text();
  if (const auto* combo = qobject_cast<const QComboBox*>(&control)) return combo->currentText();
  if (const auto* memo = qobject_cast<const QPlainTextEdit*>(&control)) {
    return memo->toPlainText();
  }
  if (const auto* memo = qobject_cast<const QTextEdit*>(&control)) return memo->toPlainText();
  return control.property("text").toString();
}

bool CanTakeFocus(const QWidget& control) {
  return control.isVisible() && control.isEnabled() && control.focusPolicy() != Qt::NoFocus;
}

}  // namespace

void EnsureFormSetTable(TTable& table, std::string_view formName) {
  table.SetTableName(std::string(kFormSetTableName));
  const fs::path path = table.FilePath();
  std::error_code error;
  if (!fs::exists(path, error)) CreateFormSetTable(path);
  table.Open();
  for (const FieldDef& field : FormSetFields()) {
    if (table.FindField(field.name) == nullptr) {
      table.Close();
      throw TableError("Table '" + std::string(kFormSetTableName) + "' has no field '" +
                       field.name + "'");
    }
  }
  table.SetRange({Value::Text(std::string(formName))}, {Value::Text(std::string(formName))});
}

HardLinkFunction SetFormSetHardLink(HardLinkFunction link) {
  return std::exchange(hardLink, link);
}

FieldSetting ReadFieldSetting(TTable& table) {
  FieldSetting row;
  row.formName = table.FieldByName("FormName").AsString();
  row.formCondition = table.FieldByName("FormCondition").AsString();
  row.recv = table.FieldByName("Recv").AsString();
  row.recvDesc = table.FieldByName("RecvDesc").AsString();
  row.recvLabel = table.FieldByName("RecvLabel").AsString();
  row.recvLabels = table.FieldByName("RecvLabels").AsString();
  row.visible = Flag(table, "Visible");
  row.enabled = Flag(table, "Enabled");
  row.required = Flag(table, "Required");
  row.condition = table.FieldByName("Condition").AsString();
  return row;
}

void WriteFieldSetting(TTable& table, const FieldSetting& setting) {
  table.FieldByName("FormName").SetAsString(setting.formName);
  table.FieldByName("FormCondition").SetAsString(setting.formCondition);
  table.FieldByName("Recv").SetAsString(setting.recv);
  table.FieldByName("RecvDesc").SetAsString(setting.recvDesc);
  table.FieldByName("RecvLabel").SetAsString(setting.recvLabel);
  table.FieldByName("RecvLabels").SetAsString(setting.recvLabels);
  table.FieldByName("Visible").SetValue(Value::Boolean(setting.visible));
  table.FieldByName("Enabled").SetValue(Value::Boolean(setting.enabled));
  table.FieldByName("Required").SetValue(Value::Boolean(setting.required));
  table.FieldByName("Condition").SetAsString(setting.condition);
}

std::string FormSetName(const QWidget& window) {
  return DataText(window.objectName());
}

QWidget* FindComponent(QWidget& window, std::string_view name) {
  if (Blank(name)) return nullptr;
  const QString wanted = FromDataText(name);
  for (QWidget* widget : window.findChildren<QWidget*>(wanted)) {
    if (widget->window() == &window) return widget;
  }
  return nullptr;
}

bool IsEditControl(const QWidget& widget) {
  if (qobject_cast<const QLineEdit*>(&widget) != nullptr) {
    // The text field inside a spin box or a combo box is part of that control.
    const QWidget* owner = widget.parentWidget();
    return qobject_cast<const QAbstractSpinBox*>(owner) == nullptr &&
           qobject_cast<const QComboBox*>(owner) == nullptr;
  }
  if (const auto* combo = qobject_cast<const QComboBox*>(&widget)) return combo->isEditable();
  return qobject_cast<const QAbstractSpinBox*>(&widget) != nullptr ||
         qobject_cast<const QPlainTextEdit*>(&widget) != nullptr ||
         qobject_cast<const QTextEdit*>(&widget) != nullptr;
}

QString CaptionText(const QString& caption) {
  QString text;
  for (qsizetype i = 0; i < caption.size(); ++i) {
    if (caption[i] == u'&' && i + 1 < caption.size()) ++i;  // "&&" stands for "&"
    text += caption[i];
  }
  return text;
}

void ApplyFieldSettings(QWidget& window) {
  TTable table;
  EnsureFormSetTable(table, FormSetName(window));
  for (table.First(); !table.Eof(); table.Next()) {
    const FieldSetting row = ReadFieldSetting(table);
    if (!Blank(row.condition)) continue;
    QWidget* control = FindComponent(window, row.recv);
    if (control == nullptr) continue;
    control->setVisible(row.visible);
    control->setEnabled(row.enabled);
    QWidget* label = FindComponent(window, row.recvLabel);
    if (label == nullptr) continue;
    label->setVisible(row.visible);
    label->setEnabled(row.enabled);
    const auto* caption = qobject_cast<const QLabel*>(label);
    if (caption == nullptr) continue;
    // Stored only when it changed, so that showing a window writes nothing in the common case.
    table.Edit();
    table.FieldByName("RecvDesc").SetAsString(DataText(CaptionText(caption->text())));
    if (table.FieldByName("RecvDesc").AsString() == row.recvDesc) {
      table.Cancel();
    } else {
      table.Post();
    }
  }
  table.Close();
}

QString RequiredFieldMessage(const QWidget& window, const QString& description) {
  const auto* label = window.findChild<const QLabel*>(QStringLiteral("LblMesRequiredField"));
  QString message = label != nullptr ? label->text() : QString::fromUtf8(kRequiredFieldMessage);
  const qsizetype at = message.indexOf(QStringLiteral("%S"), 0, Qt::CaseInsensitive);
  if (at >= 0) message.replace(at, 2, u'\'' + description + u'\'');
  return message;
}

void CheckRequiredFields(QWidget& window, CloseAction& action) {
  std::vector<FieldSetting> rows;
  {
    TTable table;
    EnsureFormSetTable(table, FormSetName(window));
    for (table.First(); !table.Eof(); table.Next())
      rows.push_back(ReadFieldSetting(table));
    table.Close();  // not held while the message waits for the user
  }
  for (const FieldSetting& row : rows) {
    if (!row.required || !row.visible || !row.enabled || !Blank(row.condition)) continue;
    QWidget* control = FindComponent(window, row.recv);
    if (control == nullptr || !ControlText(*control).trimmed().isEmpty()) continue;
    const auto keepOpen = [&] {
      NoxMessageBox(window.windowTitle(), RequiredFieldMessage(window, FromDataText(row.recvDesc)),
                    static_cast<int>(SoobchenIcon::Warning), kSoobchenFirstButton, kSoobchenOk);
      control->setFocus();
      action = CloseAction::caNone;
    };
    if (CanTakeFocus(*control)) return keepOpen();
    QWidget* node = control;
    for (int step = 0; step < kMaxParentSteps; ++step) {
      node = node->parentWidget();
      if (node == nullptr || node == &window) return;
      auto* stack = qobject_cast<QStackedWidget*>(node->parentWidget());
      auto* pages = stack != nullptr ? qobject_cast<QTabWidget*>(stack->parentWidget()) : nullptr;
      if (pages == nullptr || pages->indexOf(node) < 0) continue;
      pages->setFocus();
      pages->setCurrentWidget(node);
      if (CanTakeFocus(*control)) return keepOpen();
      node = pages;
    }
  }
}

}  // namespace nox::forms
