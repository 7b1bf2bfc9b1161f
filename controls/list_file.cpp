#include "controls/list_file.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <algorithm>
#include <array>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "forms/fonts.h"
#include "forms/message_box.h"
#include "forms/shared_state.h"
#include "forms/text.h"
#include "formula/formula.h"
#include "tables/path_lookup.h"
#include "tables/table.h"

namespace nox::controls {
namespace {

struct BuiltInMessage {
  const char* key;
  const char* text;
};

constexpr std::array kBuiltInMessages = {
    BuiltInMessage{kCBPopupMenu1, "Add"},
    BuiltInMessage{kCBPopupMenu2, "Edit"},
    BuiltInMessage{kCBAddStringToList, "Add string to list?"},
    BuiltInMessage{kCBSaveChanges, "Save changes?"},
    BuiltInMessage{kCBCancelChanges, "Cancel changes?"},
    BuiltInMessage{kCBCanNotCreteFile, "Can not create file %S"},
    BuiltInMessage{kCBStylePropertyError,
                   "Property Style values csOwnerDrawFixed and csOwnerDrawVariable is not used"},
    BuiltInMessage{kCBEmptySourceFileValue, "Empty SourceFile value"},
};

constexpr const char* kDefaultExtension = ".MNU";
constexpr int kAliasPathLimit = 100;
constexpr int kEditorWidth = 150;
constexpr int kEditorHeight = 250;
constexpr int kMemoMargin = 3;
constexpr int kEditorButtonWidth = 60;
constexpr int kEditorButtonPoints = 10;
constexpr int kMemoLines = 4;
constexpr QPoint kOffScreen(-10000, -10000);

// Errors of the file layer carry their text in the core's code page.
[[noreturn]] void FailFile(const QString& what, const QString& path) {
  const QString text = what + QStringLiteral(" ") + path;
  throw std::runtime_error(forms::ToDataText(text).value_or(text.toLatin1().toStdString()));
}

// The file's lines; a line break at the end starts no further line.
QList<QByteArray> ReadLines(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) FailFile(QStringLiteral("Cannot read the list file"), path);
  QByteArray content = file.readAll();
  if (file.error() != QFileDevice::NoError) {
    FailFile(QStringLiteral("Cannot read the list file"), path);
  }
  QList<QByteArray> lines;
  if (content.isEmpty()) return lines;
  if (content.endsWith('\n')) content.chop(1);
  for (QByteArray& line : content.split('\n')) {
    if (line.endsWith('\r')) line.chop(1);
    lines.append(line);
  }
  return lines;
}

// "C:\DATA\" and "data/" alike: the directory part of a list file's path here.
QString Slashes(QString path) {
  return path.replace(QLatin1Char('\\'), QLatin1Char('/'));
}

QString FileNamePart(const QString& path) {
  const qsizetype cut =
      std::max({path.lastIndexOf(QLatin1Char('\\')), path.lastIndexOf(QLatin1Char('/')),
                path.lastIndexOf(QLatin1Char(':'))});
  return path.mid(cut + 1);
}

bool ContainsText(const QStringList& items, const QString& text) {
  return items.contains(text, Qt::CaseInsensitive);
}

}  // namespace

QString ComboMessage(const QStringList& messages, const char* key) {
  const QString name = QString::fromLatin1(key);
  for (const QString& line : messages) {
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    if (equals < 0 || line.left(equals).compare(name, Qt::CaseInsensitive) != 0) continue;
    const QString text = line.mid(equals + 1);
    if (!text.trimmed().isEmpty()) return text;
    break;
  }
  for (const BuiltInMessage& message : kBuiltInMessages) {
    if (std::string_view(message.key) == key) return QString::fromLatin1(message.text);
  }
  return QString();
}

TListFile::TListFile(TListFileHost& host)
    : QObject(&host.HostWidget()), host_(host), popupMenu_(new QMenu(&host.HostWidget())) {
  QWidget& control = host_.HostWidget();
  popupMenu_->setObjectName(control.objectName() + QStringLiteral("PopupMenu"));
  QAction* add = popupMenu_->addAction(Message(kCBPopupMenu1));
  QAction* edit = popupMenu_->addAction(Message(kCBPopupMenu2));
  connect(add, &QAction::triggered, this, [this] { AddText(host_.HostText()); });
  connect(edit, &QAction::triggered, this, [this] { EditList(); });
  connect(popupMenu_, &QMenu::aboutToShow, this, [this, add, edit] {
    QFont font(QStringLiteral("Arial"));
    popupMenu_->setFont(font);
    popupMenu_->setProperty(
        forms::kCharSetProperty,
        forms::FormSharedState::Instance().Settings().CharSet(forms::LanguageClass::Interface));
    add->setText(Message(kCBPopupMenu1));
    edit->setText(Message(kCBPopupMenu2));
    add->setEnabled(fileBacked_);
    edit->setEnabled(fileBacked_);
  });
}

