// TranslateFormula: substitutions on the whole text, one character scan that cuts tokens, the
// classification of names and numbers, and the merging of neighbouring comparison characters.

#include "formula/translator.h"

#include <algorithm>
#include <array>
#include <utility>

#include "formula/formula.h"
#include "formula/function_library.h"

namespace nox::formula {
namespace {

constexpr std::string_view kOperatorChars = "()+,-*/";
constexpr std::string_view kComparisonChars = ">!<=#&^";
constexpr std::string_view kNumberStarters = "0123456789.@";

// The spellings of the logical words that become "&" and "^", in the order they are replaced.
constexpr std::array<std::pair<std::string_view, std::string_view>, 18> kLogicalSpellings = {{
    {" and ", "&"},
    {" or ", "^"},
    {" AND ", "&"},
    {" OR ", "^"},
    {" And ", "&"},
    {" Or ", "^"},
    {".and.", "&"},
    {".or.", "^"},
    {".AND.", "&"},
    {".OR.", "^"},
    {".And.", "&"},
    {".Or.", "^"},
    {")and(", ")&("},
    {")or(", ")^("},
    {")AND(", ")&("},
    {")OR(", ")^("},
    {")And(", ")&("},
    {")Or(", ")^("},
}};

char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string UpperCase(std::string_view text) {
  std::string upper(text);
  std::transform(upper.begin(), upper.end(), upper.begin(), UpperAscii);
  return upper;
}

bool Contains(std::string_view set, char c) {
  return set.find(c) != std::string_view::npos;
}

bool BeginsWithNumberStarter(std::string_view text) {
  return !text.empty() && Contains(kNumberStarters, text.front());
}

// Replaces every non-overlapping occurrence, from left to right.
void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  std::size_t at = text.find(from);
  if (at == std::string::npos) return;
  std::string result;
  result.reserve(text.size());
  std::size_t done = 0;
  for (; at != std::string::npos; at = text.find(from, done)) {
    result.append(text, done, at - done).append(to);
    done = at + from.size();
  }
  result.append(text, done);
  text = std::move(result);
}

std::string Substitute(std::string_view formula) {
  std::string text(formula);
  const std::string upper = UpperCase(text);
  if (upper.find("AND") != std::string::npos || upper.find("OR") != std::string::npos) {
    for (const auto& [from, to] : kLogicalSpellings)
      ReplaceAll(text, from, to);
  }
  ReplaceAll(text, "'", "\"");
  // A minus right after "(" or at the very start belongs to the number (or name) that follows.
  ReplaceAll(text, "(-", "(@");
  if (!text.empty() && text.front() == '-') text.front() = '@';
  return text;
}

Tag OperatorTag(char c) {
  switch (c) {
    case '(':
      return Tag::LParen;
    case ')':
      return Tag::RParen;
    case '+':
      return Tag::Plus;
    case '-':
      return Tag::Minus;
    case '*':
      return Tag::Star;
    case '/':
      return Tag::Slash;
    default:
      return Tag::Comma;
  }
}

// Cuts the text into tokens with their first tags. The current token is always the last one.
class Scanner {
 public:
  Scanner(TokenList& tokens, TypeList& types) : tokens_(tokens), types_(types) { NewToken(); }

  void Scan(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
      const char c = text[i];
      const Tag current = types_.back();
      const bool inText = current == Tag::Str || current == Tag::ParStr;
      if (c == '[' && !inText) {
        types_.back() = Tag::Arr;
      } else if (c == ']' && current == Tag::Arr) {
        NewToken();
      } else if (current == Tag::Arr) {
        tokens_.back() += c;
      } else if (c == '"') {
        if (inText) {
          NewToken();
        } else {
          types_.back() = AfterComma() ? Tag::ParStr : Tag::Str;
        }
      } else if (inText) {
        tokens_.back() += c;
      } else if (Contains(kOperatorChars, c)) {
        const bool exponentSign = i > 0 && (text[i - 1] == 'E' || text[i - 1] == 'e') &&
                                  BeginsWithNumberStarter(tokens_.back());
        if (exponentSign) {
          tokens_.back() += c;
        } else {
          PutSingle(c, OperatorTag(c));
        }
      } else if (Contains(kComparisonChars, c)) {
        PutSingle(c, Tag::Znak);
      } else {
        if (c != ' ') tokens_.back() += c;
        types_.back() = AfterComma() ? Tag::Par : Tag::Pole;
      }
    }
  }

