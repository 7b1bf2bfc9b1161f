#include "forms/nox_form.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTableView>
#include <QTextEdit>
#include <cmath>

#include "forms/application.h"
#include "forms/field_settings.h"
#include "forms/fonts.h"
#include "forms/form_services.h"
#include "forms/grad_caption.h"
#include "forms/painters.h"
#include "forms/shared_state.h"
#include "forms/translation_store.h"

namespace nox::forms {
namespace {

bool IsEnter(int key) {
  return key == Qt::Key_Return || key == Qt::Key_Enter;
}

}  // namespace

TNoxForm::TNoxForm(QWidget* parent)
    : QDialog(parent),
      gradCaption_(new TGradCaption(this)),
      lblMesRequiredField_(new QLabel(QString::fromUtf8(kRequiredFieldMessage), this)),
      noxFormFon_(new TNoxFon(this)),
      noxFormLogo_(new TNoxFon(this)) {
  lblMesRequiredField_->setObjectName(QStringLiteral("LblMesRequiredField"));
  lblMesRequiredField_->hide();
  noxFormFon_->setObjectName(QStringLiteral("NoxFormFon"));
  noxFormFon_->SetFonStyle(TFonStyle::fsCoverAll);
  noxFormFon_->SetPaintPosStyle(TPaintPosStyle::psCornerTL);
  noxFormLogo_->setObjectName(QStringLiteral("NoxFormLogo"));
  noxFormLogo_->SetFonStyle(TFonStyle::fsShowAtPos);
  noxFormLogo_->SetPaintPosStyle(TPaintPosStyle::psCornerBR);
  noxFormLogo_->SetIntervalHoriz(25);
  noxFormLogo_->SetIntervalVert(57);
  // Key preview: the window sees every key meant for one of its controls first.
  if (QCoreApplication* application = QCoreApplication::instance()) {
    application->installEventFilter(this);
  }
}

TNoxForm::~TNoxForm() {
  // Windows owned by this one are still whole here: let them run their own destroy handlers.
  for (TNoxForm* child : findChildren<TNoxForm*>())
    child->RunDestroy();
  // Destroyed without FormDeleter or deleteLater: only the base part is left to run.
  if (!destroyed_) {
    destroyed_ = true;
    RunReported([this] { TNoxForm::FormDestroy(); });
  }
}

void TNoxForm::RunCreate() {
  if (created_) return;
  created_ = true;
  RunReported([this] { FormCreate(); });
}

void TNoxForm::RunDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  RunReported([this] { FormDestroy(); });
}

void TNoxForm::FormCreate() {
  // An error stops the base's sequence and is reported; the window's own creation goes on, so a
  // bad settings file never leaves a window half-built.
  RunReported([this] {
    keySequence_.clear();
    enterToTab_ = true;
    if (languageIni_.trimmed().isEmpty()) languageIni_ = QStringLiteral("NoxReStr.Ini");
    // A holder from here on, also when the shared state stops half-way with an error.
    if (!joinedSharedState_) {
      joinedSharedState_ = true;
      // Read from the current directory, else from beside the program or its data folder.
      FormSharedState::Instance().Join(ResolveResourceFile(languageIni_.toStdString()),
                                       InstalledServices().openLanguageTable);
    }
    ApplyFonts();
    ChangeLanguage();
    ChangeCompFont();
    FormResize();
  });
}

void TNoxForm::FormShow() {
  FormResize();
  // A field settings table that cannot be read is reported; the window's own show goes on.
  RunReported([this] { ApplyFieldSettings(); });
}

void TNoxForm::FormResize() {
  FitGridColumns();
}

void TNoxForm::FormClose(CloseAction& action) {
  // Nor does such a table keep the window from closing.
  RunReported([this, &action] { CheckRequiredFields(action); });
}

void TNoxForm::FormDestroy() {
  if (!joinedSharedState_) return;
  joinedSharedState_ = false;
  FormSharedState::Instance().Leave();
}

std::string TNoxForm::SettingValue(std::string_view name) {
  return FormSharedState::Instance().SettingValue(name);
}

