#include "forms/painters.h"

#include <QGuiApplication>
#include <QPaintDevice>
#include <QPainter>
#include <QScreen>
#include <algorithm>

namespace nox::forms {

TNoxLabel::TNoxLabel(QWidget* parent) : TNoxLabel(QString(), parent) {}

TNoxLabel::TNoxLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent), shadowColor_(palette().color(QPalette::Dark)) {}

void TNoxLabel::SetLabelStyle(TLabelStyle style) {
  labelStyle_ = style;
  update();
}

void TNoxLabel::SetShadowColor(const QColor& color) {
  shadowColor_ = color;
  update();
}

void TNoxLabel::SetShadowInterval(int interval) {
  shadowInterval_ = interval;
  update();
}

void TNoxLabel::paintEvent(QPaintEvent* event) {
  // Pictures and rich text keep the plain label's painting; only plain text gets a style.
  if (labelStyle_ == TLabelStyle::ls_None || text().isEmpty() || textFormat() == Qt::RichText ||
      !pixmap().isNull()) {
    QLabel::paintEvent(event);
    return;
  }
  QPainter painter(this);
  painter.setFont(font());
  const QRect area = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
  const int flags =
      static_cast<int>(alignment()) | (wordWrap() ? Qt::TextWordWrap : 0) | Qt::TextShowMnemonic;
  const auto drawAt = [&](int dx, int dy, const QColor& color) {
    painter.setPen(color);
    painter.drawText(area.translated(dx, dy), flags, text());
  };
  const QColor shadow = palette().color(QPalette::Dark);
  const QColor highlight = palette().color(QPalette::Light);
  switch (labelStyle_) {
    case TLabelStyle::lsRaised:
      drawAt(1, 1, shadow);
      drawAt(-1, -1, highlight);
      break;
    case TLabelStyle::lsLowered:
      drawAt(1, 1, highlight);
      drawAt(-1, -1, shadow);
      break;
    case TLabelStyle::lsShadow:
      drawAt(shadowInterval_, shadowInterval_, shadowColor_);
      break;
    case TLabelStyle::ls_None:
      break;
  }
  drawAt(
      0, 0,
      palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
}

TNoxFon::TNoxFon(QWidget* parent) : QWidget(parent) {
  resize(25, 25);
  hide();
}

QPoint TNoxFon::CornerPosition(const QRect& area) const {
  const int w = picture_.width();
  const int h = picture_.height();
  const int right = area.left() + area.width();
  const int bottom = area.top() + area.height();
  switch (paintPosStyle_) {
    case TPaintPosStyle::psCornerTL:
      return {area.left() + intervalHoriz_, area.top() + intervalVert_};
    case TPaintPosStyle::psCornerTR:
      return {right - w - intervalHoriz_, area.top() + intervalVert_};
    case TPaintPosStyle::psCornerBL:
      return {area.left() + intervalHoriz_, bottom - h - intervalVert_};
    case TPaintPosStyle::psCornerBR:
      break;
  }
  return {right - w - intervalHoriz_, bottom - h - intervalVert_};
}

void TNoxFon::Tile(QPainter& painter, const QRect& clip) const {
  const int w = picture_.width();
  const int h = picture_.height();
  const int right = clip.left() + clip.width();
  const int bottom = clip.top() + clip.height();
  const auto tile = [&](int column, int row) { painter.drawPixmap(column * w, row * h, picture_); };
  switch (paintStyle_) {
    case TPaintStyle::psFromTop:
      for (int row = 0; row * h < bottom; ++row) {
        for (int column = 0; column * w < right; ++column)
          tile(column, row);
      }
      break;
    case TPaintStyle::psFromTopLeft:
      for (int k = 0; k * h < bottom || k * w < right; ++k) {
        tile(k, k);
        for (int j = k + 1; j * w < right || j * h < bottom; ++j) {
          tile(k, j);
          tile(j, k);
        }
      }
      break;
    case TPaintStyle::psFromBottomRight: {
      const QScreen* screen = QGuiApplication::primaryScreen();
      const QSize screenSize = screen != nullptr ? screen->geometry().size() : QSize(right, bottom);
      const int n = std::max(screenSize.width() / w, screenSize.height() / h) + 1;
      for (int k = n; k >= 0; --k) {
        for (int j = k; j >= 0; --j) {
          tile(j, k);
          tile(k, j);
        }
      }
      break;
    }
  }
}

void TNoxFon::PaintOn(QPainter& painter) const {
  if (!isEnabled() || picture_.isNull()) return;
  const QPaintDevice* device = painter.device();
  const QRect clip = painter.hasClipping() ? painter.clipBoundingRect().toAlignedRect()
                                           : QRect(0, 0, device != nullptr ? device->width() : 0,
                                                   device != nullptr ? device->height() : 0);
  if (fonStyle_ == TFonStyle::fsCoverAll) {
    Tile(painter, clip);
  } else {
    painter.drawPixmap(
        CornerPosition(QRect(0, 0, clip.left() + clip.width(), clip.top() + clip.height())),
        picture_);
  }
}

void TNoxFon::DrawInRect(QPainter& painter, const QRect& rect) const {
  if (picture_.isNull()) return;
  painter.drawPixmap(CornerPosition(rect), picture_);
}

}  // namespace nox::forms
