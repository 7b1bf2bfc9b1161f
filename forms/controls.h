#pragma once
// The common controls of the windows, built with their object names: the names are what the
// interface translation and the field settings find a control by. Labels and buttons are of the
// framework's own kind, in the interface language: they take the configured form font and the
// interface character set (forms/fonts.h).

#include <QString>

class QGridLayout;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace nox::forms {

class TNoxForm;

// A label; its name is the key of its translated caption.
QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text = QString(),
                  bool bold = false);
QPushButton* MakeButton(QWidget* parent, const char* name, const QString& text,
                        const QString& hint = QString());
// A read-only field wide enough for `chars` upper-case characters (0: no minimum).
QLineEdit* MakeReadOnlyField(QWidget* parent, const char* name, int chars = 0);
// A table file shown in three read-only fields Edit<side>Path, Edit<side>Name and Edit<side>Ext
// under the labels Lbl<side>Path, Lbl<side>Name and Lbl<side>Ext, "Path", "File Name" and
// "Extension" (their buddies), in rows 0 and 1 of the group's grid.
struct FileFields {
  QLineEdit* path = nullptr;
  QLineEdit* name = nullptr;
  QLineEdit* extension = nullptr;
};
QGridLayout* MakeFileFields(QGroupBox& group, const char* side, FileFields& fields);
// Shows a text from its start: after setText a line edit too narrow for it shows the end, which
// cuts a file name's first letters.
void ShowFromStart(QLineEdit& field, const QString& text);
// What a screen reader says of a control: its name (when neither its text nor a buddy label gives
// one) and a sentence on what it does.
void Describe(QWidget& control, const QString& name, const QString& description);
// A program's own top-level window rather than a dialog: the window manager gives it a minimise
// button and a task-bar entry of its own, and ties it to no other window.
void MakeTopLevelWindow(QWidget& window);

// A dialog's right-aligned OK (the default button) and Cancel (pressed by Escape).
QHBoxLayout* MakeOkCancelRow(TNoxForm& dialog, QPushButton*& ok, QPushButton*& cancel);

}  // namespace nox::forms
