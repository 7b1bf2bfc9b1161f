#include "tables/filter.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>

#include "host/date_time.h"
#include "host/host_formats.h"
#include "host/messages.h"

namespace nox::tables {
namespace detail {
namespace {

// The static type of every sub-expression, fixed while translating. Binary fields (blobs, OLE,
// bytes) can only be tested for null.
enum class Type : std::uint8_t { Text, Number, Date, Boolean, Binary };

// The value of a sub-expression for one record. Which members count follows from the node's
// static type: text for Text, integer or number for Number, number for Date, flag for Boolean.
// A Boolean that is null is "unknown".
struct Scalar {
  bool null = true;
  bool isInteger = false;
  bool flag = false;
  std::int64_t integer = 0;
  double number = 0;
  std::string_view text;
};

Scalar NullScalar() {
  return {};
}
Scalar IntegerScalar(std::int64_t value) {
  Scalar s;
  s.null = false;
  s.isInteger = true;
  s.integer = value;
  return s;
}
Scalar RealScalar(double value) {
  Scalar s;
  s.null = false;
  s.number = value;
  return s;
}
Scalar TextScalar(std::string_view text) {
  Scalar s;
  s.null = false;
  s.text = text;
  return s;
}
Scalar BoolScalar(bool flag) {
  Scalar s;
  s.null = false;
  s.flag = flag;
  return s;
}

long double AsLongDouble(const Scalar& s) {
  return s.isInteger ? static_cast<long double>(s.integer) : static_cast<long double>(s.number);
}

std::string_view TrimRight(std::string_view text) {
  while (!text.empty() && text.back() == ' ')
    text.remove_suffix(1);
  return text;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && text.front() == ' ')
    text.remove_prefix(1);
  return TrimRight(text);
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return AsciiUpper(x) == AsciiUpper(y);
         });
}

struct EvalContext {
  const Record& record;
  bool failed = false;  // set by a division by zero: the record fails the filter
};

}  // namespace

class FilterNode {
 public:
  FilterNode(Type type, std::size_t position, int height = 1)
      : type_(type), position_(position), height_(height) {}
  virtual ~FilterNode() = default;
  FilterNode(const FilterNode&) = delete;
  FilterNode& operator=(const FilterNode&) = delete;

  virtual Scalar Eval(EvalContext& context) const = 0;

  Type type() const { return type_; }
  std::size_t position() const { return position_; }  // where its text begins
  int height() const { return height_; }

 private:
  Type type_;
  std::size_t position_;
  int height_;
};

namespace {

using NodePtr = std::unique_ptr<FilterNode>;

int HeightAbove(const NodePtr& a, const NodePtr& b = nullptr) {
  return 1 + std::max(a->height(), b ? b->height() : 0);
}

// ---------------------------------------------------------------------------------------------
// Leaves

class ConstantNode final : public FilterNode {
 public:
  ConstantNode(Type type, std::size_t position, Scalar value, std::string text = {})
      : FilterNode(type, position), value_(value), text_(std::move(text)) {}
  Scalar Eval(EvalContext&) const override {
    Scalar s = value_;
    if (type() == Type::Text) s.text = text_;
    return s;
  }
  // The text of a literal that stands where another type is expected.
  const std::string& text() const { return text_; }

 private:
  Scalar value_;
  std::string text_;
};

class FieldNode final : public FilterNode {
 public:
  FieldNode(Type type, std::size_t position, std::size_t index)
      : FilterNode(type, position), index_(index) {}
  Scalar Eval(EvalContext& context) const override {
    if (index_ >= context.record.size()) return NullScalar();
    const Value& value = context.record[index_];
    // A value of another kind than the field's type counts as null rather than being guessed at.
    switch (type()) {
      case Type::Text:
        if (value.kind() == Value::Kind::Text) return TextScalar(value.text());
        break;
      case Type::Number:
        if (value.kind() == Value::Kind::Integer) return IntegerScalar(value.integer());
        if (value.kind() == Value::Kind::Float || value.kind() == Value::Kind::Currency) {
          return RealScalar(value.number());
        }
        break;
      case Type::Date:
        if (value.kind() == Value::Kind::Date) return RealScalar(value.number());
        break;
      case Type::Boolean:
        if (value.kind() == Value::Kind::Boolean) return BoolScalar(value.boolean());
        break;
      case Type::Binary:
        if (!value.isNull()) return BoolScalar(true);
        break;
    }
    return NullScalar();
  }

