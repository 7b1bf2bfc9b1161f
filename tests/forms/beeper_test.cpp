#include "forms/beeper.h"

#include <gtest/gtest.h>

#include <QPainter>
#include <QTemporaryDir>
#include <functional>

#include "forms/painters.h"
#include "tests/forms/dialog_probe.h"

namespace nox::forms {
namespace {

// The average colour of a picture's painted (non-transparent) pixels.
QColor PaintedAverage(const QImage& picture) {
  const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
  long red = 0, green = 0, blue = 0, count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor color = image.pixelColor(x, y);
      if (color.alpha() < 128) continue;
      red += color.red();
      green += color.green();
      blue += color.blue();
      ++count;
    }
  }
  if (count == 0) return QColor();
  return QColor(static_cast<int>(red / count), static_cast<int>(green / count),
                static_cast<int>(blue / count));
}

TEST(BeeperPicture, EachStatusHasItsOwnPictureInItsColour) {
  using Check = std::function<bool(const QColor&)>;
  const Check green = [](const QColor& c) {
    return c.green() > 2 * c.red() && c.green() > 2 * c.blue();
  };
  const Check red = [](const QColor& c) {
    return c.red() > 2 * c.green() && c.red() > 2 * c.blue();
  };
  const Check blue = [](const QColor& c) {
    return c.blue() > 2 * c.red() && c.blue() > 2 * c.green();
  };
  const Check yellow = [](const QColor& c) {
    return c.red() > 2 * c.blue() && c.green() > 2 * c.blue();
  };
  const Check any = [](const QColor& c) { return c.isValid(); };
  const std::pair<TBeepStatus, Check> cases[] = {
      {TBeepStatus::bsOK, green},        {TBeepStatus::bsSTOP, red},
      {TBeepStatus::bsKREST, red},       {TBeepStatus::bsVOSKLZNAK, blue},
      {TBeepStatus::bsVOPRZNAK, yellow}, {TBeepStatus::bsGLASCLOCK1, any},
      {TBeepStatus::bsGLASCLOCK2, any},  {TBeepStatus::bsGLASCLOCK3, any},
  };
  for (const auto& [status, check] : cases) {
    const QImage& picture = BeeperPicture(status);
    EXPECT_EQ(picture.size(), QSize(24, 24));
    EXPECT_TRUE(check(PaintedAverage(picture))) << static_cast<int>(status);
    for (const auto& [other, unused] : cases) {
      if (other != status) {
        EXPECT_NE(picture, BeeperPicture(other));
      }
    }
  }
  EXPECT_TRUE(BeeperPicture(TBeepStatus::bsUSERDEFBMP).isNull());
}

TEST(NoxBeeper, OperationsSetTheStatusAndShowItsPictureAtOnce) {
  struct Step {
    std::function<void(NoxBeeper&)> operation;
    TBeepStatus status;
  };
  const Step steps[] = {
      {&NoxBeeper::StepBusy, TBeepStatus::bsGLASCLOCK1},
      {&NoxBeeper::StepBusy, TBeepStatus::bsGLASCLOCK2},
      {&NoxBeeper::StepBusy, TBeepStatus::bsGLASCLOCK3},
      {&NoxBeeper::StepBusy, TBeepStatus::bsGLASCLOCK1},
      {&NoxBeeper::ShowError, TBeepStatus::bsKREST},
      {&NoxBeeper::StepBusy, TBeepStatus::bsGLASCLOCK1},
      {&NoxBeeper::ShowReady, TBeepStatus::bsOK},
      {[](NoxBeeper& b) { b.SetStatus(TBeepStatus::bsVOPRZNAK); }, TBeepStatus::bsVOPRZNAK},
      {&NoxBeeper::FlashError, TBeepStatus::bsOK},
  };
  NoxBeeper beeper;
  EXPECT_EQ(beeper.size(), QSize(34, 34));
  EXPECT_EQ(beeper.BeepLen(), "20");
  EXPECT_EQ(beeper.Status(), TBeepStatus::bsOK);
  EXPECT_EQ(beeper.ShownPicture(), BeeperPicture(TBeepStatus::bsOK));
  int index = 0;
  for (const Step& step : steps) {
    step.operation(beeper);
    EXPECT_EQ(beeper.Status(), step.status) << "step " << index;
    EXPECT_EQ(beeper.ShownPicture(), BeeperPicture(step.status)) << "step " << index;
    ++index;
  }
}

TEST(NoxBeeper, UserBitmapIsShownOrItsAbsenceReportedOnceLoaded) {
  QTemporaryDir dir;
  const QString present = dir.filePath("logo.png");
  QImage logo(24, 24, QImage::Format_ARGB32);
  logo.fill(QColor(10, 20, 30));
  ASSERT_TRUE(logo.save(present));

  testing::DialogAnswerer answerer;
  NoxBeeper beeper;
  beeper.setObjectName("NoxBeeper1");
  beeper.SetUserBitmap(present);
  beeper.Loaded();
  EXPECT_TRUE(answerer.Shown().empty());
  beeper.SetStatus(TBeepStatus::bsUSERDEFBMP);
  EXPECT_EQ(beeper.ShownPicture().convertToFormat(QImage::Format_ARGB32), logo);

  beeper.SetUserBitmap(dir.filePath("missing.bmp"));
  beeper.Loaded();
  ASSERT_EQ(answerer.Shown().size(), 1u);
  EXPECT_EQ(answerer.Shown()[0].message, "UserBitmap not found");
  EXPECT_EQ(answerer.Shown()[0].caption, "NoxBeeper1");
  EXPECT_EQ(answerer.Shown()[0].buttonNames, QStringList{"OK"});
}

