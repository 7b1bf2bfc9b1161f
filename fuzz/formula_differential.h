#pragma once
// The differential check of compiled formulas, shared by their test and their fuzz target:
// formulas generated from the language's grammar over a table whose records are chosen to make
// the data decide tags (whole and broken quotients, IF branches, empty fields, division by zero)
// and to give floats of every written form (exponents, 15 digits, short fractions),
// each calculated by the calculator and by a compiled formula record after record; the two must
// agree on value, tag, error and messages.

#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "formula/calculator.h"
#include "formula/compiled_formula.h"
#include "formula/formula.h"
#include "formula/function_library.h"
#include "host/date_time.h"
#include "host/messages.h"
#include "tables/table.h"

namespace nox::formula::differential {

inline const std::vector<tables::FieldDef>& Fields() {
  using tables::FieldType;
  static const std::vector<tables::FieldDef> fields = {
      {"NAME", FieldType::String, 20}, {"N", FieldType::Integer}, {"M", FieldType::Integer},
      {"P", FieldType::Float},         {"D", FieldType::Date},    {"B", FieldType::Boolean},
      {"T", FieldType::String, 10}};
  return fields;
}

inline std::vector<tables::Record> Records() {
  using tables::Value;
  const auto day = [](int y, int m, int d) { return Value::Date(host::EncodeDate({y, m, d})); };
  return {
      {Value::Text("Smith"), Value::Integer(7), Value::Integer(2), Value::Float(2.5),
       day(2004, 3, 15), Value::Boolean(true), Value::Text("12")},
      {Value::Text("Smith"), Value::Integer(8), Value::Integer(2), Value::Float(-0.125),
       day(1999, 12, 31), Value::Boolean(false), Value::Text(" 7")},
      {Value::Text(" Ozols "), Value::Integer(-3), Value::Integer(0), Value::Float(1e20),
       Value::Null(), Value::Boolean(true), Value::Text("a;b")},
      {Value::Text(""), Value::Null(), Value::Integer(5), Value::Null(), day(2024, 2, 29),
       Value::Null(), Value::Text("")},
      {Value::Text("Berzins"), Value::Integer(2147483647), Value::Integer(3), Value::Float(0.1),
       day(2000, 1, 1), Value::Boolean(false), Value::Text("1.5")},
      {Value::Text("Kalnins"), Value::Integer(0), Value::Integer(-4), Value::Float(0.00001),
       day(1900, 1, 1), Value::Boolean(true), Value::Text("x")},
      {Value::Text("Liepa"), Value::Integer(-2147483647), Value::Integer(3),
       Value::Float(999999999.999999), day(2026, 12, 9), Value::Boolean(false), Value::Text("3")},
      // halves that binary fractions miss, and more digits than a rounding keeps
      {Value::Text("  Egle"), Value::Integer(1000), Value::Integer(7), Value::Float(2.675),
       day(2010, 6, 30), Value::Boolean(true), Value::Text("-8")},
      {Value::Text("Vitols "), Value::Integer(-15), Value::Integer(1), Value::Float(-1234567.891),
       day(1987, 5, 4), Value::Boolean(false), Value::Text("0.005")},
  };
}

// Reads choices from fuzz bytes (or any byte source); zeros once they run out.
class Choices {
 public:
  explicit Choices(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  std::size_t Pick(std::size_t count) {
    if (count <= 1) return 0;
    const std::uint8_t byte = at_ < bytes_.size() ? bytes_[at_++] : 0;
    return byte % count;
  }
  bool Exhausted() const { return at_ >= bytes_.size(); }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
};

// A formula from the grammar: values (fields, numbers, texts, lists, unknown names, numbers no
// double or no 32-bit integer holds), unary minus
// after "(", arithmetic, comparisons, logic in both spellings, negation, parentheses and calls of
// the built-in functions with up to five arguments.
inline std::string Formula(Choices& choices, int depth = 0) {
  static constexpr std::string_view kAtoms[] = {"NAME",
                                                "N",
                                                "M",
                                                "P",
                                                "D",
                                                "B",
                                                "T",
                                                "NOSUCH",
                                                "0",
                                                "2",
                                                "7",
                                                "-1",
                                                "2.5",
                                                "0.1",
                                                "1E-3",
                                                "'abc'",
                                                "' 12'",
                                                "''",
                                                "'15.03.2004'",
                                                "[a;b]",
                                                "[1;2;3]",
                                                "'x;y'",
                                                "\"Q\"",
                                                "100000",
                                                "1E400",
                                                "3000000000",
                                                "1.21",
                                                "0.005",
                                                "-12.345"};
  static constexpr std::string_view kOperators[] = {
      "+", "-", "*", "/", ">", "<", "=", ">=", "<=", "<>", "#", "&", "^", " and ", " .or. ", "!="};
  const std::size_t shape = depth >= 4 ? 0 : choices.Pick(10);
  switch (shape) {
    case 1:
    case 2:
      return Formula(choices, depth + 1) +
             std::string(kOperators[choices.Pick(std::size(kOperators))]) +
             Formula(choices, depth + 1);
    case 3:
      return "(" + Formula(choices, depth + 1) + ")";
    case 4:
      return "(-" + Formula(choices, depth + 1) + ")";
    case 5:
      return "!" + Formula(choices, depth + 1);
    case 6:
    case 7: {
      const std::span<const std::string_view> names = BuiltinFunctionNames();
      std::string call(names[choices.Pick(names.size())]);
      call += "(";
      const std::size_t arguments = choices.Pick(6);
      for (std::size_t i = 0; i < arguments; ++i) {
        if (i > 0) call += ",";
        call += Formula(choices, depth + 1);
      }
      return call + ")";
    }
    case 8:
    case 9: {
      // With its own arguments, mostly of the kinds it takes: the calls a replay makes itself,
      // and their neighbours. S a text, N a number, W a whole number.
      static constexpr std::pair<std::string_view, std::string_view> kCalls[] = {
          {"ALLTRIM", "S"}, {"LTRIM", "S"},   {"RTRIM", "S"},  {"SUBSTR", "SWW"},
          {"LEFT", "SW"},   {"RIGHT", "SW"},  {"STR", "N"},    {"ROUND", "N"},
          {"ROUND", "NW"},  {"ROUNDF", "NW"}, {"PADL", "SWS"}, {"VAL", "S"}};
      static constexpr std::string_view kTexts[] = {"NAME",     "T",      "' 12 '", "''",
                                                    "NAME+'-'", "STR(N)", "D"};
      static constexpr std::string_view kNumbers[] = {
          "P", "P*1.21", "N", "M", "P/3", "N/8", "1.21", "-12.345", "P+0.005", "1E-3", "1.2.3"};
      static constexpr std::string_view kWholes[] = {"0", "1", "2", "3", "M", "-1", "N", "M*2"};
      const auto& [name, kinds] = kCalls[choices.Pick(std::size(kCalls))];
      std::string call(name);
      call += "(";
      for (std::size_t i = 0; i < kinds.size(); ++i) {
        if (i > 0) call += ",";
        const std::size_t pick = choices.Pick(8);
        if (pick == 0) {
          call += Formula(choices, depth + 1);
        } else if (kinds[i] == 'S') {
          call += kTexts[pick % std::size(kTexts)];
        } else if (kinds[i] == 'N') {
          call += kNumbers[choices.Pick(std::size(kNumbers))];
        } else {
          call += kWholes[choices.Pick(std::size(kWholes))];
        }
      }
      return call + ")";
    }
    default:
      return std::string(kAtoms[choices.Pick(std::size(kAtoms))]);
  }
}

// What one calculation gave: its value and tag, or the error it raised, and the messages shown.
struct Outcome {
  std::string value;
  Tag tag = Tag::Empty;
  std::string error;
  std::string messages;

