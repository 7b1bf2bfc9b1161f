#include "calc/calc_logic.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <stdexcept>
#include <utility>

#include "formula/formula.h"
#include "host/host_formats.h"
#include "host/number_format.h"

namespace nox::calc {
namespace {

// Results beyond these magnitudes no longer fit 15 characters in fixed notation.
constexpr long double kLargestFixed = 9999999999999.0L;
constexpr long double kSmallestFixed = 1e-12L;

// A blank decimal separator (a space or a control character) counts as ".", as in the formula
// language.
char EffectiveSeparator(char separator) {
  return separator == ' ' || (separator >= '\0' && separator < ' ') ? '.' : separator;
}

bool IsBlank(std::string_view text) {
  return text.find_first_not_of(' ') == std::string_view::npos;
}

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

void ReplaceAll(std::string& text, char from, char to) {
  std::replace(text.begin(), text.end(), from, to);
}

// The value of a display text; an exponent form may carry the display's trailing "." (" 5E-5.").
std::optional<long double> NumberValue(std::string_view text) {
  if (const std::optional<long double> value = host::ParseFloat(text, '.')) return value;
  if (text.ends_with('.')) return host::ParseFloat(text.substr(0, text.size() - 1), '.');
  return std::nullopt;
}

// The sign column: a space unless the text begins with "-" (the "-" of an exponent does not
// count).
void AddSignColumn(std::string& s) {
  if (!s.starts_with('-')) s.insert(0, " ");
}

// The value of a register that an operation needs as a number.
long double RequireNumber(std::string_view text) {
  if (const std::optional<long double> value = NumberValue(text)) return *value;
  throw std::invalid_argument("'" + std::string(text) + "' is not a valid floating point value");
}

bool IsZero(std::string_view text) {
  const std::optional<long double> value = NumberValue(text);
  return value && *value == 0;
}

// The value of an expression, written with "." whatever the host's separator is.
std::string Evaluate(const std::string& expression) {
  std::string value = formula::EvaluateFormula(expression, nullptr, nullptr);
  ReplaceAll(value, EffectiveSeparator(host::HostFormats::DecimalSeparator()), '.');
  return value;
}

// An operand of an expression: a negative one goes in parentheses.
std::string Operand(const std::string& text) {
  return text.starts_with('-') ? "(" + text + ")" : text;
}

// Too long for the display and too large or too small for fixed notation.
bool NeedsExponent(std::string_view s) {
  if (s.size() <= kMaxEntryLength) return false;
  const std::optional<long double> value = NumberValue(s);
  if (!value) return false;
  const long double magnitude = std::fabs(*value);
  return magnitude > kLargestFixed || magnitude < kSmallestFixed;
}

// The standard exponent form with its sign column: " 1.23456789012346E+0015" (23 characters).
std::string ExponentForm(std::string_view s) {
  const long double value = *NumberValue(s);
  char mantissa[40];
  // "%.14Le" writes 15 significant digits and an exponent of at least two digits.
  std::snprintf(mantissa, sizeof mantissa, "%.14Le", std::fabs(value));
  std::string_view text(mantissa);
  const std::size_t e = text.find('e');
  const int exponent = std::stoi(std::string(text.substr(e + 1)));
  char exponentPart[16];
  std::snprintf(exponentPart, sizeof exponentPart, "E%c%04d", exponent < 0 ? '-' : '+',
                std::abs(exponent));
  return (value < 0 ? "-" : " ") + std::string(text.substr(0, e)) + exponentPart;
}

void DropTrailingZeros(std::string& s) {
  while (s.ends_with('0'))
    s.pop_back();
}

}  // namespace

std::optional<CalcCommand> CommandForChar(char c) {
  if (c >= '0' && c <= '9') {
    return static_cast<CalcCommand>(static_cast<int>(CalcCommand::Digit0) + (c - '0'));
  }
  switch (c) {
    case '.':
    case ',':
      return CalcCommand::Point;
    case '+':
      return CalcCommand::Plus;
    case '-':
      return CalcCommand::Minus;
    case '*':
      return CalcCommand::Multiply;
    case '/':
      return CalcCommand::Divide;
    case '=':
      return CalcCommand::Equals;
    case '%':
      return CalcCommand::Percent;
    case 'C':
    case 'c':
      return CalcCommand::MemoryClear;
    case 'M':
    case 'm':
      return CalcCommand::MemoryAdd;
    case 'R':
    case 'r':
      return CalcCommand::MemoryRecall;
    case 'S':
    case 's':
      return CalcCommand::MemoryStore;
    case 'Q':
    case 'q':
      return CalcCommand::SquareRoot;
    case 'X':
    case 'x':
      return CalcCommand::Inverse;
    case 'Z':
    case 'z':
      return CalcCommand::Sign;
    default:
      return std::nullopt;
  }
}

std::vector<CalcCommand> ParseKeys(std::string_view keys) {
  struct NamedKey {
    std::string_view name;
    CalcCommand command;
  };
  static constexpr NamedKey kNamedKeys[] = {
      {"{BS}", CalcCommand::Back},
      {"{ENTER}", CalcCommand::Equals},
      {"{ESC}", CalcCommand::ClearAll},
      {"{DEL}", CalcCommand::ClearEntry},
  };
  std::vector<CalcCommand> commands;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (keys[i] != '{') {
      if (const std::optional<CalcCommand> command = CommandForChar(keys[i])) {
        commands.push_back(*command);
      }
      continue;
    }
    const std::size_t end = std::min(keys.find('}', i), keys.size() - 1);
    const std::string_view name = keys.substr(i, end - i + 1);
    const auto known = std::find_if(std::begin(kNamedKeys), std::end(kNamedKeys),
                                    [name](const NamedKey& key) { return key.name == name; });
    if (known == std::end(kNamedKeys)) {
      throw std::invalid_argument("unknown key '" + std::string(name) +
                                  "' (known: {BS} {ENTER} {ESC} {DEL})");
    }
    commands.push_back(known->command);
    i = end;
  }
  return commands;
}

