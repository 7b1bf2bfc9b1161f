#include "controls/lookup_parts.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QToolButton>

#include "forms/text.h"
#include "tables/value_convert.h"

namespace nox::controls {
namespace {

// The "FIND" picture: a magnifier.
QPixmap FindPicture() {
  QPixmap picture(16, 16);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(Qt::black, 2));
  painter.drawEllipse(QRectF(2, 2, 8, 8));
  painter.setPen(QPen(Qt::black, 3, Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(QPointF(10, 10), QPointF(14, 14));
  return picture;
}

}  // namespace

std::vector<std::string> SplitFieldList(std::string_view names) {
  std::vector<std::string> fields;
  while (!names.empty()) {
    const std::size_t semicolon = names.find(';');
    const std::string_view name = tables::TrimBlanks(names.substr(0, semicolon));
    if (!name.empty()) fields.emplace_back(name);
    if (semicolon == std::string_view::npos) break;
    names.remove_prefix(semicolon + 1);
  }
  return fields;
}

QStringList LookupCaptions(const QString& lookDispLabel, const std::vector<std::string>& fields,
                           const QFont& titleFont) {
  const QStringList labels = lookDispLabel.split(QLatin1Char(';'));
  const int blankWidth = std::max(QFontMetrics(titleFont).horizontalAdvance(QLatin1Char(' ')), 1);
  const int blanks = std::min(19 / blankWidth + 1, 11);
  QStringList captions;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const qsizetype column = static_cast<qsizetype>(i);
    const QString label = column < labels.size() && !labels[column].isEmpty()
                              ? labels[column]
                              : forms::FromDataText(fields[i]);
    captions << QString(blanks, QLatin1Char(' ')) + label;
  }
  return captions;
}

std::string IndexBeginningWith(tables::TTable& table, std::string_view field,
                               std::string_view masterField) {
  table.IndexDefsUpdate();
  for (const tables::IndexDef& index : table.IndexDefs()) {
    const std::vector<std::string> fields = SplitFieldList(index.fields);
    std::size_t at = 0;
    if (!masterField.empty()) {
      if (fields.empty() || !tables::EqualNoCase(fields[0], masterField)) continue;
      at = 1;
    }
    if (fields.size() > at && tables::EqualNoCase(fields[at], field)) return index.fields;
  }
  return {};
}

QFont DefaultLookFont() {
  return QFont(QStringLiteral("Arial"));
}

TNoxSearchPanel::TNoxSearchPanel(QWidget* parent)
    : QFrame(parent),
      picture_(new QLabel(this)),
      findButton_(new QToolButton(this)),
      text_(new QLabel(this)) {
  setObjectName(QStringLiteral("SearchPanel"));
  setFrameShape(QFrame::Box);
  setMinimumHeight(25);
  picture_->setObjectName(QStringLiteral("FIND"));
  picture_->setPixmap(FindPicture());
  findButton_->setObjectName(QStringLiteral("FindButton"));
  findButton_->setIcon(QIcon(FindPicture()));
  findButton_->setFocusPolicy(Qt::NoFocus);
  text_->setObjectName(QStringLiteral("SearchLabel"));
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(3, 1, 3, 1);
  row->addWidget(picture_);
  row->addWidget(findButton_);
  row->addWidget(text_, 1);
  hide();
}

void TNoxSearchPanel::SetSearchText(const QString& text) {
  text_->setText(text);
  setVisible(!text.isEmpty());
}

QString TNoxSearchPanel::SearchText() const {
  return text_->text();
}

}  // namespace nox::controls