TListFile::~TListFile() = default;

QString TListFile::ResolveDirectory(tables::TTable* aliasTable) const {
  switch (loadStyle_) {
    case TLoadStyle::lsFromExePath:
      return QCoreApplication::applicationDirPath() + QLatin1Char('/');
    case TLoadStyle::lsFromAliasPath: {
      const tables::TTable* table = aliasTable != nullptr ? aliasTable : alFromTable_;
      if (table == nullptr || table->DatabaseName().empty()) return QString();
      const QString name = forms::FromDataText(table->DatabaseName());
      // A name with a directory separator is itself the directory; any other names an alias.
      if (name.contains(QLatin1Char('\\')) || name.contains(QLatin1Char('/'))) {
        return name.endsWith(QLatin1Char('\\')) || name.endsWith(QLatin1Char('/'))
                   ? name
                   : name + QLatin1Char('\\');
      }
      for (const std::string& line : tables::GetAliasParams(table->DatabaseName())) {
        if (line.starts_with("PATH=")) {
          return forms::FromDataText(line.substr(5)).left(kAliasPathLimit) + QLatin1Char('\\');
        }
      }
      return QString();
    }
    case TLoadStyle::lsFromFilePath:
    case TLoadStyle::lsStandart:
    case TLoadStyle::lsNone:
      break;
  }
  return QString();
}

void TListFile::Load(tables::TTable* aliasTable) {
  QWidget& control = host_.HostWidget();
  initialWidth_ = control.width();
  initialLeft_ = control.x();
  loaded_ = true;
  fileBacked_ = false;
  directory_.clear();
  fullPath_.clear();
  if (loadStyle_ == TLoadStyle::lsNone) {
    MeasureLines({});
    host_.SetHostItems({});
    return;
  }
  QStringList lines = host_.HostItems();
  if (loadStyle_ != TLoadStyle::lsStandart && !sourceFile_.isEmpty()) {
    directory_ = ResolveDirectory(aliasTable);
    QString name =
        loadStyle_ == TLoadStyle::lsFromExePath ? FileNamePart(sourceFile_) : sourceFile_;
    if (!name.contains(QLatin1Char('.'))) name += QLatin1String(kDefaultExtension);
    const std::filesystem::path written(Slashes(directory_ + name).toStdString());
    fullPath_ = QString::fromStdString(tables::ExistingSpelling(written).string());
    fileBacked_ = true;
    if (!QFileInfo::exists(fullPath_)) {
      QFile created(fullPath_);
      if (!created.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        fileBacked_ = false;
        forms::NoxMessageBox(control.window()->windowTitle(),
                             Message(kCBCanNotCreteFile).replace(QStringLiteral("%S"), fullPath_),
                             static_cast<int>(forms::SoobchenIcon::Error),
                             forms::kSoobchenFirstButton, forms::kSoobchenOk);
      }
    }
    if (fileBacked_) {
      lines.clear();
      const host::CodePage page = forms::ControlCodePage(control);
      for (const QByteArray& line : ReadLines(fullPath_)) {
        lines.append(forms::FromDataText(std::string_view(line.constData(), line.size()), page));
      }
    }
  }
  lines = Filtered(lines);
  MeasureLines(lines);
  host_.SetHostItems(lines);
}

QStringList TListFile::Filtered(const QStringList& lines) const {
  if (filter_.isEmpty()) return lines;
  const host::CodePage page = forms::ControlCodePage(host_.HostWidget());
  const std::optional<std::string> formula = forms::ToDataText(filter_, page);
  if (!formula) {
    throw std::runtime_error("The list filter holds a character its code page cannot hold");
  }
  QStringList kept;
  for (const QString& line : lines) {
    const std::optional<std::string> bytes = forms::ToDataText(line, page);
    if (!bytes) continue;
    std::string tested;
    const std::string quoted = "\"" + *bytes + "\"";
    std::string_view rest = *formula;
    for (std::size_t at = rest.find("%S"); at != std::string_view::npos; at = rest.find("%S")) {
      tested.append(rest.substr(0, at)).append(quoted);
      rest.remove_prefix(at + 2);
    }
    tested.append(rest);
    if (formula::EvaluateFormula(tested, nullptr, nullptr) == "T") kept.append(line);
  }
  return kept;
}

