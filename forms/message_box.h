#pragma once
// NoxMessageBox: the framework's own small message window TFormSoobchen, used for the
// required-field message and the write-back question. One window per process, reused.

#include <QDialog>
#include <QIcon>
#include <QList>
#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;
class QFrame;

namespace nox::forms {

enum class SoobchenIcon { Warning = 0, Error = 1, Question = 2, Information = 3 };

inline constexpr int kSoobchenFirstButton = 0;     // preselect BtnOK
inline constexpr int kSoobchenSecondButton = 256;  // preselect BtnCancel
inline constexpr int kSoobchenOk = 0;              // button set: OK alone
inline constexpr int kSoobchenOkCancel = 1;        // OK and Cancel
inline constexpr int kSoobchenYesNo = 4;           // Yes and No
inline constexpr int kSoobchenClosed = 99;         // result when closed otherwise

// The window: a 229×124 dialog with the panel "Panel" holding "LblSoob", the picture "Image",
// "LblDopInform", "BtnOK", "BtnCancel", the hidden input "EditStroka" and the caption strip
// "GradCaption". Its buttons give 0 (first) and 1 (second); any other way of closing gives 99.
class TFormSoobchen : public QDialog {
  Q_OBJECT

 public:
  explicit TFormSoobchen(QWidget* parent = nullptr);

  // Fills the window for one message (the window is reused, so everything is set every time).
  void Prepare(const QString& title, const QString& text, int icon, int preselected, int buttonSet);

  void reject() override;

  // The four 32×32 icons, in the order of SoobchenIcon.
  const QList<QIcon>& ImageList() const { return imageList_; }

 private:
  QFrame* panel_;
  QLabel* gradCaption_;
  QLabel* lblSoob_;
  QLabel* image_;
  QLabel* lblDopInform_;
  QPushButton* btnOk_;
  QPushButton* btnCancel_;
  QLineEdit* editStroka_;
  QList<QIcon> imageList_;
};

// The process's one TFormSoobchen, created on first use and released when the application ends.
TFormSoobchen& FormSoobchen();

// Shows the message: 0 when the first button (OK or Yes) is pressed, non-zero for the second
// (Cancel or No), 99 when the window is closed otherwise. Icons per SoobchenIcon; preselected 0
// or 256; button sets 0 (OK), 1 (OK, Cancel), 4 (Yes, No); any other set shows OK alone.
int NoxMessageBox(const QString& title, const QString& text, int icon, int preselected,
                  int buttonSet);

}  // namespace nox::forms