 private:
  std::size_t index_;
};

// ---------------------------------------------------------------------------------------------
// Conditions

enum class CompareOp : std::uint8_t { Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual };
enum class Order : std::uint8_t { Less, Equal, Greater, Unordered };

template <typename T>
Order OrderOf(const T& a, const T& b) {
  if (a < b) return Order::Less;
  if (b < a) return Order::Greater;
  if (a == b) return Order::Equal;
  return Order::Unordered;  // NaN
}

Order CompareScalars(Type type, const Scalar& a, const Scalar& b) {
  switch (type) {
    case Type::Text: {
      const int c = TrimRight(a.text).compare(TrimRight(b.text));  // bytes, unsigned
      return c < 0 ? Order::Less : c > 0 ? Order::Greater : Order::Equal;
    }
    case Type::Number:
      if (a.isInteger && b.isInteger) return OrderOf(a.integer, b.integer);
      return OrderOf(AsLongDouble(a), AsLongDouble(b));
    case Type::Date:
      return OrderOf(a.number, b.number);
    case Type::Boolean:
      return OrderOf(a.flag, b.flag);
    case Type::Binary:
      break;
  }
  return Order::Unordered;
}

class CompareNode final : public FilterNode {
 public:
  CompareNode(CompareOp op, NodePtr left, NodePtr right)
      : FilterNode(Type::Boolean, left->position(), HeightAbove(left, right)),
        op_(op),
        left_(std::move(left)),
        right_(std::move(right)) {}
  Scalar Eval(EvalContext& context) const override {
    const Scalar a = left_->Eval(context);
    if (a.null) return NullScalar();
    const Scalar b = right_->Eval(context);
    if (b.null) return NullScalar();
    const Order order = CompareScalars(left_->type(), a, b);
    if (order == Order::Unordered) return NullScalar();
    switch (op_) {
      case CompareOp::Equal:
        return BoolScalar(order == Order::Equal);
      case CompareOp::NotEqual:
        return BoolScalar(order != Order::Equal);
      case CompareOp::Less:
        return BoolScalar(order == Order::Less);
      case CompareOp::Greater:
        return BoolScalar(order == Order::Greater);
      case CompareOp::LessEqual:
        return BoolScalar(order != Order::Greater);
      case CompareOp::GreaterEqual:
        return BoolScalar(order != Order::Less);
    }
    return NullScalar();
  }

 private:
  CompareOp op_;
  NodePtr left_;
  NodePtr right_;
};

// text = 'ABC*': the text begins with ABC.
class PrefixNode final : public FilterNode {
 public:
  PrefixNode(NodePtr operand, std::string prefix, bool negate)
      : FilterNode(Type::Boolean, operand->position(), HeightAbove(operand)),
        operand_(std::move(operand)),
        prefix_(std::move(prefix)),
        negate_(negate) {}
  Scalar Eval(EvalContext& context) const override {
    const Scalar s = operand_->Eval(context);
    if (s.null) return NullScalar();
    return BoolScalar(s.text.starts_with(prefix_) != negate_);
  }

 private:
  NodePtr operand_;
  std::string prefix_;
  bool negate_;
};

class IsNullNode final : public FilterNode {
 public:
  IsNullNode(NodePtr operand, bool negate)
      : FilterNode(Type::Boolean, operand->position(), HeightAbove(operand)),
        operand_(std::move(operand)),
        negate_(negate) {}
  Scalar Eval(EvalContext& context) const override {
    const Scalar s = operand_->Eval(context);
    // A text of blanks only is as empty as no text: the table formats do not tell them apart.
    const bool empty = s.null || (operand_->type() == Type::Text && TrimRight(s.text).empty());
    return BoolScalar(empty != negate_);
  }

 private:
  NodePtr operand_;
  bool negate_;
};

// AND and OR by three-valued logic; the right side is skipped once the left one decides.
class LogicNode final : public FilterNode {
 public:
  LogicNode(bool isAnd, NodePtr left, NodePtr right)
      : FilterNode(Type::Boolean, left->position(), HeightAbove(left, right)),
        isAnd_(isAnd),
        left_(std::move(left)),
        right_(std::move(right)) {}
  Scalar Eval(EvalContext& context) const override {
    // AND is decided by a false side, OR by a true one.
    const bool decisive = !isAnd_;
    const Scalar a = left_->Eval(context);
    if (!a.null && a.flag == decisive) return a;
    const Scalar b = right_->Eval(context);
    if (!b.null && b.flag == decisive) return b;
    if (a.null || b.null) return NullScalar();
    return BoolScalar(!decisive);
  }

 private:
  bool isAnd_;
  NodePtr left_;
  NodePtr right_;
};

class NotNode final : public FilterNode {
 public:
  NotNode(std::size_t position, NodePtr operand)
      : FilterNode(Type::Boolean, position, HeightAbove(operand)), operand_(std::move(operand)) {}
  Scalar Eval(EvalContext& context) const override {
    const Scalar s = operand_->Eval(context);
    return s.null ? s : BoolScalar(!s.flag);
  }