std::string FormatCalcResult(std::string s) {
  AddSignColumn(s);
  if (!Contains(s, ".")) {
    s += '.';
  } else if (!Contains(s, "E")) {  // the zeros of an exponent are digits (1.5E20)
    DropTrailingZeros(s);
  }
  if (s.size() > kMaxEntryLength) {
    s = NeedsExponent(s) ? ExponentForm(s) : s.substr(0, kMaxEntryLength);
  }
  return s;
}

std::string FormatCalcUnary(std::string s) {
  AddSignColumn(s);
  if (!Contains(s, ".")) return s + '.';
  if (Contains(s, "!!!")) return s;
  if (!Contains(s, "E")) DropTrailingZeros(s);
  if (s.size() > kMaxEntryLength) {
    if (NeedsExponent(s)) {
      const std::string exponent = ExponentForm(s);
      const std::size_t e = exponent.find('E');
      const std::size_t afterE = exponent.size() - e - 1;
      s = exponent.substr(0, kMaxEntryLength - afterE) + exponent.substr(e);
    } else {
      s.resize(kMaxEntryLength);
    }
  }
  return s;
}

std::string InitialDisplay(std::string_view fieldText, bool canTransfer, char decimalSeparator) {
  std::string text(fieldText);
  if (canTransfer) {
    ReplaceAll(text, EffectiveSeparator(decimalSeparator), '.');
    if (!NumberValue(text)) text = kZeroText;
  }
  text.erase(0, std::min(text.find_first_not_of(' '), text.size()));
  if (!text.starts_with('-')) text.insert(0, " ");
  if (!Contains(text, ".")) text += '.';
  return text;
}

std::string TransferText(std::string_view display, char decimalSeparator) {
  std::string text(display);
  if (text.ends_with('.')) text.pop_back();
  ReplaceAll(text, '.', EffectiveSeparator(decimalSeparator));
  text.erase(0, std::min(text.find_first_not_of(' '), text.size()));
  return text;
}

CalcLogic::CalcLogic(std::function<void()> beep) : beep_(std::move(beep)) {}

void CalcLogic::Beep() const {
  if (beep_) beep_();
}

void CalcLogic::EndNumber() {
  newNumber_ = true;
  pointEntered_ = false;
}

void CalcLogic::Start(std::string_view display) {
  display_ = display;
  if (!Contains(display_, ".")) display_ += '.';
  entryText_ = display_;
}

void CalcLogic::PressKey(CalcCommand command) {
  if ((command == CalcCommand::SquareRoot && !squareRootAvailable_) ||
      (command == CalcCommand::Inverse && !inverseAvailable_)) {
    Beep();
    return;
  }
  Execute(command);
}

void CalcLogic::Execute(CalcCommand command) {
  const int index = static_cast<int>(command);
  if (index <= static_cast<int>(CalcCommand::Digit9)) {
    EnterDigit(static_cast<char>('0' + index));
    return;
  }
  switch (command) {
    case CalcCommand::Point:
      EnterPoint();
      break;
    case CalcCommand::Sign:
      ChangeSign();
      break;
    case CalcCommand::Plus:
      ApplyOperator('+');
      break;
    case CalcCommand::Minus:
      ApplyOperator('-');
      break;
    case CalcCommand::Multiply:
      ApplyOperator('*');
      break;
    case CalcCommand::Divide:
      ApplyOperator('/');
      break;
    case CalcCommand::Equals:
      ApplyOperator('=');
      break;
    case CalcCommand::Percent:
      Percent();
      break;
    case CalcCommand::SquareRoot:
      SquareRoot();
      break;
    case CalcCommand::Inverse:
      Inverse();
      break;
    case CalcCommand::MemoryClear:
      MemoryClear();
      break;
    case CalcCommand::MemoryRecall:
      MemoryRecall();
      break;
    case CalcCommand::MemoryStore:
      MemoryStore();
      break;
    case CalcCommand::MemoryAdd:
      MemoryAdd();
      break;
    case CalcCommand::Back:
      Back();
      break;
    case CalcCommand::ClearEntry:
      ClearEntry();
      break;
    case CalcCommand::ClearAll:
      ClearAll();
      break;
    default:
      break;  // the digits, above
  }
}

