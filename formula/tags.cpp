#include "formula/tags.h"

#include <array>

#include "tables/value_convert.h"

namespace nox::formula {
namespace {

// Indexed by the enum's value; the order follows the enum.
constexpr std::array<std::string_view, 20> kTagTexts = {
    "",  "Pole", "Par", "ParR", "Str", "ParStr", "Arr", "Func", "FuncX", "Znak",
    "(", ")",    "+",   "-",    "*",   "/",      ",",   "Bool", "Date",  "Nil",
};
static_assert(kTagTexts.size() == static_cast<std::size_t>(Tag::Nil) + 1);

}  // namespace

bool IsTrue(std::string_view text) {
  return text == "T" || text == tables::kTrueText;
}

std::string_view TagText(Tag tag) {
  return kTagTexts[static_cast<std::size_t>(tag)];
}

std::optional<Tag> TagFromText(std::string_view text) {
  for (std::size_t i = 0; i < kTagTexts.size(); ++i) {
    if (kTagTexts[i] == text) return static_cast<Tag>(i);
  }
  return std::nullopt;
}

}  // namespace nox::formula
