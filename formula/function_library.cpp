#include "formula/function_library.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <utility>

#include "formula/exchange_rate.h"
#include "formula/formula.h"
#include "formula/latvian.h"
#include "formula/named_window.h"
#include "formula/number_routines.h"
#include "formula/text_library.h"
#include "host/host_formats.h"
#include "host/messages.h"
#include "host/number_format.h"

namespace nox::formula {
namespace {

using Args = std::span<const Operand>;
using Result = std::optional<CallResult>;

// --- Signatures ---

// What an argument position accepts.
enum class Want : std::uint8_t {
  Str,     // a text in the first position
  ParStr,  // a text in a later position
  Par,     // a whole number
  Number,  // "Par" or "ParR"
  Date,
  Bool,
  Arr,
  Scalar,  // "Str", "ParStr", "Par" or "ParR"
  Value,   // any finished value (IF)
};

bool Accepts(Want want, Tag tag) {
  switch (want) {
    case Want::Str:
      return tag == Tag::Str;
    case Want::ParStr:
      return tag == Tag::ParStr;
    case Want::Par:
      return tag == Tag::Par;
    case Want::Number:
      return tag == Tag::Par || tag == Tag::ParR;
    case Want::Date:
      return tag == Tag::Date;
    case Want::Bool:
      return tag == Tag::Bool;
    case Want::Arr:
      return tag == Tag::Arr;
    case Want::Scalar:
      return tag == Tag::Str || tag == Tag::ParStr || tag == Tag::Par || tag == Tag::ParR;
    case Want::Value:
      // Operators, names and parentheses are no values, even when they sit where one should.
      return tag == Tag::Str || tag == Tag::ParStr || tag == Tag::Par || tag == Tag::ParR ||
             tag == Tag::Arr || tag == Tag::Bool || tag == Tag::Date || tag == Tag::Nil;
  }
  return false;
}

bool Fits(Args args, std::initializer_list<Want> signature) {
  if (args.size() != signature.size()) return false;
  std::size_t i = 0;
  for (const Want want : signature) {
    if (!Accepts(want, args[i++].tag)) return false;
  }
  return true;
}

// --- Reading arguments ---

// A "Par" or "ParR" argument as a number ("." is the decimal point during a calculation).
long double ReadNumber(const Operand& operand) {
  if (operand.tag == Tag::Par) return ReadWholeNumber(operand.text);
  if (auto number = ReadDecimalNumber(operand.text)) return *number;
  throw FormulaError(host::QuotedInput(operand.text) + " is not a valid floating point value");
}

host::CivilDate ReadDate(std::string_view text) {
  if (auto date = host::ParseHostDate(text)) return *date;
  throw FormulaError(host::QuotedInput(text) + " is not a valid date");
}

Result Text(std::string text, Tag tag = Tag::Str) {
  return CallResult{std::move(text), tag};
}
Result Text(std::string_view text, Tag tag = Tag::Str) {
  return Text(std::string(text), tag);
}
Result Number(int value) {
  return Text(std::to_string(value), Tag::Par);
}
Result Logical(bool value) {
  return Text(std::string(value ? "T" : "F"), Tag::Bool);
}
Result DateResult(const host::CivilDate& date) {
  if (date.year < 1 || date.year > 9999) {
    throw FormulaError("The date " + std::to_string(date.day) + "." + std::to_string(date.month) +
                       "." + std::to_string(date.year) + " is out of range");
  }
  return Text(host::FormatHostDate(date), Tag::Date);
}

// --- Text functions ---

Result CallStrTran(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Str, Want::ParStr, Want::ParStr, Want::Par, Want::Par})) return {};
  return Text(StrTran(a[0].text, a[1].text, a[2].text, ReadWholeNumber(a[3].text),
                      ReadWholeNumber(a[4].text)));
}

bool FitsAtNum(Args a) {
  return Fits(a, {Want::Str, Want::ParStr, Want::Par, Want::Par});
}

Result CallAtNum(Args a, const CalculationContext&) {
  if (!FitsAtNum(a)) return {};
  return Number(
      AtNum(a[0].text, a[1].text, ReadWholeNumber(a[2].text), ReadWholeNumber(a[3].text)));
}

