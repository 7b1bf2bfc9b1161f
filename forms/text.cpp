#include "forms/text.h"

#include <QList>

namespace nox::forms {

QString FromDataText(std::string_view bytes, host::CodePage page) {
  const std::u32string text = host::DecodeText(page, bytes);
  return QString::fromUcs4(text.data(), static_cast<qsizetype>(text.size()));
}

std::optional<std::string> ToDataText(const QString& text, host::CodePage page) {
  const QList<uint> codes = text.toUcs4();
  std::u32string points;
  points.reserve(static_cast<std::size_t>(codes.size()));
  for (uint code : codes)
    points.push_back(static_cast<char32_t>(code));
  return host::EncodeText(page, points);
}

}  // namespace nox::forms