  bool operator==(const Outcome&) const = default;
};

class MessageRecorder : public host::MessageSink {
 public:
  MessageRecorder() : previous_(host::SetMessageSink(this)) {}
  ~MessageRecorder() override { host::SetMessageSink(previous_); }
  MessageRecorder(const MessageRecorder&) = delete;
  MessageRecorder& operator=(const MessageRecorder&) = delete;
  void ShowMessage(host::MessageKind, std::string_view text) override {
    texts.append(text).append("\n");
  }
  std::string texts;

 private:
  host::MessageSink* previous_;
};

template <typename Calculation>
Outcome Observe(Calculation calculate) {
  const MessageRecorder messages;
  Outcome outcome;
  try {
    outcome.value = calculate(outcome.tag);
  } catch (const std::exception& error) {
    outcome.error = error.what();
  }
  outcome.messages = messages.texts;
  return outcome;
}

inline std::string Describe(const Outcome& outcome) {
  return "value '" + outcome.value + "' tag " + std::string(TagText(outcome.tag)) + " error '" +
         outcome.error + "' messages '" + outcome.messages + "'";
}

// Walks the table's records twice (the second walk replays what the first recorded) and gives
// the first disagreement between the calculator and the compiled formula, or an empty text.
inline std::string Disagreement(std::string_view formula, tables::TTable& table) {
  TokenList tokens;
  TypeList types;
  TranslateFormula(formula, tokens, types);
  CompiledFormula compiled(tokens, types);
  for (int walk = 0; walk < 2; ++walk) {
    int record = 0;
    for (table.First(); !table.Eof(); table.Next(), ++record) {
      const Outcome expected = Observe([&](Tag& tag) {
        FormulaValue value = CalculateFormula(tokens, types, &table, nullptr);
        tag = WorkTypes().size() == 1 ? WorkTypes().front() : Tag::Empty;
        return value;
      });
      const Outcome actual = Observe([&](Tag& tag) {
        FormulaValue value = compiled.Calculate(&table, nullptr);
        tag = compiled.LastTag();
        return value;
      });
      if (!(expected == actual)) {
        return std::string(formula) + " at record " + std::to_string(record) + ": calculator " +
               Describe(expected) + "; compiled " + Describe(actual);
      }
    }
  }
  return {};
}

}  // namespace nox::formula::differential
