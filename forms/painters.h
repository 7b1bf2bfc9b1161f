#pragma once
// Two painter controls: TNoxLabel, a label with a language class and a raised, lowered or shadowed
// text, and TNoxFon, a hidden picture that paints a background or a logo onto another surface.

#include <QColor>
#include <QLabel>
#include <QPixmap>
#include <QRect>
#include <QWidget>

class QPainter;

namespace nox::forms {

// How translation treats a label's text (interface, edit or system language).
enum class TLoadAs { AsLabel, AsEdit, AsSystem };
enum class TLabelStyle { ls_None, lsRaised, lsLowered, lsShadow };

class TNoxLabel : public QLabel {
  Q_OBJECT

 public:
  explicit TNoxLabel(QWidget* parent = nullptr);
  explicit TNoxLabel(const QString& text, QWidget* parent = nullptr);

  TLoadAs LoadAs() const { return loadAs_; }
  void SetLoadAs(TLoadAs loadAs) { loadAs_ = loadAs; }
  TLabelStyle LabelStyle() const { return labelStyle_; }
  void SetLabelStyle(TLabelStyle style);
  QColor ShadowColor() const { return shadowColor_; }
  void SetShadowColor(const QColor& color);
  int ShadowInterval() const { return shadowInterval_; }
  void SetShadowInterval(int interval);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  TLoadAs loadAs_ = TLoadAs::AsLabel;
  TLabelStyle labelStyle_ = TLabelStyle::ls_None;
  QColor shadowColor_;
  int shadowInterval_ = 2;
};

enum class TFonStyle { fsCoverAll, fsShowAtPos };
enum class TPaintStyle { psFromBottomRight, psFromTopLeft, psFromTop };
enum class TPaintPosStyle { psCornerTL, psCornerTR, psCornerBL, psCornerBR };

class TNoxFon : public QWidget {
  Q_OBJECT

 public:
  explicit TNoxFon(QWidget* parent = nullptr);  // 25×25 and hidden

  const QPixmap& Picture() const { return picture_; }
  void SetPicture(const QPixmap& picture) { picture_ = picture; }
  TFonStyle FonStyle() const { return fonStyle_; }
  void SetFonStyle(TFonStyle style) { fonStyle_ = style; }
  TPaintStyle PaintStyle() const { return paintStyle_; }
  void SetPaintStyle(TPaintStyle style) { paintStyle_ = style; }
  TPaintPosStyle PaintPosStyle() const { return paintPosStyle_; }
  void SetPaintPosStyle(TPaintPosStyle style) { paintPosStyle_ = style; }
  int IntervalHoriz() const { return intervalHoriz_; }
  void SetIntervalHoriz(int interval) { intervalHoriz_ = interval; }
  int IntervalVert() const { return intervalVert_; }
  void SetIntervalVert(int interval) { intervalVert_ = interval; }
  QString LdFromFile() const { return ldFromFile_; }  // kept only
  void SetLdFromFile(const QString& fileName) { ldFromFile_ = fileName; }

  // Paints onto the painter within its clip rectangle (clip: the painter's clip, or the whole
  // device without one): tiles for fsCoverAll, the picture at its corner for fsShowAtPos. Nothing
  // when the control is disabled or holds no picture.
  void PaintOn(QPainter& painter) const;
  // Draws the picture at its corner position within the rectangle (the logo of a window).
  void DrawInRect(QPainter& painter, const QRect& rect) const;

 private:
  QPoint CornerPosition(const QRect& area) const;
  void Tile(QPainter& painter, const QRect& clip) const;

  QPixmap picture_;
  TFonStyle fonStyle_ = TFonStyle::fsCoverAll;
  TPaintStyle paintStyle_ = TPaintStyle::psFromBottomRight;
  TPaintPosStyle paintPosStyle_ = TPaintPosStyle::psCornerTL;
  int intervalHoriz_ = 0;
  int intervalVert_ = 0;
  QString ldFromFile_;
};

}  // namespace nox::forms
