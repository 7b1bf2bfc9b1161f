#include "forms/fonts.h"

#include <QAbstractItemView>
#include <QFont>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTableView>
#include <QTextEdit>
#include <QVariant>
#include <QWidget>

#include "forms/char_sets.h"
#include "forms/painters.h"
#include "forms/shared_state.h"

namespace nox::forms {
namespace {

std::optional<LanguageClass> ClassOfName(const QString& name) {
  if (name == u"AsLabel" || name == u"cssAsLabel" || name == u"csAsLabel") {
    return LanguageClass::Interface;
  }
  if (name == u"AsEdit" || name == u"cssAsEdit" || name == u"csAsEdit") return LanguageClass::Edit;
  if (name == u"AsSystem" || name == u"cssAsSystem") return LanguageClass::System;
  return std::nullopt;
}

// Grids, lists and memos take the grid font; everything else the form font.
bool TakesGridFont(const QWidget& control) {
  return qobject_cast<const QAbstractItemView*>(&control) != nullptr ||
         qobject_cast<const QTextEdit*>(&control) != nullptr ||
         qobject_cast<const QPlainTextEdit*>(&control) != nullptr;
}

// The window's own controls in creation order; those of windows it owns are theirs.
QList<QWidget*> ControlsOf(QWidget& window) {
  QList<QWidget*> controls;
  for (QWidget* widget : window.findChildren<QWidget*>()) {
    if (widget->window() == &window) controls << widget;
  }
  return controls;
}

// True when a widget is part of a maker's control (its viewport, header, ...).
bool InsideMakersControl(const QWidget& widget, const QWidget& window) {
  for (const QWidget* up = widget.parentWidget(); up != nullptr && up != &window;
       up = up->parentWidget()) {
    if (ControlLanguageClass(*up)) return true;
  }
  return false;
}

void SetFace(QWidget& widget, const std::optional<std::string>& face) {
  if (!face) return;
  QFont font = widget.font();
  font.setFamily(QString::fromStdString(*face));
  widget.setFont(font);
}

void SetCharSet(QWidget& widget, int charSet) {
  widget.setProperty(kCharSetProperty, charSet);
}

}  // namespace

std::optional<LanguageClass> ControlLanguageClass(const QObject& control) {
  if (const auto* label = qobject_cast<const TNoxLabel*>(&control)) {
    switch (label->LoadAs()) {
      case TLoadAs::AsLabel:
        return LanguageClass::Interface;
      case TLoadAs::AsEdit:
        return LanguageClass::Edit;
      case TLoadAs::AsSystem:
        return LanguageClass::System;
    }
  }
  for (const char* property : {"LoadAs", "CharSetStyle"}) {
    const QVariant value = control.property(property);
    if (value.isValid()) return ClassOfName(value.toString());
  }
  return std::nullopt;
}

void ApplyFonts(QWidget& window, const InterfaceSettings& settings) {
  const std::optional<std::string> formFace = FontFaceOf(settings.Font(FontUse::Form));
  const std::optional<std::string> gridFace = FontFaceOf(settings.Font(FontUse::Grid));
  const std::optional<std::string> captionFace = FontFaceOf(settings.Font(FontUse::GridCaption));
  const QList<QWidget*> controls = ControlsOf(window);
  // A standard control keeps its font: it must not follow the window's new one.
  if (formFace) {
    for (QWidget* control : controls) {
      if (!control->testAttribute(Qt::WA_SetFont) && !ControlLanguageClass(*control) &&
          !InsideMakersControl(*control, window)) {
        QFont font = control->font();
        font.setResolveMask(QFont::AllPropertiesResolved);
        control->setFont(font);
      }
    }
  }
  SetFace(window, formFace);
  for (QWidget* control : controls) {
    if (!ControlLanguageClass(*control)) continue;
    SetFace(*control, TakesGridFont(*control) ? gridFace : formFace);
    if (auto* grid = qobject_cast<QTableView*>(control))
      SetFace(*grid->horizontalHeader(), captionFace);
  }
}

void ChangeCompFont(QWidget& window, const InterfaceSettings& settings) {
  const int interface = settings.CharSet(LanguageClass::Interface);
  for (QWidget* control : ControlsOf(window)) {
    if (const std::optional<LanguageClass> language = ControlLanguageClass(*control)) {
      SetCharSet(*control, settings.CharSet(*language));
      // A grid's titles are in the interface language.
      if (auto* grid = qobject_cast<QTableView*>(control)) {
        SetCharSet(*grid->horizontalHeader(), interface);
      }
    } else if (control->objectName() == u"GradCaption") {
      SetCharSet(*control, window.objectName() == u"MainForm" ? kBalticCharSet : interface);
    } else if (qobject_cast<QStatusBar*>(control) != nullptr) {
      SetCharSet(*control, interface);
    }
  }
}

host::CodePage ControlCodePage(const QWidget& control) {
  for (const QWidget* widget = &control; widget != nullptr;
       widget = widget->isWindow() ? nullptr : widget->parentWidget()) {
    const QVariant charSet = widget->property(kCharSetProperty);
    if (charSet.isValid()) {
      return CodePageOfCharSet(charSet.toInt(), FormSharedState::Instance().Settings());
    }
  }
  return host::CodePage::Windows1257;
}

}  // namespace nox::forms