 private:
  void NewToken() {
    tokens_.emplace_back();
    types_.push_back(Tag::Empty);
  }

  bool AfterComma() const { return types_.size() >= 2 && types_[types_.size() - 2] == Tag::Comma; }

  // A one-character token: it takes the current token's place when that one is still empty.
  void PutSingle(char c, Tag tag) {
    if (tokens_.back().empty()) {
      tokens_.back().assign(1, c);
      types_.back() = tag;
    } else {
      tokens_.emplace_back(1, c);
      types_.push_back(tag);
    }
    NewToken();
  }

  TokenList& tokens_;
  TypeList& types_;
};

bool IsBuiltinName(std::string_view upper) {
  const auto names = BuiltinFunctionNames();
  return std::find(names.begin(), names.end(), upper) != names.end();
}

bool IsExtraFunctionName(std::string_view upper) {
  for (const std::string& entry : ExtraFunctionList()) {
    const std::size_t equals = entry.find('=');
    if (equals != std::string::npos &&
        UpperCase(std::string_view(entry).substr(0, equals)) == upper) {
      return true;
    }
  }
  return false;
}

void ClassifyFunctionNames(const TokenList& tokens, TypeList& types) {
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if (types[i] == Tag::Pole || types[i] == Tag::Par) {
      if (IsBuiltinName(UpperCase(tokens[i]))) types[i] = Tag::Func;
    }
  }
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if (types[i] == Tag::Pole || types[i] == Tag::Par) {
      if (IsExtraFunctionName(UpperCase(tokens[i]))) types[i] = Tag::FuncX;
    }
  }
}

void ClassifyNumbers(TokenList& tokens, TypeList& types) {
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    std::string& text = tokens[i];
    Tag& tag = types[i];
    if (tag == Tag::Par && !BeginsWithNumberStarter(text)) tag = Tag::Pole;
    if (tag == Tag::Pole && BeginsWithNumberStarter(text)) tag = Tag::Par;
    if (tag == Tag::Par && text.front() == '@') {
      text.front() = '-';
      if (text == "-") tag = Tag::Minus;
    }
    if (tag == Tag::Par &&
        (text.find('.') != std::string::npos || text.find_first_of("Ee") != std::string::npos)) {
      tag = Tag::ParR;
    }
  }
}

void MergeComparisons(TokenList& tokens, TypeList& types) {
  for (std::size_t i = 0; i + 1 < tokens.size();) {
    if (types[i] == Tag::Znak && types[i + 1] == Tag::Znak) {
      tokens[i] += tokens[i + 1];
      tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(i) + 1);
      types.erase(types.begin() + static_cast<std::ptrdiff_t>(i) + 1);
    } else {
      ++i;
    }
  }
}

}  // namespace

std::vector<std::string>& ExtraFunctionList() {
  static std::vector<std::string> entries;
  return entries;
}

std::string TokenTagPairs(const TokenList& tokens, const TypeList& types) {
  std::string text;
  for (std::size_t i = 0; i < tokens.size() && i < types.size(); ++i) {
    if (i > 0) text += ' ';
    text.append(tokens[i]).append(":").append(TagText(types[i]));
  }
  return text;
}

void TranslateFormula(std::string_view formula, TokenList& tokens, TypeList& types) {
  tokens.clear();
  types.clear();
  const std::string text = Substitute(formula);
  Scanner(tokens, types).Scan(text);
  ClassifyFunctionNames(tokens, types);
  ClassifyNumbers(tokens, types);
  MergeComparisons(tokens, types);
}

}  // namespace nox::formula