Result CallBeforAtNum(Args a, const CalculationContext&) {
  if (!FitsAtNum(a)) return {};
  return Text(
      BeforAtNum(a[0].text, a[1].text, ReadWholeNumber(a[2].text), ReadWholeNumber(a[3].text)));
}

Result CallAfterAtNum(Args a, const CalculationContext&) {
  if (!FitsAtNum(a)) return {};
  return Text(
      AfterAtNum(a[0].text, a[1].text, ReadWholeNumber(a[2].text), ReadWholeNumber(a[3].text)));
}

Result CallToken(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Str, Want::ParStr, Want::Par, Want::Par})) return {};
  return Text(Token(a[0].text, a[1].text, ReadWholeNumber(a[2].text), ReadWholeNumber(a[3].text)));
}

Result CallStuff(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Str, Want::Par, Want::Par, Want::ParStr})) return {};
  return Text(Stuff(a[0].text, ReadWholeNumber(a[1].text), ReadWholeNumber(a[2].text), a[3].text));
}

template <std::string (*Pad)(std::string_view, int, std::string_view)>
Result CallPad(Args a, const CalculationContext&) {
  if (Fits(a, {Want::Str, Want::Par, Want::ParStr})) {
    return Text(Pad(a[0].text, ReadWholeNumber(a[1].text), a[2].text));
  }
  if (Fits(a, {Want::Str, Want::Par})) return Text(Pad(a[0].text, ReadWholeNumber(a[1].text), " "));
  return {};
}

Result CallAtToken(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Str, Want::ParStr, Want::Par})) return {};
  return Number(AtToken(a[0].text, a[1].text, ReadWholeNumber(a[2].text)));
}

Result CallNumAt(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Str, Want::ParStr, Want::Par})) return {};
  return Number(NumAt(a[0].text, a[1].text, ReadWholeNumber(a[2].text)));
}

Result CallSubStr(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Str, Want::Par, Want::Par})) return {};
  return Text(SubStr(a[0].text, ReadWholeNumber(a[1].text), ReadWholeNumber(a[2].text)));
}

Result CallLeft(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Str, Want::Par})) return {};
  return Text(SubStr(a[0].text, 1, ReadWholeNumber(a[1].text)));
}

Result CallRight(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Str, Want::Par})) return {};
  return Text(Right(a[0].text, ReadWholeNumber(a[1].text)));
}

Result CallReplicate(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Str, Want::Par})) return {};
  return Text(Replicate(a[0].text, ReadWholeNumber(a[1].text)));
}

Result CallPos(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Str, Want::ParStr})) return {};
  return Number(Pos(a[0].text, a[1].text));
}

Result CallIn(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Str, Want::ParStr})) return {};
  return Logical(Pos(a[0].text, a[1].text) != 0);
}

// The host may install an analytic formatter behind FORMANALIT; this system installs none, so
// the call yields an empty text rather than failing the formula.
Result CallFormAnalit(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Str, Want::ParStr})) return {};
  return Text(std::string());
}

template <std::string_view (*Trim)(std::string_view)>
Result CallTrim(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Str})) return {};
  return Text(Trim(a[0].text));
}

Result CallLatv(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Str})) return {};
  return Text(LatvianDosToWin(a[0].text));
}

Result CallLatvDos(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Str})) return {};
  return Text(LatvianWinToDos(a[0].text));
}

Result CallLength(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Str})) return {};
  return Text(std::to_string(a[0].text.size()), Tag::Par);
}

Result CallEmpty(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Str})) return {};
  return Logical(IsBlankText(a[0].text));
}

// VAL and STR only retag: a text that is no number becomes a number token a later rule rejects.
Result CallVal(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Str})) return {};
  const bool real = a[0].text.find_first_of(".eE") != std::string_view::npos;
  return Text(a[0].text, real ? Tag::ParR : Tag::Par);
}

Result CallStr(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Number})) return {};
  return Text(a[0].text);
}

// The count is read as a whole number also from a "ParR", so SPACE(2.5) is a conversion error.
Result CallSpace(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Number})) return {};
  return Text(Space(ReadWholeNumber(a[0].text)));
}

// --- Dates ---

// DATE() has no arguments; the calculator rewrites it itself.
Result CallDate(Args, const CalculationContext&) {
  return {};
}

