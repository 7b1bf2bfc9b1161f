// Compiled formulas against the calculator: generated formulas agree in value, tag, error and
// message on every record, and the common shapes are replayed rather than recalculated.

#include "formula/compiled_formula.h"

#include <gtest/gtest.h>

#include <random>

#include "fuzz/formula_differential.h"
#include "tests/formula/formula_test_support.h"

namespace nox::formula {
namespace {

class CompiledFormulaTest : public ::testing::Test {
 protected:
  test::PinnedHostFormats formats;
  std::unique_ptr<tables::TTable> table = [] {
    auto made = std::make_unique<tables::TTable>();
    made->OpenOnStorage(
        nox::test::MakeMemoryStorage(differential::Fields(), {}, differential::Records()));
    return made;
  }();
};

TEST_F(CompiledFormulaTest, GeneratedFormulasAgreeWithTheCalculator) {
  std::mt19937 random(20261209);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int i = 0; i < 3000; ++i) {
    std::vector<std::uint8_t> bytes(48);
    for (std::uint8_t& b : bytes)
      b = static_cast<std::uint8_t>(byte(random));
    differential::Choices choices(bytes);
    const std::string formula = differential::Formula(choices);
    const std::string disagreement = differential::Disagreement(formula, *table);
    ASSERT_TRUE(disagreement.empty()) << disagreement;
  }
}

// What a field holds after a value is assigned to it, or the error that refused the value.
struct FieldOutcome {
  tables::Value value;
  std::string error;
  bool operator==(const FieldOutcome&) const = default;
};

template <typename Assignment>
FieldOutcome Assign(tables::TField& field, Assignment assign) {
  FieldOutcome outcome;
  try {
    field.SetValue(assign());
    outcome.value = field.GetValue();
  } catch (const std::exception& error) {
    outcome.error = error.what();
  }
  return outcome;
}

TEST_F(CompiledFormulaTest, NumbersHandedToFieldsAreWhatTheFieldsReadFromTheirTexts) {
  using tables::FieldType;
  tables::TTable target;
  target.OpenOnStorage(nox::test::MakeMemoryStorage({{"I", FieldType::Integer},
                                                     {"S", FieldType::SmallInt},
                                                     {"F", FieldType::Float},
                                                     {"C", FieldType::Currency}},
                                                    {}, {}));
  target.Append();
  const ValueTarget targets[] = {ValueTarget::WholeNumber, ValueTarget::WholeNumber,
                                 ValueTarget::Number, ValueTarget::Number};
  std::mt19937 random(20261211);
  std::uniform_int_distribution<int> byte(0, 255);
  for (const char separator : {'.', ',', ' '}) {
    const test::PinnedHostFormats hostSeparator(separator);
    for (int i = 0; i < 500; ++i) {
      std::vector<std::uint8_t> bytes(48);
      for (std::uint8_t& b : bytes)
        b = static_cast<std::uint8_t>(byte(random));
      differential::Choices choices(bytes);
      const std::string formula = differential::Formula(choices);
      TokenList tokens;
      TypeList types;
      TranslateFormula(formula, tokens, types);
      CompiledFormula compiled(tokens, types);
      const differential::MessageRecorder quiet;
      for (int walk = 0; walk < 2; ++walk) {
        for (table->First(); !table->Eof(); table->Next()) {
          for (int f = 0; f < 4; ++f) {
            tables::TField& field = target.Fields(f);
            const FieldOutcome expected = Assign(field, [&] {
              return tables::Value::Text(CalculateFormula(tokens, types, table.get(), nullptr));
            });
            const FieldOutcome actual = Assign(field, [&] {
              tables::Value value = tables::Value::Text("the value before");
              compiled.CalculateValue(table.get(), nullptr, targets[f], value);
              return value;
            });
            ASSERT_EQ(expected, actual) << formula << " into " << field.FieldName() << ": "
                                        << expected.error << " / " << actual.error;
          }
        }
      }
    }
  }
}

struct PathCase {
  const char* formula;
  CompiledFormula::Path path;  // on the last record of a second walk
};

void PrintTo(const PathCase& example, std::ostream* out) {
  *out << example.formula;
}

class CompiledPathTest : public CompiledFormulaTest,
                         public ::testing::WithParamInterface<PathCase> {};

TEST_P(CompiledPathTest, TakesThePath) {
  const std::string disagreement = differential::Disagreement(GetParam().formula, *table);
  ASSERT_TRUE(disagreement.empty()) << disagreement;
  TokenList tokens;
  TypeList types;
  TranslateFormula(GetParam().formula, tokens, types);
  CompiledFormula compiled(tokens, types);
  const test::CapturedMessages messages;
  for (table->First(); !table->Eof(); table->Next()) {
    try {
      compiled.Calculate(table.get(), nullptr);
    } catch (const std::exception&) {
      // a record the formula fails on; the differential check above compared the errors
    }
  }
  EXPECT_EQ(compiled.LastPath(), GetParam().path);
}

using Path = CompiledFormula::Path;
INSTANTIATE_TEST_SUITE_P(
    Shapes, CompiledPathTest,
    ::testing::Values(PathCase{"M*2", Path::Replayed}, PathCase{"NAME", Path::Replayed},
                      PathCase{"ALLTRIM(NAME)+'-'+STR(M)", Path::Replayed},
                      PathCase{"ROUND(P*1.21,2)", Path::Replayed},
                      PathCase{"IF(B,'yes','no')", Path::Replayed},
                      PathCase{"(2+3)*4>M .and. !EMPTY(NAME)", Path::Replayed},
                      PathCase{"1+", Path::Replayed},
                      // the calls a replay makes itself, on the values that stop it
                      PathCase{"ROUND(P*1E9)*2", Path::Replayed},
                      PathCase{"ROUND(P/3,M)+ROUND(N)", Path::Replayed},
                      PathCase{"SUBSTR(NAME,M,3)+LEFT(T,M)+RIGHT(RTRIM(NAME),M)", Path::Replayed},
                      PathCase{"STR(P*M)+'/'+STR(N/M)", Path::Recorded},
                      // the last quotient is whole after a broken one: watched again
                      PathCase{"18/(M+1)", Path::Recorded},
                      PathCase{"CASESTR(M,[3],['three'],'other')", Path::Calculator},
                      PathCase{"FormMain.TableSource.N+1", Path::Calculator}));

}  // namespace
}  // namespace nox::formula