 private:
  NodePtr operand_;
};

// ---------------------------------------------------------------------------------------------
// Arithmetic

enum class ArithOp : std::uint8_t { Add, Subtract, Multiply, Divide };

Scalar NumberArithmetic(ArithOp op, const Scalar& a, const Scalar& b, EvalContext& context) {
  if (op == ArithOp::Divide) {
    if (b.isInteger ? b.integer == 0 : b.number == 0) {
      context.failed = true;
      return NullScalar();
    }
    return RealScalar(static_cast<double>(AsLongDouble(a) / AsLongDouble(b)));
  }
  if (a.isInteger && b.isInteger) {
    std::int64_t result = 0;
    bool overflow = false;
    switch (op) {
      case ArithOp::Add:
        overflow = __builtin_add_overflow(a.integer, b.integer, &result);
        break;
      case ArithOp::Subtract:
        overflow = __builtin_sub_overflow(a.integer, b.integer, &result);
        break;
      case ArithOp::Multiply:
        overflow = __builtin_mul_overflow(a.integer, b.integer, &result);
        break;
      case ArithOp::Divide:
        break;
    }
    if (!overflow) return IntegerScalar(result);
  }
  const long double x = AsLongDouble(a);
  const long double y = AsLongDouble(b);
  switch (op) {
    case ArithOp::Add:
      return RealScalar(static_cast<double>(x + y));
    case ArithOp::Subtract:
      return RealScalar(static_cast<double>(x - y));
    case ArithOp::Multiply:
      return RealScalar(static_cast<double>(x * y));
    case ArithOp::Divide:
      break;
  }
  return NullScalar();
}

class ArithmeticNode final : public FilterNode {
 public:
  ArithmeticNode(Type type, ArithOp op, NodePtr left, NodePtr right)
      : FilterNode(type, left->position(), HeightAbove(left, right)),
        op_(op),
        left_(std::move(left)),
        right_(std::move(right)) {}
  Scalar Eval(EvalContext& context) const override {
    const Scalar a = left_->Eval(context);
    if (a.null) return a;
    const Scalar b = right_->Eval(context);
    if (b.null) return b;
    const Type leftType = left_->type();
    const Type rightType = right_->type();
    if (type() == Type::Text) {  // concatenation
      buffer_.assign(a.text);
      buffer_.append(b.text);
      return TextScalar(buffer_);
    }
    if (leftType == Type::Date && rightType == Type::Date) {  // days between
      return RealScalar(a.number - b.number);
    }
    if (leftType == Type::Date) {
      const long double days = AsLongDouble(b);
      return RealScalar(
          static_cast<double>(op_ == ArithOp::Add ? a.number + days : a.number - days));
    }
    if (rightType == Type::Date) {
      return RealScalar(static_cast<double>(AsLongDouble(a) + b.number));
    }
    return NumberArithmetic(op_, a, b, context);
  }

 private:
  ArithOp op_;
  NodePtr left_;
  NodePtr right_;
  mutable std::string buffer_;
};

class NegateNode final : public FilterNode {
 public:
  NegateNode(std::size_t position, NodePtr operand)
      : FilterNode(Type::Number, position, HeightAbove(operand)), operand_(std::move(operand)) {}
  Scalar Eval(EvalContext& context) const override {
    const Scalar s = operand_->Eval(context);
    if (s.null) return s;
    if (s.isInteger && s.integer != std::numeric_limits<std::int64_t>::min())
      return IntegerScalar(-s.integer);
    return RealScalar(static_cast<double>(-AsLongDouble(s)));
  }

 private:
  NodePtr operand_;
};

// ---------------------------------------------------------------------------------------------
// Functions

class CaseNode final : public FilterNode {
 public:
  CaseNode(bool upper, NodePtr operand)
      : FilterNode(Type::Text, operand->position(), HeightAbove(operand)),
        upper_(upper),
        operand_(std::move(operand)) {}
  Scalar Eval(EvalContext& context) const override {
    const Scalar s = operand_->Eval(context);
    if (s.null) return s;
    buffer_.resize(s.text.size());
    std::transform(s.text.begin(), s.text.end(), buffer_.begin(), upper_ ? AsciiUpper : AsciiLower);
    return TextScalar(buffer_);
  }

 private:
  bool upper_;
  NodePtr operand_;
  mutable std::string buffer_;
};

class TrimNode final : public FilterNode {
 public:
  explicit TrimNode(NodePtr operand)
      : FilterNode(Type::Text, operand->position(), HeightAbove(operand)),
        operand_(std::move(operand)) {}
  Scalar Eval(EvalContext& context) const override {
    Scalar s = operand_->Eval(context);
    s.text = Trim(s.text);
    return s;
  }

 private:
  NodePtr operand_;
};

// SUBSTRING(text, start[, length]): characters from the 1-based start; the part of the range
// outside the text is ignored, a negative length gives an empty text.
class SubstringNode final : public FilterNode {
 public:
  SubstringNode(NodePtr text, NodePtr start, NodePtr length)
      : FilterNode(Type::Text, text->position(),
                   1 + std::max({text->height(), start->height(), length ? length->height() : 0})),
        text_(std::move(text)),
        start_(std::move(start)),
        length_(std::move(length)) {}
  Scalar Eval(EvalContext& context) const override {
    Scalar s = text_->Eval(context);
    if (s.null) return s;
    const Scalar start = start_->Eval(context);
    if (start.null) return start;
    const long double first = std::trunc(AsLongDouble(start));
    const long double size = static_cast<long double>(s.text.size());
    long double last = size + 1;  // one past the end, 1-based
    if (length_) {
      const Scalar length = length_->Eval(context);
      if (length.null) return length;
      last = first + std::trunc(AsLongDouble(length));
    }
    if (std::isnan(first) || std::isnan(last)) return NullScalar();
    const long double from = std::clamp(first, 1.0L, size + 1);
    const long double to = std::clamp(last, from, size + 1);
    s.text = s.text.substr(static_cast<std::size_t>(from) - 1, static_cast<std::size_t>(to - from));
    return s;
  }