Result CallDtoc(Args a, const CalculationContext&) {
  if (Fits(a, {Want::Date})) return Text(a[0].text);
  if (Fits(a, {Want::Number})) return Text(std::string(" "));
  // A window.table.field reference to a window that is not open.
  if (a.size() == 1 && a[0].tag == Tag::Nil) return Text(std::string());
  return {};
}

// What CTOD yields for a text that is no date; the conversion run leaves a date field alone on it.
constexpr std::string_view kNoDate = "11.11.11";

Result CallCtod(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Str})) return {};
  if (auto date = host::ParseHostDate(a[0].text)) return DateResult(*date);
  return Text(kNoDate, Tag::Date);
}

// YEAR, MONTH, DAY and their ...STR forms take fixed characters of the date text, which are the
// year's last two digits, the month and the day only in the dd.mm.yyyy layout. Under another
// host format they take whatever stands there; a part that is no whole number makes YEAR, MONTH
// and DAY fail with the conversion error, and a shorter text gives fewer characters.
template <int First>
Result CallDatePart(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Date})) return {};
  return Number(ReadWholeNumber(SubStr(a[0].text, First, 2)));
}

template <int First>
Result CallDatePartStr(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Date})) return {};
  return Text(SubStr(a[0].text, First, 2));
}

Result CallBom(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Date})) return {};
  host::CivilDate date = ReadDate(a[0].text);
  date.day = 1;
  return DateResult(date);
}

Result CallEom(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Date})) return {};
  host::CivilDate date = ReadDate(a[0].text);
  date.day = host::DaysInMonth(date.year, date.month);
  return DateResult(date);
}

// Month lengths for ADDMONTH; February keeps 28 days in leap years too.
constexpr std::array<int, 12> kDaysInMonthTable = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

Result CallAddMonth(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Date, Want::Par})) return {};
  host::CivilDate date = ReadDate(a[0].text);
  const int months = ReadWholeNumber(a[1].text);
  if (months == 0) return Text(a[0].text, Tag::Date);
  // Counted in 64 bits and split arithmetically, so any 32-bit count is defined.
  const std::int64_t total = std::int64_t{date.month} - 1 + months;
  const std::int64_t yearShift = total >= 0 ? total / 12 : -((-total + 11) / 12);
  const std::int64_t year = date.year + yearShift;
  if (year < 1 || year > 9999) {
    throw FormulaError("ADDMONTH: " + std::string(a[0].text) + " plus " + std::to_string(months) +
                       " months is out of range");
  }
  date.year = static_cast<int>(year);
  date.month = static_cast<int>(total - yearShift * 12) + 1;
  date.day = std::min(date.day, kDaysInMonthTable[static_cast<std::size_t>(date.month - 1)]);
  return DateResult(date);
}

Result CallGetKurs(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Str, Want::Date})) return {};
  const long double rate = GetExchangeRate(a[0].text, ExchangeRateTable(), ReadDate(a[1].text));
  return Text(host::FormatGeneral(rate, '.'), Tag::ParR);
}

// --- Numbers ---

Result CallRound(Args a, const CalculationContext&) {
  if (Fits(a, {Want::Number})) return Text(RoundedText(0, ReadNumber(a[0])), Tag::Par);
  if (Fits(a, {Want::Number, Want::Par})) {
    return Text(RoundedText(ReadWholeNumber(a[1].text), ReadNumber(a[0])), Tag::ParR);
  }
  return {};
}

Result CallRoundF(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Number, Want::Par})) return {};
  return Text(FixedDecimalsText(ReadWholeNumber(a[1].text), ReadNumber(a[0])), Tag::ParR);
}

Result CallSqr(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Number})) return {};
  const long double x = ReadNumber(a[0]);
  return Text(host::FormatGeneral(x * x, '.'), Tag::ParR);
}

Result CallSqrt(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Number})) return {};
  const long double x = ReadNumber(a[0]);
  if (x < 0) {
    throw FormulaError("Invalid floating point operation: the square root of " +
                       std::string(a[0].text));
  }
  return Text(host::FormatGeneral(std::sqrt(x), '.'), Tag::ParR);
}

// --- Logic and selection ---

