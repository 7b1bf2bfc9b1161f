#pragma once
// TNoxForm: the base of every window. It runs the window's handlers in one fixed order —
// FormCreate once built, FormShow at each show, FormClose at each close, FormDestroy before the
// window goes — routes their errors to the general error report, and moves the focus on Enter.
// A descendant overrides the handlers it needs and calls the base handler first (create, show,
// close) or last (destroy).
//
// Creation joins the state all windows share (forms/shared_state.h: settings, resource strings,
// language table), gives the maker's controls their fonts and character sets, and translates the
// window through the installed services (forms/form_services.h); destruction leaves the shared
// state again. The keyboard commands reach the calculator (Ctrl+K), the field settings editor
// (Ctrl+S) and the write-back of texts (Ctrl+Shift+L, then Ctrl+Shift+W).

#include <QDialog>
#include <QString>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

class QAbstractButton;
class QLabel;

namespace nox::forms {

class TGradCaption;
class TNoxFon;

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

  // "L" after Ctrl+Shift+L, until a key other than Ctrl+Shift+W.
  QString KeySequence() const { return keySequence_; }
  TGradCaption* GradCaption() const { return gradCaption_; }
  // Hidden; its caption is the text of the required-field message (translated like any label).
  QLabel* LblMesRequiredField() const { return lblMesRequiredField_; }
  // The background and the logo of a window holding a multi-document area.
  TNoxFon* NoxFormFon() const { return noxFormFon_; }
  TNoxFon* NoxFormLogo() const { return noxFormLogo_; }

  // The value of an entry of the settings file; empty when it has none.
  static std::string SettingValue(std::string_view name);
  // Rewrites the settings file from the current settings.
  static void WriteSettingsFile();

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
  // the keyboard commands and Enter-to-Tab; the key is not consumed.
  virtual void KeyDown(int& key, Qt::KeyboardModifiers shift);

  // The configured faces and the character sets of the controls (forms/fonts.h).
  virtual void ApplyFonts();
  virtual void ChangeCompFont();
  // Hooks of the framework's services, called from the handlers above.
  virtual void ChangeLanguage();
  // The window's rows of FormSet.db (forms/field_settings.h).
  virtual void ApplyFieldSettings();
  virtual void CheckRequiredFields(CloseAction& action);
  // Ctrl+K, Ctrl+S and Ctrl+Shift+L, Ctrl+Shift+W: the installed calculator, field settings
  // editor and write-back of texts (form_services.h).
  virtual void ShowCalculator();
  virtual void EditFieldSettings();
  virtual void SaveCompToINI();

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
  void KeySequenceCommand(int key, Qt::KeyboardModifiers shift);
  // Paints the background and logo onto a multi-document area of this window; false when it has
  // no background picture, so that the area paints itself.
  bool PaintClientArea(QWidget& viewport);
  // Fits the columns of the maker's data grids to their width.
  void FitGridColumns();

  bool enterToTab_ = true;
  QString languageIni_;
  QString keySequence_;
  TGradCaption* gradCaption_ = nullptr;
  QLabel* lblMesRequiredField_ = nullptr;
  TNoxFon* noxFormFon_ = nullptr;
  TNoxFon* noxFormLogo_ = nullptr;
  bool joinedSharedState_ = false;
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