 private:
  NodePtr text_;
  NodePtr start_;
  NodePtr length_;  // null: to the end
};

// ---------------------------------------------------------------------------------------------
// Literal conversions

// A number as literals write it: digits with an optional "." part and exponent; a whole number
// that fits stays an integer.
std::optional<Scalar> ParseNumber(std::string_view text) {
  if (text.empty()) return std::nullopt;
  const char* begin = text.data();
  const char* end = begin + text.size();
  if (std::all_of(text.begin(), text.end(), IsDigit) ||
      (text.size() > 1 && text[0] == '-' && std::all_of(text.begin() + 1, text.end(), IsDigit))) {
    std::int64_t integer = 0;
    const auto [ptr, error] = std::from_chars(begin, end, integer);
    if (error == std::errc() && ptr == end) return IntegerScalar(integer);
  }
  double number = 0;
  const auto [ptr, error] = std::from_chars(begin, end, number);
  // The finiteness test also refuses the "inf" and "nan" that from_chars would take.
  if (error != std::errc() || ptr != end || !std::isfinite(number)) return std::nullopt;
  return RealScalar(number);
}

// Reads up to `maxDigits` digits as a number; nothing when there is no digit.
std::optional<int> ReadDigits(std::string_view& text, std::size_t maxDigits) {
  std::size_t count = 0;
  int value = 0;
  while (count < text.size() && count < maxDigits && IsDigit(text[count])) {
    value = value * 10 + (text[count] - '0');
    ++count;
  }
  if (count == 0) return std::nullopt;
  text.remove_prefix(count);
  return value;
}

bool ReadChar(std::string_view& text, char c) {
  if (text.empty() || text.front() != c) return false;
  text.remove_prefix(1);
  return true;
}

// yyyy-mm-dd, whatever the host's format.
std::optional<host::CivilDate> ParseIsoDate(std::string_view text) {
  if (text.size() < 8 || !std::all_of(text.begin(), text.begin() + 4, IsDigit)) return std::nullopt;
  const auto year = ReadDigits(text, 4);
  if (!year || !ReadChar(text, '-')) return std::nullopt;
  const auto month = ReadDigits(text, 2);
  if (!month || !ReadChar(text, '-')) return std::nullopt;
  const auto day = ReadDigits(text, 2);
  if (!day || !text.empty()) return std::nullopt;
  const host::CivilDate date{*year, *month, *day};
  if (!host::IsValidDate(date)) return std::nullopt;
  return date;
}

// hh:mm[:ss[.zzz]] as a fraction of a day.
std::optional<double> ParseTime(std::string_view text) {
  const auto hour = ReadDigits(text, 2);
  if (!hour || !ReadChar(text, ':')) return std::nullopt;
  const auto minute = ReadDigits(text, 2);
  if (!minute) return std::nullopt;
  std::optional<int> second = 0;
  std::optional<int> msec = 0;
  if (ReadChar(text, ':')) {
    second = ReadDigits(text, 2);
    if (second && ReadChar(text, '.')) {
      const std::size_t digits = text.size();
      msec = ReadDigits(text, 3);
      if (msec) {
        for (std::size_t i = std::min<std::size_t>(digits, 3); i < 3; ++i)
          *msec *= 10;
      }
    }
  }
  if (!second || !msec || !text.empty() || *hour > 23 || *minute > 59 || *second > 59) {
    return std::nullopt;
  }
  return host::EncodeTime(*hour, *minute, *second, *msec);
}

// A date in the host's short date format or as yyyy-mm-dd, optionally followed by a time of day
// (after a blank, or after a "T" following an ISO date); or a time of day alone, for time fields.
std::optional<double> ParseDateLiteral(std::string_view text) {
  text = Trim(text);
  if (const auto time = ParseTime(text)) return time;
  std::string_view datePart = text;
  std::string_view timePart;
  std::optional<host::CivilDate> date;
  if (const std::size_t blank = text.find(' '); blank != std::string_view::npos) {
    datePart = text.substr(0, blank);
    timePart = Trim(text.substr(blank + 1));
  } else if (const std::size_t t = text.find_first_of("Tt"); t != std::string_view::npos) {
    datePart = text.substr(0, t);
    timePart = text.substr(t + 1);
    date = ParseIsoDate(datePart);
    if (!date) return std::nullopt;
  }
  if (!date) date = ParseIsoDate(datePart);
  if (!date) date = host::ParseHostDate(datePart);
  if (!date) return std::nullopt;
  double value = host::EncodeDate(*date);
  if (!timePart.empty() || datePart.size() < text.size()) {
    const auto time = ParseTime(timePart);
    if (!time) return std::nullopt;
    value += *time;
  }
  return value;
}

std::optional<bool> ParseBoolean(std::string_view text) {
  text = Trim(text);
  if (EqualsIgnoringCase(text, "T") || EqualsIgnoringCase(text, "TRUE")) return true;
  if (EqualsIgnoringCase(text, "F") || EqualsIgnoringCase(text, "FALSE")) return false;
  return std::nullopt;
}

std::string_view TypeName(Type type) {
  switch (type) {
    case Type::Text:
      return "text";
    case Type::Number:
      return "a number";
    case Type::Date:
      return "a date";
    case Type::Boolean:
      return "a logical value";
    case Type::Binary:
      return "binary data";
  }
  return "";
}

Type TypeOfField(FieldType type) {
  switch (type) {
    case FieldType::String:
    case FieldType::Memo:
    case FieldType::FmtMemo:
      return Type::Text;
    case FieldType::SmallInt:
    case FieldType::Integer:
    case FieldType::Word:
    case FieldType::AutoInc:
    case FieldType::Float:
    case FieldType::Currency:
    case FieldType::BCD:
      return Type::Number;
    case FieldType::Date:
    case FieldType::Time:
    case FieldType::DateTime:
      return Type::Date;
    case FieldType::Boolean:
      return Type::Boolean;
    case FieldType::Unknown:
    case FieldType::Blob:
    case FieldType::Graphic:
    case FieldType::Ole:
    case FieldType::Bytes:
      break;
  }
  return Type::Binary;
}

// ---------------------------------------------------------------------------------------------
// Tokens

enum class TokenKind : std::uint8_t { End, Name, QuotedName, Text, Number, Symbol };

struct Token {
  TokenKind kind = TokenKind::End;
  std::size_t position = 0;
  std::string_view raw;  // as written
  std::string value;     // names and texts without quotes
};

// Deeper nesting is refused rather than risking the stack while translating or testing.
constexpr int kMaxNesting = 200;
constexpr int kMaxHeight = 2000;

bool IsNameStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
         static_cast<unsigned char>(c) >= 0x80;
}
bool IsNameChar(char c) {
  return IsNameStart(c) || IsDigit(c) || c == '#' || c == '$';
}

