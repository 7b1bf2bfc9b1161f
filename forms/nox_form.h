#pragma once
// TNoxForm: the base of every window. It runs the window's handlers in one fixed order —
// FormCreate once built, FormShow at each show, FormClose at each close, FormDestroy before the
// window goes — routes their errors to the general error report, and moves the focus on Enter.
// A descendant overrides the handlers it needs and calls the base handler first (create, show,
// close) or last (destroy). The hooks below are filled in by the settings, translation, font and
// field-settings services of the framework.

#include <QDialog>
#include <QString>
#include <memory>
#include <utility>

class QAbstractButton;

namespace nox::forms {

enum class CloseAction { caNone, caHide, caFree, caMinimize };

class TNoxForm : public QDialog {
  Q_OBJECT

 public:
  explicit TNoxForm(QWidget* parent = nullptr);
  ~TNoxForm() override;

  bool EnterToTab() const { return enterToTab_; }
  void SetEnterToTab(bool on) { enterToTab_ = on; }
  QString LanguageIni() const { return languageIni_; }
  void SetLanguageIni(const QString& fileName) { languageIni_ = fileName; }

  // The button that Escape presses (none: Escape does nothing).
  void SetCancelButton(QAbstractButton* button) { cancelButton_ = button; }

  // Runs FormCreate under the general error report; CreateForm does this for you.
  void RunCreate();
  // Runs FormDestroy (once) under the general error report; FormDeleter does this for you.
  void RunDestroy();

  void done(int result) override;
  // A window's default button is only the one its descendant names (setDefault); the dialog's
  // habit of making the first push button the default is switched off when shown.
  void setVisible(bool visible) override;

 protected:
  virtual void FormCreate();
  virtual void FormShow();
  virtual void FormResize();
  virtual void FormClose(CloseAction& action);
  virtual void FormDestroy();
  // Sees every key pressed in the window before its controls do (key preview). The base runs
  // Enter-to-Tab; the key is not consumed.
  virtual void KeyDown(int& key, Qt::KeyboardModifiers shift);

  // Hooks of the framework's services, called from the handlers above.
  virtual void ApplyFonts() {}
  virtual void ChangeLanguage() {}
  virtual void ChangeCompFont() {}
  virtual void ApplyFieldSettings() {}
  virtual void CheckRequiredFields(CloseAction& /*action*/) {}
  // Ctrl+K and Ctrl+S: the installed calculator and field settings editor (form_services.h).
  virtual void ShowCalculator();
  virtual void EditFieldSettings();

  void showEvent(QShowEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Runs FormClose; false when the window is to stay open.
  bool RunClose();
  bool EnterMovesFocus(const QWidget* focused) const;

  bool enterToTab_ = true;
  QString languageIni_;
  QAbstractButton* cancelButton_ = nullptr;
  bool created_ = false;
  bool destroyed_ = false;
  bool closing_ = false;
  bool enterWasTab_ = false;
};

// Destroys a window after running its FormDestroy.
struct FormDeleter {
  void operator()(TNoxForm* form) const;
};
template <typename Form>
using FormPtr = std::unique_ptr<Form, FormDeleter>;

// Builds a window and runs its creation handlers.
template <typename Form, typename... Args>
FormPtr<Form> CreateForm(Args&&... args) {
  FormPtr<Form> form(new Form(std::forward<Args>(args)...));
  form->RunCreate();
  return form;
}

}  // namespace nox::forms
