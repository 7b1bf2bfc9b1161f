#pragma once
// TGradCaption: the caption band of a window, a gradient from green in 128 steps with the window
// caption in bold Arial. The window system draws the title bar itself, so the band stays hidden
// unless a window places it; it keeps the caption text and its character set all the same.

#include <QColor>
#include <QString>
#include <QWidget>

namespace nox::forms {

class TGradCaption : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kSteps = 128;

  explicit TGradCaption(QWidget* window);

  QString Caption() const { return caption_; }
  void SetCaption(const QString& caption);
  QColor StartColor() const { return startColor_; }
  // The colour of gradient step 0 <= step < kSteps, from the start colour to the window colour.
  QColor StepColor(int step) const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QString caption_;
  QColor startColor_ = Qt::green;
};

}  // namespace nox::forms