class Parser {
 public:
  Parser(std::string_view text, const std::vector<FieldDef>& fields)
      : text_(text), fields_(fields) {}

  NodePtr Run() {
    Tokenize();
    NodePtr root = ParseOr();
    if (Current().kind != TokenKind::End) Fail(Current().position, "unexpected " + Found());
    RequireCondition(root);
    return root;
  }

  std::vector<int> TakeUsedFields() {
    std::sort(used_.begin(), used_.end());
    return std::move(used_);
  }

 private:
  [[noreturn]] void Fail(std::size_t position, const std::string& what) const {
    throw TableError("Filter expression error: " + what + " at position " +
                     std::to_string(position + 1) + " in \"" + host::InputForMessage(text_) + "\"");
  }

  // ----- tokens

  void Tokenize() {
    std::size_t i = 0;
    while (true) {
      while (i < text_.size() &&
             (text_[i] == ' ' || text_[i] == '\t' || text_[i] == '\r' || text_[i] == '\n')) {
        ++i;
      }
      Token token;
      token.position = i;
      if (i == text_.size()) {
        tokens_.push_back(std::move(token));
        return;
      }
      const char c = text_[i];
      std::size_t end = i + 1;
      if (c == '\'' || c == '"') {
        token.kind = c == '\'' ? TokenKind::Text : TokenKind::QuotedName;
        // A doubled quote stands for the quote itself.
        while (true) {
          if (end >= text_.size()) {
            Fail(i, c == '\'' ? "text not closed by '" : "field name not closed by \"");
          }
          if (text_[end] == c) {
            if (end + 1 < text_.size() && text_[end + 1] == c) {
              token.value += c;
              end += 2;
              continue;
            }
            ++end;
            break;
          }
          token.value += text_[end++];
        }
        if (token.kind == TokenKind::QuotedName && Trim(token.value).empty()) {
          Fail(i, "empty field name");
        }
      } else if (IsDigit(c) || (c == '.' && i + 1 < text_.size() && IsDigit(text_[i + 1]))) {
        token.kind = TokenKind::Number;
        while (end < text_.size() && (IsDigit(text_[end]) || text_[end] == '.'))
          ++end;
        if (end < text_.size() && (text_[end] == 'e' || text_[end] == 'E')) {
          std::size_t exponent = end + 1;
          if (exponent < text_.size() && (text_[exponent] == '+' || text_[exponent] == '-')) {
            ++exponent;
          }
          if (exponent < text_.size() && IsDigit(text_[exponent])) end = exponent;
        }
        // Letters run into the number make it malformed, not a number and a name.
        while (end < text_.size() && IsNameChar(text_[end]))
          ++end;
      } else if (IsNameStart(c)) {
        token.kind = TokenKind::Name;
        while (end < text_.size() && IsNameChar(text_[end]))
          ++end;
        token.value = text_.substr(i, end - i);
      } else if (std::string_view("=<>+-*/(),").find(c) != std::string_view::npos) {
        token.kind = TokenKind::Symbol;
        if (end < text_.size() && ((c == '<' && (text_[end] == '>' || text_[end] == '=')) ||
                                   (c == '>' && text_[end] == '='))) {
          ++end;
        }
      } else {
        const auto code = static_cast<unsigned char>(c);
        Fail(i, code >= 0x20 && code != 0x7F ? std::string("unexpected character '") + c + "'"
                                             : "unexpected character code " + std::to_string(code));
      }
      token.raw = text_.substr(i, end - i);
      tokens_.push_back(std::move(token));
      i = end;
    }
  }

