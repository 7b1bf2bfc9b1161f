#include "forms/text.h"

#include <QApplication>
#include <QLineEdit>
#include <QList>
#include <QValidator>
#include <atomic>

#include "forms/fonts.h"

namespace nox::forms {
namespace {

std::atomic<int> refusedInputs{0};

class CodePageValidator : public QValidator {
 public:
  CodePageValidator(std::optional<host::CodePage> page, QLineEdit* edit)
      : QValidator(edit), page_(page), edit_(edit) {}

  State validate(QString& input, int& /*position*/) const override {
    if (ToDataText(input, page_.value_or(ControlCodePage(*edit_)))) return Acceptable;
    ++refusedInputs;
    QApplication::beep();
    return Invalid;
  }

 private:
  std::optional<host::CodePage> page_;
  QLineEdit* edit_;
};

}  // namespace

QString FromDataText(std::string_view bytes, host::CodePage page) {
  const std::u32string text = host::DecodeText(page, bytes);
  return QString::fromUcs4(text.data(), static_cast<qsizetype>(text.size()));
}

QString WithLineBreaks(QString text) {
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

std::optional<std::string> ToDataText(const QString& text, host::CodePage page) {
  const QList<uint> codes = text.toUcs4();
  std::u32string points;
  points.reserve(static_cast<std::size_t>(codes.size()));
  for (uint code : codes)
    points.push_back(static_cast<char32_t>(code));
  return host::EncodeText(page, points);
}

void GuardCodePage(QLineEdit& edit, std::optional<host::CodePage> page) {
  edit.setValidator(new CodePageValidator(page, &edit));
}

int RefusedInputs() {
  return refusedInputs.load();
}

}  // namespace nox::forms
