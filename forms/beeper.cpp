#include "forms/beeper.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <array>
#include <atomic>

#include "forms/message_dialog.h"

namespace nox::forms {
namespace {

std::atomic<int> beeps{0};

constexpr int kPictureSize = 24;
constexpr int kBorderWidth = 1;
constexpr int kBevelWidth = 1;
constexpr int kPictureOffset = 2 * kBevelWidth + kBorderWidth;

QImage Canvas() {
  QImage image(kPictureSize, kPictureSize, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

QPen ThickPen(const QColor& color, qreal width) {
  return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QImage DrawTick() {
  QImage image = Canvas();
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(ThickPen(QColor(0, 160, 0), 3.5));
  painter.drawPolyline(QPolygonF({QPointF(4, 13), QPointF(10, 19), QPointF(20, 5)}));
  return image;
}

QImage DrawStopSign() {
  QImage image = Canvas();
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  QPolygonF octagon;
  for (QPointF corner : {QPointF(8, 1), QPointF(16, 1), QPointF(23, 8), QPointF(23, 16),
                         QPointF(16, 23), QPointF(8, 23), QPointF(1, 16), QPointF(1, 8)}) {
    octagon << corner;
  }
  painter.setPen(QPen(QColor(128, 0, 0), 1));
  painter.setBrush(QColor(220, 0, 0));
  painter.drawPolygon(octagon);
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::white);
  painter.drawRect(QRectF(5, 10, 14, 4));
  return image;
}

QImage DrawCross() {
  QImage image = Canvas();
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(ThickPen(QColor(220, 0, 0), 4));
  painter.drawLine(QPointF(5, 5), QPointF(19, 19));
  painter.drawLine(QPointF(19, 5), QPointF(5, 19));
  return image;
}

QImage DrawExclamation() {
  QImage image = Canvas();
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0, 0, 210));
  painter.drawPolygon(
      QPolygonF({QPointF(9, 2), QPointF(15, 2), QPointF(13.5, 16), QPointF(10.5, 16)}));
  painter.drawEllipse(QPointF(12, 20), 2.5, 2.5);
  return image;
}

QImage DrawQuestion() {
  QImage image = Canvas();
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  const QColor yellow(240, 200, 0);
  QPainterPath hook;
  hook.moveTo(6.5, 8);
  hook.arcTo(QRectF(6.5, 2.5, 11, 11), 180, -270);
  hook.lineTo(12, 16);
  painter.setPen(ThickPen(QColor(120, 90, 0), 5));
  painter.drawPath(hook);
  painter.setPen(ThickPen(yellow, 3));
  painter.drawPath(hook);
  painter.setPen(QPen(QColor(120, 90, 0), 1));
  painter.setBrush(yellow);
  painter.drawEllipse(QPointF(12, 20.5), 2.5, 2.5);
  return image;
}

// An hourglass whose sand has run down by the frame's share (0, 1 or 2 of 2).
QImage DrawHourglass(int frame) {
  QImage image = Canvas();
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  const QColor sand(200, 150, 40);
  const QColor glass(60, 60, 60);
  painter.setPen(Qt::NoPen);
  painter.setBrush(sand);
  // Upper bulb: a triangle pointing down whose top part empties frame by frame.
  const qreal topLevel = 4 + 3.5 * frame;
  const qreal topHalf = 7.5 * (12 - topLevel) / 8;
  if (frame < 2) {
    painter.drawPolygon(QPolygonF(
        {QPointF(12 - topHalf, topLevel), QPointF(12 + topHalf, topLevel), QPointF(12, 12)}));
  }
  // Lower bulb: fills from the bottom.
  if (frame > 0) {
    const qreal level = frame == 1 ? 16 : 12.5;
    const qreal half = 7.5 * (level - 12) / 8;
    painter.drawPolygon(QPolygonF({QPointF(12 - half, level), QPointF(12 + half, level),
                                   QPointF(19.5, 20), QPointF(4.5, 20)}));
  }
  // The falling stream in the middle frame.
  if (frame == 1) painter.drawRect(QRectF(11.5, 12, 1, 8));
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(glass, 1.5));
  painter.drawPolygon(QPolygonF({QPointF(4, 4), QPointF(20, 4), QPointF(4, 20), QPointF(20, 20)}));
  painter.setPen(ThickPen(QColor(120, 70, 20), 2));
  painter.drawLine(QPointF(3, 2.5), QPointF(21, 2.5));
  painter.drawLine(QPointF(3, 21.5), QPointF(21, 21.5));
  return image;
}

}  // namespace

void Beep() {
  ++beeps;
  QApplication::beep();
}

int BeepCount() {
  return beeps;
}

const QImage& BeeperPicture(TBeepStatus status) {
  static const std::array<QImage, 9> pictures{
      DrawTick(), DrawStopSign(),   DrawCross(),      DrawExclamation(), DrawQuestion(),
      QImage(),   DrawHourglass(0), DrawHourglass(1), DrawHourglass(2),
  };
  return pictures.at(static_cast<std::size_t>(status));
}

NoxBeeper::NoxBeeper(QWidget* parent) : QFrame(parent), picture_(new QLabel(this)) {
  setFrameStyle(QFrame::Panel | QFrame::Sunken);
  setLineWidth(kBorderWidth + kBevelWidth);
  resize(34, 34);
  picture_->setObjectName(QStringLiteral("Picture"));
  picture_->setAlignment(Qt::AlignCenter);
  PlacePicture(false);
  LoadPicture();
}

void NoxBeeper::PlacePicture(bool fitToControl) {
  if (fitToControl) {
    picture_->setGeometry(kPictureOffset, kPictureOffset, width() - 2 * kPictureOffset - 4,
                          height() - 2 * kPictureOffset - 4);
  } else {
    picture_->setGeometry(kPictureOffset, kPictureOffset, kPictureSize, kPictureSize);
  }
}

void NoxBeeper::LoadPicture() {
  const QImage picture =
      status_ == TBeepStatus::bsUSERDEFBMP ? QImage(userBitmap_) : BeeperPicture(status_);
  picture_->setPixmap(QPixmap::fromImage(picture));
  if (isVisible()) repaint();
}

void NoxBeeper::SetStatus(TBeepStatus status) {
  if (status == status_) return;
  status_ = status;
  LoadPicture();
}

void NoxBeeper::Loaded() {
  PlacePicture(true);
  if (!userBitmap_.isEmpty() && !QFileInfo::exists(userBitmap_)) {
    NoxMessageDlg(QStringLiteral("UserBitmap not found"), objectName(), MsgDlgType::Warning, 0,
                  kButtonsOk);
  }
}

void NoxBeeper::ShowReady() {
  SetStatus(TBeepStatus::bsOK);
}

void NoxBeeper::ShowError() {
  SetStatus(TBeepStatus::bsKREST);
}

void NoxBeeper::FlashError() {
  ShowError();
  ShowReady();
}

void NoxBeeper::StepBusy() {
  switch (status_) {
    case TBeepStatus::bsGLASCLOCK1:
      SetStatus(TBeepStatus::bsGLASCLOCK2);
      break;
    case TBeepStatus::bsGLASCLOCK2:
      SetStatus(TBeepStatus::bsGLASCLOCK3);
      break;
    default:
      SetStatus(TBeepStatus::bsGLASCLOCK1);
      break;
  }
}

QImage NoxBeeper::ShownPicture() const {
  return picture_->pixmap().toImage();
}

}  // namespace nox::forms