  const Token& Current() const { return tokens_[index_]; }
  const Token& Peek() const { return tokens_[std::min(index_ + 1, tokens_.size() - 1)]; }
  const Token& Advance() { return tokens_[index_ < tokens_.size() - 1 ? index_++ : index_]; }

  bool IsSymbol(std::string_view symbol) const {
    return Current().kind == TokenKind::Symbol && Current().raw == symbol;
  }
  bool IsKeyword(std::string_view keyword) const { return IsKeyword(Current(), keyword); }
  static bool IsKeyword(const Token& token, std::string_view keyword) {
    return token.kind == TokenKind::Name && EqualsIgnoringCase(token.raw, keyword);
  }
  static bool IsReserved(const Token& token) {
    for (std::string_view word :
         {"AND", "OR", "NOT", "IS", "NULL", "TRUE", "FALSE", "FROM", "FOR"}) {
      if (IsKeyword(token, word)) return true;
    }
    return false;
  }

  std::string Found() const {
    const Token& token = Current();
    if (token.kind == TokenKind::End) return "end of the expression";
    if (token.kind == TokenKind::Text || token.kind == TokenKind::QuotedName) {
      return host::InputForMessage(token.raw);
    }
    return host::QuotedInput(token.raw);
  }

  void Expect(std::string_view symbol) {
    if (!IsSymbol(symbol))
      Fail(Current().position, "expected '" + std::string(symbol) + "' but found " + Found());
    Advance();
  }

  // Counts one level of recursion for the lifetime of a parse step.
  class NestingGuard {
   public:
    explicit NestingGuard(Parser& parser) : parser_(parser) {
      if (++parser_.nesting_ > kMaxNesting) {
        parser_.Fail(parser_.Current().position, "expression nested too deeply");
      }
    }
    ~NestingGuard() { --parser_.nesting_; }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;

   private:
    Parser& parser_;
  };

  NodePtr Checked(NodePtr node, std::size_t position) const {
    if (node->height() > kMaxHeight) Fail(position, "expression too long");
    return node;
  }

  void RequireCondition(const NodePtr& node) const {
    if (node->type() != Type::Boolean) {
      Fail(node->position(),
           "expected a condition but found " + std::string(TypeName(node->type())));
    }
  }

  void RequireType(const NodePtr& node, Type type, std::string_view where) const {
    if (node->type() != type) {
      Fail(node->position(), std::string(where) + " needs " + std::string(TypeName(type)) +
                                 " but found " + std::string(TypeName(node->type())));
    }
  }

  // ----- grammar, loosest binding first

  NodePtr ParseOr() {
    NodePtr left = ParseAnd();
    while (IsKeyword("OR")) {
      const std::size_t position = Advance().position;
      RequireCondition(left);
      NodePtr right = ParseAnd();
      RequireCondition(right);
      left =
          Checked(std::make_unique<LogicNode>(false, std::move(left), std::move(right)), position);
    }
    return left;
  }

  NodePtr ParseAnd() {
    NodePtr left = ParseNot();
    while (IsKeyword("AND")) {
      const std::size_t position = Advance().position;
      RequireCondition(left);
      NodePtr right = ParseNot();
      RequireCondition(right);
      left =
          Checked(std::make_unique<LogicNode>(true, std::move(left), std::move(right)), position);
    }
    return left;
  }

  NodePtr ParseNot() {
    if (!IsKeyword("NOT")) return ParseComparison();
    NestingGuard guard(*this);
    const std::size_t position = Advance().position;
    NodePtr operand = ParseNot();
    RequireCondition(operand);
    return Checked(std::make_unique<NotNode>(position, std::move(operand)), position);
  }

  NodePtr ParseComparison() {
    NodePtr left = ParseAdditive();
    if (IsKeyword("IS")) {
      const std::size_t position = Advance().position;
      bool negate = false;
      if (IsKeyword("NOT")) {
        Advance();
        negate = true;
      }
      if (!IsKeyword("NULL")) Fail(Current().position, "expected NULL but found " + Found());
      Advance();
      return Checked(std::make_unique<IsNullNode>(std::move(left), negate), position);
    }
    static constexpr std::pair<std::string_view, CompareOp> kOperators[] = {
        {"=", CompareOp::Equal},   {"<>", CompareOp::NotEqual},  {"<", CompareOp::Less},
        {">", CompareOp::Greater}, {"<=", CompareOp::LessEqual}, {">=", CompareOp::GreaterEqual}};
    for (const auto& [symbol, op] : kOperators) {
      if (!IsSymbol(symbol)) continue;
      const std::size_t position = Advance().position;
      NodePtr right = ParseAdditive();
      return Checked(MakeComparison(op, position, std::move(left), std::move(right)), position);
    }
    return left;
  }