Result CallNot(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Bool})) return {};
  return Logical(!IsTrue(a[0].text));
}

Result CallIf(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Bool, Want::Value, Want::Value})) return {};
  const Operand& chosen = IsTrue(a[0].text) ? a[1] : a[2];
  return Text(chosen.text, chosen.tag == Tag::ParStr ? Tag::Str : chosen.tag);
}

Result CallFormNotNil(Args a, const CalculationContext&) {
  if (!Fits(a, {Want::Str})) return {};
  return Logical(FindNamedWindow(a[0].text) != nullptr);
}

// Keeps the calculator's working lists aside while nested calculations use them, and puts them
// back however those end. Swapping leaves the saved token texts where they are, so the operands
// (views into them) stay valid throughout.
class WorkListsGuard {
 public:
  WorkListsGuard() {
    WorkTokens().swap(tokens_);
    WorkTypes().swap(types_);
  }
  ~WorkListsGuard() {
    WorkTokens().swap(tokens_);
    WorkTypes().swap(types_);
  }
  WorkListsGuard(const WorkListsGuard&) = delete;
  WorkListsGuard& operator=(const WorkListsGuard&) = delete;

 private:
  TokenList tokens_;
  TypeList types_;
};

// The marker for "no key matched".
constexpr std::string_view kNoMatch = "$ELSE$";

// The j-th (from 0) item of a list split at ";", also past the end (empty).
std::string_view ListPart(std::string_view list, std::size_t index) {
  for (; index > 0; --index) {
    const std::size_t semicolon = list.find(';');
    if (semicolon == std::string_view::npos) return {};
    list.remove_prefix(semicolon + 1);
  }
  return list.substr(0, list.find(';'));
}

// CASESTR and CASENUM: the keys are formulas evaluated against the running calculation's record;
// the result formula of the first key whose value equals the value is evaluated, else the default.
Result CallCase(Args a, const CalculationContext& context, Tag resultTag) {
  if (!Fits(a, {Want::Scalar, Want::Arr, Want::Arr, Want::Scalar})) return {};
  const std::string_view value = a[0].text;
  const std::string_view keys = a[1].text;
  const std::string_view results = a[2].text;
  std::string chosen(kNoMatch);
  {
    const WorkListsGuard guard;
    const std::size_t count =
        static_cast<std::size_t>(std::count(keys.begin(), keys.end(), ';')) + 1;
    std::string_view rest = keys;
    for (std::size_t j = 0; j < count; ++j) {
      const std::size_t semicolon = rest.find(';');
      const std::string_view key = rest.substr(0, semicolon);
      rest.remove_prefix(semicolon == std::string_view::npos ? rest.size() : semicolon + 1);
      const FormulaValue keyValue = EvaluateFormulaOnce(key, context.recordSource, context.window);
      if (keyValue == value || (IsTrue(keyValue) && IsTrue(value))) {
        chosen = EvaluateFormulaOnce(ListPart(results, j), context.recordSource, context.window);
        break;
      }
    }
  }
  if (chosen == kNoMatch) return Text(a[3].text, resultTag);
  return Text(std::move(chosen), resultTag);
}

Result CallCaseStr(Args a, const CalculationContext& context) {
  return CallCase(a, context, Tag::Str);
}

Result CallCaseNum(Args a, const CalculationContext& context) {
  return CallCase(a, context, Tag::Par);
}

// --- Dispatch ---

using Handler = Result (*)(Args, const CalculationContext&);

}  // namespace

struct BuiltinFunction {
  std::string_view name;
  Handler call;
};

