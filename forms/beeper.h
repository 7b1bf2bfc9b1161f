#pragma once
// NoxBeeper: the small status indicator of the main and conversion windows. It shows one 24×24
// picture per status: ready, error, a busy hourglass in three frames, and a few signs.

#include <QFrame>
#include <QImage>
#include <QString>

class QLabel;

namespace nox::forms {

enum class TBeepStatus {
  bsOK,
  bsSTOP,
  bsKREST,
  bsVOSKLZNAK,
  bsVOPRZNAK,
  bsUSERDEFBMP,
  bsGLASCLOCK1,
  bsGLASCLOCK2,
  bsGLASCLOCK3,
};

// The window system's short warning sound, for a key or command a window refuses.
void Beep();
// How many times Beep has sounded since the program started.
int BeepCount();

// The program's own picture of a status ("OK", "STOP", "XKREST", ...), 24×24, drawn once.
// bsUSERDEFBMP has none of its own: it shows the file named by UserBitmap.
const QImage& BeeperPicture(TBeepStatus status);

class NoxBeeper : public QFrame {
  Q_OBJECT

 public:
  explicit NoxBeeper(QWidget* parent = nullptr);

  TBeepStatus Status() const { return status_; }
  // A different status repaints the control with the new picture at once.
  void SetStatus(TBeepStatus status);

  QString UserBitmap() const { return userBitmap_; }
  void SetUserBitmap(const QString& fileName) { userBitmap_ = fileName; }
  QString BeepLen() const { return beepLen_; }  // kept only
  void SetBeepLen(const QString& length) { beepLen_ = length; }

  // To be called once the stored properties are set: fits the picture to the control and warns
  // ("UserBitmap not found") when UserBitmap names a file that does not exist.
  void Loaded();

  void ShowReady();   // bsOK
  void ShowError();   // bsKREST
  void FlashError();  // ShowError, then ShowReady
  void StepBusy();    // the next hourglass frame (frame 1 from any other status)

  // What the picture child shows now.
  QImage ShownPicture() const;

 private:
  void PlacePicture(bool fitToControl);
  void LoadPicture();

  TBeepStatus status_ = TBeepStatus::bsOK;
  QString userBitmap_;
  QString beepLen_ = QStringLiteral("20");
  QLabel* picture_;
};

}  // namespace nox::forms