  NodePtr ParseAdditive() {
    NodePtr left = ParseTerm();
    while (IsSymbol("+") || IsSymbol("-")) {
      const Token& token = Advance();
      const ArithOp op = token.raw == "+" ? ArithOp::Add : ArithOp::Subtract;
      NodePtr right = ParseTerm();
      left = Checked(MakeArithmetic(op, token, std::move(left), std::move(right)), token.position);
    }
    return left;
  }

  NodePtr ParseTerm() {
    NodePtr left = ParseUnary();
    while (IsSymbol("*") || IsSymbol("/")) {
      const Token& token = Advance();
      const ArithOp op = token.raw == "*" ? ArithOp::Multiply : ArithOp::Divide;
      NodePtr right = ParseUnary();
      left = Checked(MakeArithmetic(op, token, std::move(left), std::move(right)), token.position);
    }
    return left;
  }

  NodePtr ParseUnary() {
    if (!IsSymbol("-") && !IsSymbol("+")) return ParsePrimary();
    NestingGuard guard(*this);
    const Token& token = Advance();
    NodePtr operand = ParseUnary();
    if (operand->type() != Type::Number) {
      Fail(token.position, "sign '" + std::string(token.raw) + "' needs a number but found " +
                               std::string(TypeName(operand->type())));
    }
    if (token.raw == "+") return operand;
    return Checked(std::make_unique<NegateNode>(token.position, std::move(operand)),
                   token.position);
  }

  NodePtr ParsePrimary() {
    const Token& token = Current();
    switch (token.kind) {
      case TokenKind::Number: {
        const auto number = ParseNumber(token.raw);
        if (!number) Fail(token.position, "bad number '" + std::string(token.raw) + "'");
        Advance();
        return std::make_unique<ConstantNode>(Type::Number, token.position, *number);
      }
      case TokenKind::Text:
        Advance();
        return std::make_unique<ConstantNode>(Type::Text, token.position, TextScalar({}),
                                              token.value);
      case TokenKind::QuotedName:
        Advance();
        return MakeField(token);
      case TokenKind::Name:
        if (IsKeyword("TRUE") || IsKeyword("FALSE")) {
          Advance();
          return std::make_unique<ConstantNode>(Type::Boolean, token.position,
                                                BoolScalar(IsKeyword(token, "TRUE")));
        }
        if (IsKeyword("NULL")) {
          Fail(token.position, "NULL can only be tested with IS NULL or IS NOT NULL");
        }
        if (IsReserved(token)) break;
        if (Peek().kind == TokenKind::Symbol && Peek().raw == "(") return ParseFunction();
        Advance();
        return MakeField(token);
      case TokenKind::Symbol:
        if (token.raw == "(") {
          NestingGuard guard(*this);
          Advance();
          NodePtr inner = ParseOr();
          Expect(")");
          return inner;
        }
        break;
      case TokenKind::End:
        break;
    }
    Fail(token.position, "expected a value but found " + Found());
  }

  NodePtr MakeField(const Token& token) {
    for (std::size_t i = 0; i < fields_.size(); ++i) {
      if (EqualsIgnoringCase(fields_[i].name, token.value)) {
        const int position = static_cast<int>(i);
        if (std::find(used_.begin(), used_.end(), position) == used_.end()) {
          used_.push_back(position);
        }
        return std::make_unique<FieldNode>(TypeOfField(fields_[i].type), token.position, i);
      }
    }
    Fail(token.position, "unknown field '" + token.value + "'");
  }

  NodePtr ParseFunction() {
    NestingGuard guard(*this);
    const Token& name = Advance();
    Advance();  // "("
    if (IsKeyword(name, "UPPER") || IsKeyword(name, "LOWER") || IsKeyword(name, "TRIM")) {
      const std::string function = ToUpper(name.value);
      NodePtr operand = ParseOr();
      RequireType(operand, Type::Text, function);
      Expect(")");
      if (function == "TRIM") return std::make_unique<TrimNode>(std::move(operand));
      return std::make_unique<CaseNode>(function == "UPPER", std::move(operand));
    }
    if (IsKeyword(name, "SUBSTRING")) {
      NodePtr text = ParseOr();
      RequireType(text, Type::Text, "SUBSTRING");
      // Both SUBSTRING(text, start, length) and SUBSTRING(text FROM start FOR length).
      const bool sqlForm = IsKeyword("FROM");
      if (!sqlForm)
        Expect(",");
      else
        Advance();
      NodePtr start = ParseOr();
      RequireType(start, Type::Number, "SUBSTRING");
      NodePtr length;
      if (sqlForm ? IsKeyword("FOR") : IsSymbol(",")) {
        Advance();
        length = ParseOr();
        RequireType(length, Type::Number, "SUBSTRING");
      }
      Expect(")");
      return std::make_unique<SubstringNode>(std::move(text), std::move(start), std::move(length));
    }
    Fail(name.position, "unknown function '" + name.value + "'");
  }

