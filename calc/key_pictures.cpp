#include "calc/key_pictures.h"

#include <QFont>
#include <QLineF>
#include <QPainter>
#include <QPolygonF>
#include <initializer_list>

namespace nox::calc {
namespace {

const QColor kDigitColor(0, 0, 160);
const QColor kOperatorColor(192, 0, 0);
const QColor kFunctionColor(96, 0, 96);

QImage Canvas() {
  QImage image(kPictureWidth, kPictureHeight, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  return image;
}

void UsePen(QPainter& painter, const QColor& color) {
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(color, 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
}

QImage Text(const QString& text, const QColor& color) {
  QImage image = Canvas();
  QPainter painter(&image);
  painter.setRenderHint(QPainter::TextAntialiasing);
  QFont font;
  font.setBold(true);
  font.setPixelSize(15);
  painter.setFont(font);
  painter.setPen(color);
  painter.drawText(image.rect(), Qt::AlignCenter, text);
  return image;
}

QImage Lines(std::initializer_list<QLineF> lines, const QColor& color) {
  QImage image = Canvas();
  QPainter painter(&image);
  UsePen(painter, color);
  for (const QLineF& line : lines)
    painter.drawLine(line);
  return image;
}

QImage Divide() {
  QImage image = Lines({{7, 9, 19, 9}}, kOperatorColor);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(kOperatorColor);
  painter.drawEllipse(QPointF(13, 4.5), 1.6, 1.6);
  painter.drawEllipse(QPointF(13, 13.5), 1.6, 1.6);
  return image;
}

QImage SquareRoot() {
  QImage image = Lines({{16, 7, 21, 13}, {21, 7, 16, 13}}, kFunctionColor);
  QPainter painter(&image);
  UsePen(painter, kFunctionColor);
  painter.drawPolyline(
      QPolygonF({QPointF(3, 10), QPointF(6, 8.5), QPointF(9, 15), QPointF(13, 3), QPointF(23, 3)}));
  return image;
}

}  // namespace

QImage CommandPicture(CalcCommand command) {
  const int index = static_cast<int>(command);
  if (index <= static_cast<int>(CalcCommand::Digit9))
    return Text(QString::number(index), kDigitColor);
  switch (command) {
    case CalcCommand::Point:
      return Text(QStringLiteral("."), kDigitColor);
    case CalcCommand::Sign:
      return Lines({{6, 3, 6, 11}, {2, 7, 10, 7}, {11, 15, 15, 3}, {17, 11, 24, 11}}, kDigitColor);
    case CalcCommand::Plus:
      return Lines({{13, 3, 13, 15}, {7, 9, 19, 9}}, kOperatorColor);
    case CalcCommand::Minus:
      return Lines({{7, 9, 19, 9}}, kOperatorColor);
    case CalcCommand::Multiply:
      return Lines({{9, 5, 17, 13}, {17, 5, 9, 13}}, kOperatorColor);
    case CalcCommand::Divide:
      return Divide();
    case CalcCommand::Equals:
      return Lines({{7, 6.5, 19, 6.5}, {7, 11.5, 19, 11.5}}, kOperatorColor);
    case CalcCommand::Percent:
      return Text(QStringLiteral("%"), kFunctionColor);
    case CalcCommand::SquareRoot:
      return SquareRoot();
    case CalcCommand::Inverse:
      return Text(QStringLiteral("1/x"), kFunctionColor);
    case CalcCommand::Back:
      return Lines({{5, 9, 21, 9}, {5, 9, 10, 4}, {5, 9, 10, 14}}, kOperatorColor);
    default:
      return QImage();
  }
}

QImage TransferPicture() {
  QImage image = Lines({{2, 9, 14, 9}, {14, 9, 10, 5}, {14, 9, 10, 13}}, kDigitColor);
  QPainter painter(&image);
  UsePen(painter, kFunctionColor);
  painter.drawRect(QRectF(16, 3, 7, 12));
  return image;
}

}  // namespace nox::calc