int TListFile::WidthOfLength(int length) const {
  const QFontMetrics system(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
  const int width = (length + 2) * system.averageCharWidth();
  return maxWidth_ > 0 ? std::min(width, maxWidth_) : width;
}

void TListFile::MeasureLines(const QStringList& lines) {
  longestLine_ = 0;
  for (const QString& line : lines) {
    longestLine_ = std::max(longestLine_, static_cast<int>(line.size()));
  }
  listWidth_ = WidthOfLength(longestLine_);
}

bool TListFile::CanAdd(const QString& text) const {
  return fileBacked_ && !text.isEmpty() && !ContainsText(host_.HostItems(), text);
}

bool TListFile::AddText(const QString& text) {
  if (!CanAdd(text)) return false;
  const std::optional<std::string> bytes =
      forms::ToDataText(text, forms::ControlCodePage(host_.HostWidget()));
  if (!bytes) FailFile(QStringLiteral("The text cannot be stored in the list file"), fullPath_);
  QFile file(fullPath_);
  if (!file.open(QIODevice::ReadWrite | QIODevice::Append)) {
    FailFile(QStringLiteral("Cannot write the list file"), fullPath_);
  }
  QByteArray line;
  // A last line without its line break must not run into the new one.
  char last = '\n';
  if (file.size() > 0 && (!file.seek(file.size() - 1) || !file.getChar(&last))) {
    FailFile(QStringLiteral("Cannot read the list file"), fullPath_);
  }
  if (last != '\n') line += "\r\n";
  line += QByteArray::fromStdString(*bytes) + "\r\n";
  if (file.write(line) != line.size() || !file.flush()) {
    FailFile(QStringLiteral("Cannot write the list file"), fullPath_);
  }
  file.close();
  if (text.size() > longestLine_) {
    longestLine_ = static_cast<int>(text.size());
    listWidth_ = WidthOfLength(longestLine_);
  }
  host_.SetHostItems(host_.HostItems() << text);
  return true;
}

void TListFile::AskToAdd(const QString& text) {
  if (CanAdd(text) && Ask(kCBAddStringToList)) AddText(text);
}

bool TListFile::Ask(const char* key) const {
  return forms::NoxMessageBox(host_.HostWidget().window()->windowTitle(), Message(key),
                              static_cast<int>(forms::SoobchenIcon::Question),
                              forms::kSoobchenFirstButton, forms::kSoobchenYesNo) == 0;
}

void TListFile::SaveLines(const QStringList& lines) {
  const host::CodePage page = forms::ControlCodePage(host_.HostWidget());
  QByteArray content;
  // Lines the filter hides are not in the editor; they stay in the file.
  if (!filter_.isEmpty()) {
    QStringList stored;
    for (const QByteArray& line : ReadLines(fullPath_)) {
      stored.append(forms::FromDataText(std::string_view(line.constData(), line.size()), page));
    }
    const QStringList shown = Filtered(stored);
    for (const QString& line : stored) {
      if (!shown.contains(line)) content += forms::ToDataText(line, page).value_or("") + "\r\n";
    }
  }
  for (const QString& line : lines) {
    const std::optional<std::string> bytes = forms::ToDataText(line, page);
    if (!bytes) FailFile(QStringLiteral("A line cannot be stored in the list file"), fullPath_);
    content += QByteArray::fromStdString(*bytes) + "\r\n";
  }
  QSaveFile file(fullPath_);
  if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit()) {
    FailFile(QStringLiteral("Cannot write the list file"), fullPath_);
  }
  MeasureLines(lines);
  host_.SetHostItems(lines);
}

void TListFile::EditList() {
  if (!fileBacked_) return;
  if (editor_.isNull()) editor_ = new TListEditor(*this, host_.HostWidget());
  editor_->Open();
}

bool TListFile::OpenPopupMenu() {
  if (!showPopupMenu_) return false;
  QWidget& control = host_.HostWidget();
  control.setFocus(Qt::MouseFocusReason);
  popupMenu_->popup(control.mapToGlobal(QPoint(control.width(), control.height() / 2)));
  return true;
}

