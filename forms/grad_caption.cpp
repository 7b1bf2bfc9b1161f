#include "forms/grad_caption.h"

#include <QPainter>

namespace nox::forms {

TGradCaption::TGradCaption(QWidget* window) : QWidget(window), caption_(window->windowTitle()) {
  setObjectName(QStringLiteral("GradCaption"));
  QFont bold(QStringLiteral("Arial"));
  bold.setBold(true);
  setFont(bold);
  hide();
  connect(window, &QWidget::windowTitleChanged, this, &TGradCaption::SetCaption);
}

void TGradCaption::SetCaption(const QString& caption) {
  caption_ = caption;
  update();
}

QColor TGradCaption::StepColor(int step) const {
  const QColor end = palette().color(QPalette::Window);
  const auto mix = [step](int from, int to) { return from + (to - from) * step / (kSteps - 1); };
  return QColor(mix(startColor_.red(), end.red()), mix(startColor_.green(), end.green()),
                mix(startColor_.blue(), end.blue()));
}

void TGradCaption::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  for (int step = 0; step < kSteps; ++step) {
    const int left = width() * step / kSteps;
    const int right = width() * (step + 1) / kSteps;
    painter.fillRect(left, 0, right - left, height(), StepColor(step));
  }
  painter.setPen(palette().color(QPalette::WindowText));
  painter.drawText(rect().adjusted(4, 0, -4, 0), Qt::AlignVCenter | Qt::AlignLeft, caption_);
}

}  // namespace nox::forms