namespace {

using Function = BuiltinFunction;

// In the order of the translator's list.
constexpr std::array<Function, 50> kFunctions = {{
    {"AFTERATNUM", CallAfterAtNum},
    {"ALLTRIM", CallTrim<TrimText>},
    {"ATNUM", CallAtNum},
    {"ATTOKEN", CallAtToken},
    {"BEFORATNUM", CallBeforAtNum},
    {"LTRIM", CallTrim<TrimLeftText>},
    {"NUMAT", CallNumAt},
    {"PADL", CallPad<PadL>},
    {"PADR", CallPad<PadR>},
    {"PADC", CallPad<PadC>},
    {"REPLICATE", CallReplicate},
    {"RIGHT", CallRight},
    {"RTRIM", CallTrim<TrimRightText>},
    {"LEFT", CallLeft},
    {"SPACE", CallSpace},
    {"STRTRAN", CallStrTran},
    {"STUFF", CallStuff},
    {"TOKEN", CallToken},
    {"SUBSTR", CallSubStr},
    {"POS", CallPos},
    {"STR", CallStr},
    {"VAL", CallVal},
    {"DATE", CallDate},
    {"DTOC", CallDtoc},
    {"CTOD", CallCtod},
    {"YEAR", CallDatePart<7>},
    {"MONTH", CallDatePart<4>},
    {"DAY", CallDatePart<1>},
    {"YEARSTR", CallDatePartStr<7>},
    {"MONTHSTR", CallDatePartStr<4>},
    {"SQR", CallSqr},
    {"SQRT", CallSqrt},
    {"DAYSTR", CallDatePartStr<1>},
    {"NOT", CallNot},
    {"IF", CallIf},
    {"IN", CallIn},
    {"EMPTY", CallEmpty},
    {"LENGTH", CallLength},
    {"ROUND", CallRound},
    {"ROUNDF", CallRoundF},
    {"LATV", CallLatv},
    {"LATVDOS", CallLatvDos},
    {"GETKURS", CallGetKurs},
    {"FORMANALIT", CallFormAnalit},
    {"CASESTR", CallCaseStr},
    {"CASENUM", CallCaseNum},
    {"FORMNOTNIL", CallFormNotNil},
    {"ADDMONTH", CallAddMonth},
    {"BOM", CallBom},
    {"EOM", CallEom},
}};

constexpr std::array<std::string_view, kFunctions.size()> kNames = [] {
  std::array<std::string_view, kFunctions.size()> names{};
  for (std::size_t i = 0; i < kFunctions.size(); ++i)
    names[i] = kFunctions[i].name;
  return names;
}();

// The functions sorted by name for a binary search: a handful of comparisons per call.
constexpr std::array<Function, kFunctions.size()> kSortedFunctions = [] {
  std::array<Function, kFunctions.size()> sorted = kFunctions;
  std::sort(sorted.begin(), sorted.end(),
            [](const Function& x, const Function& y) { return x.name < y.name; });
  return sorted;
}();

// Where the sorted functions of each initial letter begin (entry 26 is the end): a call looks
// among a few names only.
constexpr std::array<std::size_t, 27> kInitialStarts = [] {
  std::array<std::size_t, 27> starts{};
  std::size_t at = 0;
  for (std::size_t letter = 0; letter < 26; ++letter) {
    while (at < kSortedFunctions.size() &&
           static_cast<std::size_t>(kSortedFunctions[at].name[0] - 'A') < letter) {
      ++at;
    }
    starts[letter] = at;
  }
  starts[26] = kSortedFunctions.size();
  return starts;
}();

}  // namespace

std::span<const std::string_view> BuiltinFunctionNames() {
  return kNames;
}

const BuiltinFunction* FindBuiltin(std::string_view upperName) {
  if (upperName.empty() || upperName[0] < 'A' || upperName[0] > 'Z') return nullptr;
  const auto letter = static_cast<std::size_t>(upperName[0] - 'A');
  for (std::size_t i = kInitialStarts[letter]; i < kInitialStarts[letter + 1]; ++i) {
    if (kSortedFunctions[i].name == upperName) return &kSortedFunctions[i];
  }
  return nullptr;
}

std::optional<CallResult> CallBuiltin(const BuiltinFunction& function,
                                      std::span<const Operand> args,
                                      const CalculationContext& context) {
  try {
    return function.call(args, context);
  } catch (const std::length_error& error) {
    // A result too long to build (REPLICATE('x', 2000000000)) ends the calculation, naming the
    // call.
    throw FormulaError(std::string(function.name) + ": " + error.what());
  }
}

std::optional<CallResult> CallBuiltin(std::string_view upperName, std::span<const Operand> args,
                                      const CalculationContext& context) {
  const BuiltinFunction* found = FindBuiltin(upperName);
  if (found == nullptr) return std::nullopt;
  return CallBuiltin(*found, args, context);
}

}  // namespace nox::formula