void CalcLogic::EnterDigit(char digit) {
  // No leading zeros: "0" counts only once the display holds something else or a point.
  if (digit == '0' && display_ == kZeroText && !pointEntered_) return;
  if (newNumber_) {
    newNumber_ = false;
    display_ = kZeroText;
  }
  if (display_.size() > kMaxEntryLength - 1) {
    Beep();
  } else {
    inverseAvailable_ = digit != '0';
    if (pointEntered_) {
      display_ += digit;
    } else if (display_ != kZeroText) {
      display_.insert(display_.size() - 1, 1, digit);
    } else {
      display_ = std::string(" ") + digit + ".";
    }
  }
  entryText_ = display_;
}

void CalcLogic::EnterPoint() {
  if (newNumber_) {
    newNumber_ = false;
    display_ = entryText_ = kZeroText;
    inverseAvailable_ = false;
    squareRootAvailable_ = true;
  }
  if (pointEntered_) {
    Beep();
  } else {
    pointEntered_ = true;
  }
}

void CalcLogic::Back() {
  // A result cannot be edited, yet the key goes on as for a typed entry.
  if (newNumber_) Beep();
  if (display_.size() > 3) {
    if (display_.ends_with('.')) {
      pointEntered_ = false;
      display_.erase(display_.size() - 2, 1);
    } else {
      display_.pop_back();
    }
    entryText_ = Evaluate(display_);
    inverseAvailable_ = !IsZero(entryText_);
  } else {
    display_ = entryText_ = kZeroText;
    inverseAvailable_ = false;
    squareRootAvailable_ = true;
    Beep();
  }
}

void CalcLogic::ChangeSign() {
  if (display_ != kZeroText) display_[0] = display_[0] == '-' ? ' ' : '-';
  entryText_ = display_;
  squareRootAvailable_ = !entryText_.starts_with('-');
}

void CalcLogic::ApplyOperator(char op) {
  if (pendingOp_ == "/" && IsZero(entryText_)) {
    Beep();
  } else {
    shownOperator_ = op == '=' ? "" : std::string(1, op);
    EndNumber();
    entryText_ = display_;
    if (IsBlank(entryText_) || IsBlank(prevOperand_) || IsBlank(pendingOp_)) {
      if (op != '=') {
        prevOperand_ = entryText_;
        pendingOp_ = op;
      }
    } else {
      const std::string expression = Operand(prevOperand_) + pendingOp_ + Operand(entryText_);
      const std::string result = FormatCalcResult(Evaluate(expression));
      prevOperand_ = entryText_;
      entryText_ = result;
      if (entryText_ != prevOperand_) display_ = entryText_;
      pendingOp_ = op == '=' ? "" : std::string(1, op);
      prevOperand_ = entryText_;
    }
  }
  squareRootAvailable_ = !entryText_.starts_with('-');
}

void CalcLogic::Percent() {
  if (prevOperand_ == kZeroText) {
    Beep();
    return;
  }
  const std::string result =
      FormatCalcResult(Evaluate("((" + display_ + ")*(" + prevOperand_ + ")/100)"));
  EndNumber();
  display_ = entryText_ = result;
}

void CalcLogic::Inverse() {
  const std::string result = FormatCalcUnary(Evaluate("1/(" + entryText_ + ")"));
  EndNumber();
  display_ = entryText_ = result;
}

void CalcLogic::SquareRoot() {
  const long double value = RequireNumber(entryText_);
  if (value < 0) {
    throw std::domain_error("Invalid floating point operation: the square root of " + entryText_);
  }
  // In the general format, which rounds to 15 significant digits; rounding to the root's own
  // decimals (RoundedText) would add its 1E-10 bias to every irrational root.
  const std::string result = FormatCalcUnary(host::FormatGeneral(std::sqrt(value), '.'));
  EndNumber();
  display_ = entryText_ = result;
}

void CalcLogic::MemoryClear() {
  memoryText_ = kZeroText;
  EndNumber();
}

void CalcLogic::MemoryRecall() {
  display_ = entryText_ = memoryText_;
  squareRootAvailable_ = !memoryText_.starts_with('-');
  inverseAvailable_ = memoryText_ != kZeroText;
  EndNumber();
}

void CalcLogic::MemoryStore() {
  memoryText_ = entryText_;
  EndNumber();
}

void CalcLogic::MemoryAdd() {
  memoryText_ = FormatCalcResult(Evaluate("(" + memoryText_ + ")+(" + entryText_ + ")"));
  EndNumber();
}

void CalcLogic::ClearEntry() {
  if (newNumber_) {
    Beep();
    return;
  }
  display_ = entryText_ = kZeroText;
  EndNumber();
  inverseAvailable_ = false;
  squareRootAvailable_ = true;
}

void CalcLogic::ClearAll() {
  display_ = entryText_ = prevOperand_ = kZeroText;
  pendingOp_.clear();
  shownOperator_.clear();
  EndNumber();
  inverseAvailable_ = false;
  squareRootAvailable_ = true;
}

void CalcLogic::Paste(std::string_view text) {
  display_ = entryText_ = text;
  EndNumber();
}

}  // namespace nox::calc