  static std::string ToUpper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), AsciiUpper);
    return text;
  }

  // ----- typed construction

  static const ConstantNode* TextLiteral(const NodePtr& node) {
    if (node->type() != Type::Text) return nullptr;
    return dynamic_cast<const ConstantNode*>(node.get());
  }

  // A text literal standing where a number, date or logical value is compared is read as one,
  // once, here.
  NodePtr ConvertLiteral(const ConstantNode& literal, Type type) const {
    const std::string& text = literal.text();
    const std::string quoted = host::QuotedInput(text);
    switch (type) {
      case Type::Number:
        if (const auto number = ParseNumber(Trim(text))) {
          return std::make_unique<ConstantNode>(type, literal.position(), *number);
        }
        Fail(literal.position(), quoted + " is not a number");
      case Type::Date:
        if (const auto date = ParseDateLiteral(text)) {
          return std::make_unique<ConstantNode>(type, literal.position(), RealScalar(*date));
        }
        Fail(literal.position(), quoted + " is not a date (" +
                                     host::HostFormats::ShortDateFormat().Pattern() +
                                     " or yyyy-mm-dd)");
      case Type::Boolean:
        if (const auto flag = ParseBoolean(text)) {
          return std::make_unique<ConstantNode>(type, literal.position(), BoolScalar(*flag));
        }
        Fail(literal.position(), quoted + " is not a logical value (TRUE, FALSE, 'T' or 'F')");
      case Type::Text:
      case Type::Binary:
        break;
    }
    return nullptr;
  }

  NodePtr MakeComparison(CompareOp op, std::size_t position, NodePtr left, NodePtr right) const {
    const ConstantNode* leftLiteral = TextLiteral(left);
    const ConstantNode* rightLiteral = TextLiteral(right);
    // text = 'ABC*' (either way round): a prefix test.
    if (op == CompareOp::Equal || op == CompareOp::NotEqual) {
      if (rightLiteral && !leftLiteral && left->type() == Type::Text &&
          rightLiteral->text().ends_with('*')) {
        std::string prefix = rightLiteral->text();
        prefix.pop_back();
        return std::make_unique<PrefixNode>(std::move(left), std::move(prefix),
                                            op == CompareOp::NotEqual);
      }
      if (leftLiteral && !rightLiteral && right->type() == Type::Text &&
          leftLiteral->text().ends_with('*')) {
        return MakeComparison(op, position, std::move(right), std::move(left));
      }
    }
    if (leftLiteral && right->type() != Type::Text && right->type() != Type::Binary) {
      left = ConvertLiteral(*leftLiteral, right->type());
    } else if (rightLiteral && left->type() != Type::Text && left->type() != Type::Binary) {
      right = ConvertLiteral(*rightLiteral, left->type());
    }
    if (left->type() == Type::Binary || right->type() == Type::Binary) {
      Fail(position, "binary data can only be tested with IS NULL or IS NOT NULL");
    }
    if (left->type() != right->type()) {
      Fail(position, "cannot compare " + std::string(TypeName(left->type())) + " with " +
                         std::string(TypeName(right->type())));
    }
    return std::make_unique<CompareNode>(op, std::move(left), std::move(right));
  }

  NodePtr MakeArithmetic(ArithOp op, const Token& token, NodePtr left, NodePtr right) const {
    const Type a = left->type();
    const Type b = right->type();
    std::optional<Type> result;
    if (a == Type::Number && b == Type::Number) {
      result = Type::Number;
    } else if (op == ArithOp::Add) {
      if (a == Type::Text && b == Type::Text) result = Type::Text;
      if ((a == Type::Date && b == Type::Number) || (a == Type::Number && b == Type::Date)) {
        result = Type::Date;
      }
    } else if (op == ArithOp::Subtract && a == Type::Date) {
      if (b == Type::Number) result = Type::Date;
      if (b == Type::Date) result = Type::Number;
    }
    if (!result) {
      Fail(token.position, "cannot apply '" + std::string(token.raw) + "' to " +
                               std::string(TypeName(a)) + " and " + std::string(TypeName(b)));
    }
    return std::make_unique<ArithmeticNode>(*result, op, std::move(left), std::move(right));
  }

  std::string_view text_;
  const std::vector<FieldDef>& fields_;
  std::vector<int> used_;  // the positions of the fields named, in order of first appearance
  std::vector<Token> tokens_;
  std::size_t index_ = 0;
  int nesting_ = 0;
};

}  // namespace
}  // namespace detail

FilterExpression::FilterExpression() = default;
FilterExpression::~FilterExpression() = default;
FilterExpression::FilterExpression(FilterExpression&&) noexcept = default;
FilterExpression& FilterExpression::operator=(FilterExpression&&) noexcept = default;
FilterExpression::FilterExpression(std::unique_ptr<detail::FilterNode> root,
                                   std::vector<int> fields)
    : root_(std::move(root)), fields_(std::move(fields)) {}

FilterExpression FilterExpression::Parse(std::string_view text,
                                         const std::vector<FieldDef>& fields) {
  if (text.find_first_not_of(" \t\r\n") == std::string_view::npos) return {};
  detail::Parser parser(text, fields);
  detail::NodePtr root = parser.Run();
  return FilterExpression(std::move(root), parser.TakeUsedFields());
}

bool FilterExpression::Matches(const Record& record) const {
  if (!root_) return true;
  detail::EvalContext context{record};
  const detail::Scalar result = root_->Eval(context);
  return !context.failed && !result.null && result.flag;
}

}  // namespace nox::tables