TListEditor::TListEditor(TListFile& listFile, QWidget& control)
    : QFrame(&control, Qt::Popup | Qt::FramelessWindowHint),
      listFile_(listFile),
      control_(control),
      panel_(new QFrame(this)),
      memo_(new QPlainTextEdit(panel_)),
      ok_(new QPushButton(QStringLiteral("Ok"), panel_)),
      cancel_(new QPushButton(QStringLiteral("Cancel"), panel_)) {
  const QString name = control.objectName();
  setObjectName(QStringLiteral("ListEditorFrom") + name);
  panel_->setFrameShape(QFrame::Panel);
  panel_->setFrameShadow(QFrame::Raised);
  memo_->setObjectName(QStringLiteral("MemoEditFrom") + name);
  memo_->setLineWrapMode(QPlainTextEdit::NoWrap);
  memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  ok_->setObjectName(QStringLiteral("BtnOkFrom") + name);
  cancel_->setObjectName(QStringLiteral("BtnCancelFrom") + name);
  for (QPushButton* button : {ok_, cancel_}) {
    QFont bold = button->font();
    bold.setBold(true);
    bold.setPointSize(kEditorButtonPoints);
    button->setFont(bold);
  }
  connect(ok_, &QPushButton::clicked, this, [this] { Finish(Ending::Ok); });
  connect(cancel_, &QPushButton::clicked, this, [this] { Finish(Ending::Cancel); });
  resize(kEditorWidth, kEditorHeight);
}

void TListEditor::Open() {
  memo_->setFont(control_.font());
  memo_->setPlainText(listFile_.Items().join(QLatin1Char('\n')));
  memo_->document()->setModified(false);

  const int width = std::max(kEditorWidth, control_.width());
  const int lineHeight = qRound(QFontInfo(memo_->font()).pixelSize() * 1.25);
  const int memoHeight = kMemoLines * lineHeight + 6;
  memo_->setGeometry(kMemoMargin, kMemoMargin, width - 2 * kMemoMargin - 4, memoHeight);
  const int buttonHeight = ok_->sizeHint().height();
  const int buttonTop = memo_->geometry().bottom() + 1 + 4;
  const int cancelLeft = memo_->geometry().right() + 1 - 1 - kEditorButtonWidth;
  cancel_->setGeometry(cancelLeft, buttonTop, kEditorButtonWidth, buttonHeight);
  ok_->setGeometry(cancelLeft - 4 - kEditorButtonWidth, buttonTop, kEditorButtonWidth,
                   buttonHeight);
  const int height = memoHeight + buttonHeight + kMemoMargin + 12;
  resize(width, height);
  panel_->setGeometry(0, 0, width, height);

  const QPoint origin = control_.mapToGlobal(QPoint(2, 0));
  const QScreen* screen = control_.screen();
  const int screenBottom = screen != nullptr ? screen->geometry().bottom() : 767;
  int y = origin.y() + control_.height();
  if (y + height > screenBottom + 1) y = origin.y() - height;
  move(origin.x(), y);

  previousWindow_ = QApplication::activeWindow();
  previousFocus_ = QApplication::focusWidget();
  show();
  memo_->setFocus(Qt::PopupFocusReason);
}

QStringList TListEditor::MemoLines() const {
  QString text = memo_->toPlainText();
  if (text.endsWith(QLatin1Char('\n'))) text.chop(1);
  return text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
}

void TListEditor::hideEvent(QHideEvent* event) {
  QFrame::hideEvent(event);
  // Hidden by anything but its own buttons: it lost the focus.
  if (!finishing_) Finish(Ending::Cancel);
}

void TListEditor::Finish(Ending ending) {
  finishing_ = true;
  move(kOffScreen);
  hide();
  const bool changed = memo_->document()->isModified();
  memo_->document()->setModified(false);
  finishing_ = false;
  if (previousWindow_) previousWindow_->activateWindow();
  if (previousFocus_) previousFocus_->setFocus(Qt::PopupFocusReason);
  if (!changed) return;
  const bool save =
      ending == Ending::Ok ? listFile_.Ask(kCBSaveChanges) : !listFile_.Ask(kCBCancelChanges);
  if (save) listFile_.SaveLines(MemoLines());
}

}  // namespace nox::controls
