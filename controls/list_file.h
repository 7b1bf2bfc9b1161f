#pragma once
// The list file of the list-file combo boxes: a plain text file (one choice per line, default
// extension ".MNU") that the user grows and edits from the control. TListFile finds and loads it
// for a control, filters its lines through a formula, appends and saves lines, asks the
// questions of the in-place list editor and runs the Add/Edit pop-up menu. The control stays the
// owner of its items; TListFile reaches them through TListFileHost.

#include <QFrame>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <string>

#include "forms/translation_store.h"

class QMenu;
class QPlainTextEdit;
class QPushButton;

namespace nox::tables {
class TTable;
}

namespace nox::controls {

enum class TLoadStyle { lsFromExePath, lsFromFilePath, lsStandart, lsFromAliasPath, lsNone };

// The message keys of the list-file combo boxes (their texts come from the language table).
using forms::kCBAddStringToList;
using forms::kCBCancelChanges;
using forms::kCBCanNotCreteFile;
using forms::kCBEmptySourceFileValue;
using forms::kCBPopupMenu1;
using forms::kCBPopupMenu2;
using forms::kCBSaveChanges;
using forms::kCBStylePropertyError;

// The text of a key in a message list of key=text lines (keys compared without regard to case);
// the built-in text when the entry is missing or blank.
QString ComboMessage(const QStringList& messages, const char* key);

// What TListFile needs of the control it serves.
class TListFileHost {
 public:
  virtual ~TListFileHost() = default;
  virtual QWidget& HostWidget() = 0;
  virtual QStringList HostItems() const = 0;
  virtual void SetHostItems(const QStringList& items) = 0;
  virtual QString HostText() const = 0;
};

class TListEditor;

class TListFile : public QObject {
  Q_OBJECT

 public:
  explicit TListFile(TListFileHost& host);
  ~TListFile() override;

  TLoadStyle LoadStyle() const { return loadStyle_; }
  void SetLoadStyle(TLoadStyle style) { loadStyle_ = style; }
  QString SourceFile() const { return sourceFile_; }
  void SetSourceFile(const QString& name) { sourceFile_ = name; }
  // The table whose database name gives the directory for lsFromAliasPath (not owned).
  tables::TTable* AlFromTable() const { return alFromTable_; }
  void SetAlFromTable(tables::TTable* table) { alFromTable_ = table; }
  // A formula; %S stands for the line in double quotes; a line stays when the value is "T".
  QString Filter() const { return filter_; }
  void SetFilter(const QString& formula) { filter_ = formula; }
  bool ShowPopupMenu() const { return showPopupMenu_; }
  void SetShowPopupMenu(bool on) { showPopupMenu_ = on; }
  // Upper bound of the list width (0: none).
  int MaxWidth() const { return maxWidth_; }
  void SetMaxWidth(int width) { maxWidth_ = width; }
  QStringList Messages() const { return messages_; }
  void SetMessages(const QStringList& messages) { messages_ = messages; }
  QString Message(const char* key) const { return ComboMessage(messages_, key); }

  QStringList Items() const { return host_.HostItems(); }
  // True once Load has run.
  bool Loaded() const { return loaded_; }
  bool FileBacked() const { return fileBacked_; }
  QString Directory() const { return directory_; }
  QString FullPath() const { return fullPath_; }
  // The list width the lines ask for: (longest line + 2) average character widths of the system
  // font, at most MaxWidth when that is above 0.
  int ListWidth() const { return listWidth_; }
  int InitialWidth() const { return initialWidth_; }
  int InitialLeft() const { return initialLeft_; }

  // The control was read from its window: finds the list file (creating a missing one), replaces
  // the items by its lines and filters them. `aliasTable` stands in for AlFromTable when given.
  // A file that cannot be created is reported and the control works without one.
  void Load(tables::TTable* aliasTable = nullptr);
  // Adds the text to the items and appends it to the file, when file-backed and the text is not
  // yet an item (compared without regard to letter case). True when it was added.
  bool AddText(const QString& text);
  // True when file-backed and the text is not an item: the double-click offers to add it.
  bool CanAdd(const QString& text) const;
  // Asks "Add string to list?" and adds the text on Yes.
  void AskToAdd(const QString& text);
  // Opens the in-place list editor below (or above) the control.
  void EditList();
  // Replaces the items by the lines and writes them to the file.
  void SaveLines(const QStringList& lines);
  // The right mouse button: with ShowPopupMenu focuses the control and opens the Add/Edit menu at
  // its right edge, half-way down; false (nothing done) without.
  bool OpenPopupMenu();
  QMenu* PopupMenu() const { return popupMenu_; }
  TListEditor* Editor() const { return editor_; }
  // Asks a Yes/No question in the framework's message box; true for Yes.
  bool Ask(const char* key) const;

 private:
  QString ResolveDirectory(tables::TTable* aliasTable) const;
  QStringList Filtered(const QStringList& lines) const;
  void MeasureLines(const QStringList& lines);
  int WidthOfLength(int length) const;

  TListFileHost& host_;
  TLoadStyle loadStyle_ = TLoadStyle::lsFromExePath;
  QString sourceFile_;
  tables::TTable* alFromTable_ = nullptr;
  QString filter_;
  bool showPopupMenu_ = true;
  int maxWidth_ = 0;
  QStringList messages_;

  bool loaded_ = false;
  bool fileBacked_ = false;
  QString directory_;
  QString fullPath_;
  int initialWidth_ = 0;
  int initialLeft_ = 0;
  int longestLine_ = 0;
  int listWidth_ = 0;
  QMenu* popupMenu_;
  QPointer<TListEditor> editor_;
};

// The in-place list editor: a borderless window under the control with the memo
// "MemoEditFrom<name>" and the buttons "BtnOkFrom<name>" and "BtnCancelFrom<name>". OK saves a
// changed list after asking; Cancel and losing the focus ask whether to drop the changes.
class TListEditor : public QFrame {
  Q_OBJECT

 public:
  TListEditor(TListFile& listFile, QWidget& control);

  QPlainTextEdit* Memo() const { return memo_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* CancelButton() const { return cancel_; }
  // Fills the memo from the items, sizes and places the window and shows it.
  void Open();

 protected:
  void hideEvent(QHideEvent* event) override;

 private:
  enum class Ending { Ok, Cancel };
  void Finish(Ending ending);
  QStringList MemoLines() const;

  TListFile& listFile_;
  QWidget& control_;
  QFrame* panel_;
  QPlainTextEdit* memo_;
  QPushButton* ok_;
  QPushButton* cancel_;
  QPointer<QWidget> previousWindow_;
  QPointer<QWidget> previousFocus_;
  bool finishing_ = false;
};

}  // namespace nox::controls