void TNoxForm::WriteSettingsFile() {
  FormSharedState::Instance().WriteSettingsFile();
}

void TNoxForm::ApplyFonts() {
  forms::ApplyFonts(*this, FormSharedState::Instance().Settings());
}

void TNoxForm::ChangeCompFont() {
  forms::ChangeCompFont(*this, FormSharedState::Instance().Settings());
}

void TNoxForm::ChangeLanguage() {
  if (const auto& service = InstalledServices().changeLanguage) service(*this);
}

void TNoxForm::ApplyFieldSettings() {
  forms::ApplyFieldSettings(*this);
}

void TNoxForm::CheckRequiredFields(CloseAction& action) {
  forms::CheckRequiredFields(*this, action);
}

void TNoxForm::ShowCalculator() {
  if (const auto& service = InstalledServices().showCalculator) service(*this);
}

void TNoxForm::EditFieldSettings() {
  if (const auto& service = InstalledServices().editFieldSettings) service(*this);
}

void TNoxForm::SaveCompToINI() {
  if (const auto& service = InstalledServices().saveTranslation) service(*this);
}

void TNoxForm::KeyDown(int& key, Qt::KeyboardModifiers shift) {
  // The commands take their key: the focused control must not see it as well (Ctrl+K in a line
  // edit deletes to the end of the line), nor may a window built meanwhile let it be seen again.
  if (shift == Qt::ControlModifier && key == Qt::Key_K) {
    ShowCalculator();
    key = 0;
  } else if (shift == Qt::ControlModifier && key == Qt::Key_S) {
    EditFieldSettings();
    key = 0;
  }
  KeySequenceCommand(key, shift);
  if (enterToTab_ && IsEnter(key) && EnterMovesFocus(focusWidget())) {
    if (shift == Qt::ShiftModifier) {
      focusPreviousChild();
    } else {
      focusNextChild();
    }
    enterWasTab_ = true;
  }
}

void TNoxForm::KeySequenceCommand(int key, Qt::KeyboardModifiers shift) {
  // Pressing the modifiers themselves is part of a chord, not a key of the sequence.
  if (key == Qt::Key_Control || key == Qt::Key_Shift || key == Qt::Key_Alt || key == Qt::Key_Meta) {
    return;
  }
  const bool controlShift = shift == (Qt::ControlModifier | Qt::ShiftModifier);
  if (controlShift && key == Qt::Key_L) {
    keySequence_ = QStringLiteral("L");
  } else if (controlShift && key == Qt::Key_W && keySequence_ == u"L") {
    SaveCompToINI();
  } else {
    keySequence_.clear();
  }
}

void TNoxForm::FitGridColumns() {
  const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
  constexpr int kBorder = 1;
  for (QTableView* grid : findChildren<QTableView*>()) {
    // The maker's data grids only, and only those that do not cut their columns themselves.
    if (grid->window() != this || !ControlLanguageClass(*grid) ||
        grid->property("CutCols").toBool()) {
      continue;
    }
    QHeaderView& columns = *grid->horizontalHeader();
    int available = grid->width() - scrollBar - 4;
    if (!grid->verticalHeader()->isHidden()) available = available - scrollBar + 4;
    int total = 0;
    for (int column = 0; column < columns.count(); ++column)
      total += columns.sectionSize(column) + kBorder;
    if (total <= 0 || available <= 0) continue;
    const long ratio = std::lround(available * 1000.0 / total);
    for (int column = 0; column < columns.count(); ++column) {
      columns.resizeSection(
          column, static_cast<int>(std::lround(columns.sectionSize(column) * ratio / 1000.0)));
    }
  }
}

bool TNoxForm::PaintClientArea(QWidget& viewport) {
  if (!noxFormFon_->isEnabled() || noxFormFon_->Picture().isNull()) return false;
  QPainter painter(&viewport);
  noxFormFon_->PaintOn(painter);
  noxFormLogo_->DrawInRect(painter, viewport.rect());
  return true;
}

