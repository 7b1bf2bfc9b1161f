#include "desktop/form_about.h"

#include <QFont>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <initializer_list>

#include "forms/controls.h"

namespace nox::forms {
namespace {

void CenterOnScreen(QWidget& window) {
  const QScreen* screen = window.screen();
  if (screen == nullptr) return;
  window.adjustSize();
  window.move(screen->availableGeometry().center() - window.rect().center());
}

const QString kProductName = QStringLiteral("NOX Base Convertation");
constexpr int kIconShown = 32;

// A small table: a header band over a grid of cells.
void DrawTable(QPainter& painter, const QRectF& box, const QColor& header) {
  painter.setPen(QPen(QColor(0x30, 0x30, 0x30), 1.5));
  painter.setBrush(Qt::white);
  painter.drawRect(box);
  const qreal band = box.height() / 4;
  painter.fillRect(QRectF(box.left(), box.top(), box.width(), band), header);
  painter.setPen(QPen(QColor(0x60, 0x60, 0x60), 1));
  for (int row = 1; row < 4; ++row) {
    const qreal y = box.top() + band * row;
    painter.drawLine(QPointF(box.left(), y), QPointF(box.right(), y));
  }
  const qreal x = box.left() + box.width() / 2;
  painter.drawLine(QPointF(x, box.top()), QPointF(x, box.bottom()));
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(QColor(0x30, 0x30, 0x30), 1.5));
  painter.drawRect(box);
}

QPixmap DrawIcon(int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.scale(size / 64.0, size / 64.0);
  // The source table at the top left, the target at the bottom right, an arrow between them.
  DrawTable(painter, QRectF(3, 3, 30, 26), QColor(0x20, 0x50, 0xA0));
  DrawTable(painter, QRectF(31, 35, 30, 26), QColor(0x20, 0x80, 0x30));
  QPainterPath arrow;
  arrow.moveTo(10, 33);
  arrow.quadTo(10, 50, 22, 50);
  painter.setPen(QPen(QColor(0xC0, 0x20, 0x20), 4, Qt::SolidLine, Qt::RoundCap));
  painter.setBrush(Qt::NoBrush);
  painter.drawPath(arrow);
  painter.setPen(Qt::NoPen);
  painter.setBrush(QColor(0xC0, 0x20, 0x20));
  painter.drawPolygon(QPolygonF({QPointF(21, 42), QPointF(30, 50), QPointF(21, 58)}));
  return pixmap;
}

QLabel* MakeIconLabel(QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(QStringLiteral("ProgramIcon"));
  label->setPixmap(ProgramIcon().pixmap(kIconShown, kIconShown));
  return label;
}

// The icon beside the texts, one under the other.
QHBoxLayout* IconAndTexts(QWidget* parent, std::initializer_list<QLabel*> texts) {
  auto* column = new QVBoxLayout;
  for (QLabel* label : texts)
    column->addWidget(label);
  auto* row = new QHBoxLayout;
  row->addWidget(MakeIconLabel(parent), 0, Qt::AlignTop);
  row->addLayout(column, 1);
  return row;
}

}  // namespace

QIcon ProgramIcon() {
  QIcon icon;
  for (int size : {16, 32, 48, 64})
    icon.addPixmap(DrawIcon(size));
  return icon;
}

TFormAbout::TFormAbout(QWidget* parent) : TNoxForm(parent) {
  setObjectName(QStringLiteral("FormAbout"));
  setWindowTitle(QStringLiteral("About"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

  QLabel* comment = MakeLabel(
      this, "Comments",
      QStringLiteral("Works with two bases and converts fields using special functions."));
  comment->setWordWrap(true);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("OKButton"));
  ok->setDefault(true);
  SetCancelButton(ok);
  Describe(*ok, QString(), QStringLiteral("Closes the About window"));
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(ok);
  buttons->addStretch();

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(
      IconAndTexts(this, {MakeLabel(this, "ProductName", kProductName, true),
                          MakeLabel(this, "Version", QStringLiteral("Version 1.1"))}));
  layout->addWidget(comment);
  layout->addLayout(buttons);
  resize(320, 170);

  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

TFormPres::TFormPres(QWidget* parent) : TNoxForm(parent) {
  setObjectName(QStringLiteral("FormPres"));
  setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
  // Shown while the program starts: it neither takes the focus nor answers the mouse.
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);

  auto* panel = new QFrame(this);
  panel->setObjectName(QStringLiteral("Panel1"));
  panel->setFrameShape(QFrame::Panel);
  panel->setFrameShadow(QFrame::Raised);
  panel->setLineWidth(2);
  auto* inside = new QVBoxLayout(panel);
  inside->addLayout(
      IconAndTexts(panel, {MakeLabel(panel, "ProductName", kProductName, true),
                           MakeLabel(panel, "Version", QStringLiteral("Version 1.2"))}));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(panel);
  resize(300, 110);
}

void TFormAbout::FormShow() {
  TNoxForm::FormShow();
  CenterOnScreen(*this);
}

void TFormPres::FormShow() {
  TNoxForm::FormShow();
  CenterOnScreen(*this);
}

}  // namespace nox::forms