// Paints a TNoxFon holding a 10×6 red picture onto a white canvas.
QImage PaintFon(TNoxFon& fon, QSize canvasSize) {
  QPixmap picture(10, 6);
  picture.fill(Qt::red);
  fon.SetPicture(picture);
  QImage canvas(canvasSize, QImage::Format_RGB32);
  canvas.fill(Qt::white);
  QPainter painter(&canvas);
  fon.PaintOn(painter);
  return canvas;
}

QRect RedArea(const QImage& image) {
  QRect area;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      if (image.pixelColor(x, y) == Qt::red) area |= QRect(x, y, 1, 1);
    }
  }
  return area;
}

TEST(TNoxFon, CoverAllTilesTheWholeCanvasInEveryOrder) {
  for (TPaintStyle style :
       {TPaintStyle::psFromTop, TPaintStyle::psFromTopLeft, TPaintStyle::psFromBottomRight}) {
    TNoxFon fon;
    fon.SetPaintStyle(style);
    const QImage canvas = PaintFon(fon, QSize(97, 43));
    EXPECT_EQ(canvas.convertToFormat(QImage::Format_RGB32), [] {
      QImage red(97, 43, QImage::Format_RGB32);
      red.fill(Qt::red);
      return red;
    }()) << static_cast<int>(style);
  }
  TNoxFon disabled;
  disabled.setEnabled(false);
  EXPECT_TRUE(RedArea(PaintFon(disabled, QSize(30, 30))).isNull());
}

TEST(TNoxFon, ShowAtPosPutsThePictureAtItsCorner) {
  const std::pair<TPaintPosStyle, QRect> cases[] = {
      {TPaintPosStyle::psCornerTL, QRect(3, 4, 10, 6)},
      {TPaintPosStyle::psCornerTR, QRect(100 - 10 - 3, 4, 10, 6)},
      {TPaintPosStyle::psCornerBL, QRect(3, 50 - 6 - 4, 10, 6)},
      {TPaintPosStyle::psCornerBR, QRect(100 - 10 - 3, 50 - 6 - 4, 10, 6)},
  };
  for (const auto& [corner, expected] : cases) {
    TNoxFon fon;
    fon.SetFonStyle(TFonStyle::fsShowAtPos);
    fon.SetPaintPosStyle(corner);
    fon.SetIntervalHoriz(3);
    fon.SetIntervalVert(4);
    EXPECT_EQ(RedArea(PaintFon(fon, QSize(100, 50))), expected) << static_cast<int>(corner);

    // Within a rectangle: the same corner, offset by the rectangle.
    QImage canvas(100, 50, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    QPainter painter(&canvas);
    fon.DrawInRect(painter, QRect(20, 10, 60, 30));
    painter.end();
    const QRect inRect = corner == TPaintPosStyle::psCornerTL   ? QRect(23, 14, 10, 6)
                         : corner == TPaintPosStyle::psCornerTR ? QRect(20 + 60 - 13, 14, 10, 6)
                         : corner == TPaintPosStyle::psCornerBL ? QRect(23, 10 + 30 - 10, 10, 6)
                                                                : QRect(67, 30, 10, 6);
    EXPECT_EQ(RedArea(canvas), inRect) << static_cast<int>(corner);
  }
}

TEST(TNoxLabel, StylesDrawTheirShadowsBesideTheText) {
  struct Case {
    TLabelStyle style;
    bool shadowColourShown;
  };
  const Case cases[] = {
      {TLabelStyle::ls_None, false},
      {TLabelStyle::lsShadow, true},
      {TLabelStyle::lsRaised, false},
  };
  for (const Case& c : cases) {
    TNoxLabel label("WWW");
    label.resize(60, 30);
    label.SetShadowColor(QColor(0, 200, 0));
    label.SetLabelStyle(c.style);
    QImage image(label.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    label.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    bool green = false;
    for (int y = 0; y < image.height() && !green; ++y) {
      for (int x = 0; x < image.width(); ++x) {
        const QColor color = image.pixelColor(x, y);
        if (color.green() > 150 && color.red() < 60 && color.blue() < 60) green = true;
      }
    }
    EXPECT_EQ(green, c.shadowColourShown) << static_cast<int>(c.style);
  }
  TNoxLabel defaults;
  EXPECT_EQ(defaults.ShadowInterval(), 2);
  EXPECT_EQ(defaults.LoadAs(), TLoadAs::AsLabel);
  EXPECT_EQ(defaults.LabelStyle(), TLabelStyle::ls_None);
}

}  // namespace
}  // namespace nox::forms