bool TNoxForm::EnterMovesFocus(const QWidget* focused) const {
  if (focused == nullptr) return false;
  // Controls that use Enter themselves: grids, memos, an open drop-down list.
  if (qobject_cast<const QTableView*>(focused) != nullptr ||
      qobject_cast<const QTextEdit*>(focused) != nullptr ||
      qobject_cast<const QPlainTextEdit*>(focused) != nullptr) {
    return false;
  }
  if (const auto* combo = qobject_cast<const QComboBox*>(focused);
      combo != nullptr && combo->view() != nullptr && combo->view()->isVisible()) {
    return false;
  }
  // The maker's drop-down controls say so by their property "DroppedDown".
  if (focused->property("DroppedDown").toBool()) return false;
  // A focused button, or the window's default button, answers Enter before the window does.
  if (qobject_cast<const QAbstractButton*>(focused) != nullptr) return false;
  for (const QPushButton* button : findChildren<QPushButton*>()) {
    if (button->isDefault() && button->isVisible() && button->isEnabled()) return false;
  }
  return true;
}

bool TNoxForm::RunClose() {
  CloseAction action = CloseAction::caHide;
  if (!RunReported([&] { FormClose(action); })) return false;
  switch (action) {
    case CloseAction::caNone:
      return false;
    case CloseAction::caMinimize:
      showMinimized();
      return false;
    case CloseAction::caFree:
      deleteLater();
      return true;
    case CloseAction::caHide:
      break;
  }
  return true;
}

void TNoxForm::done(int result) {
  if (!closing_ && !RunClose()) return;
  QDialog::done(result);
}

void TNoxForm::setVisible(bool visible) {
  if (visible) {
    for (QPushButton* button : findChildren<QPushButton*>()) {
      if (!button->isDefault()) button->setAutoDefault(false);
    }
  }
  QDialog::setVisible(visible);
}

void TNoxForm::closeEvent(QCloseEvent* event) {
  if (!RunClose()) {
    event->ignore();
    return;
  }
  // The dialog's own close handling ends in done(), which must not ask FormClose again.
  closing_ = true;
  QDialog::closeEvent(event);
  closing_ = false;
}

void TNoxForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!event->spontaneous()) RunReported([this] { FormShow(); });
}

void TNoxForm::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  if (created_) RunReported([this] { FormResize(); });
}

void TNoxForm::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    if (cancelButton_ != nullptr) cancelButton_->click();
    event->accept();
    return;
  }
  // Enter already moved the focus: it must not also press the button it landed on.
  if (IsEnter(event->key()) && enterWasTab_) {
    enterWasTab_ = false;
    event->accept();
    return;
  }
  // Enter presses the focused button, whether or not it is the default one.
  if (IsEnter(event->key())) {
    if (auto* button = qobject_cast<QAbstractButton*>(focusWidget());
        button != nullptr && button->isEnabled()) {
      button->click();
      event->accept();
      return;
    }
  }
  QDialog::keyPressEvent(event);
}

bool TNoxForm::event(QEvent* event) {
  if (event->type() == QEvent::DeferredDelete) RunDestroy();
  return QDialog::event(event);
}

bool TNoxForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Paint && watched->isWidgetType()) {
    auto* area = qobject_cast<QMdiArea*>(watched->parent());
    auto* viewport = static_cast<QWidget*>(watched);
    return area != nullptr && area->viewport() == viewport && area->window() == this &&
           PaintClientArea(*viewport);
  }
  if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
  auto* widget = static_cast<QWidget*>(watched);
  // A key travels up from the focused control to its parents: preview it once, at the start.
  const QWidget* focused = QApplication::focusWidget();
  if (widget->window() != this || (focused != nullptr ? widget != focused : widget != this)) {
    return false;
  }
  auto* keyEvent = static_cast<QKeyEvent*>(event);
  enterWasTab_ = false;
  int key = keyEvent->key();
  bool handled = false;
  RunReported([&] {
    KeyDown(key, keyEvent->modifiers() & ~Qt::KeypadModifier);
    handled = key == 0;
  });
  return handled;
}

void FormDeleter::operator()(TNoxForm* form) const {
  form->RunDestroy();
  delete form;
}

}  // namespace nox::forms
