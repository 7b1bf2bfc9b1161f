// The entry points: the cache of translations, the working lists and the value rules with the
// host's decimal separator.

#include <gtest/gtest.h>

#include "formula/formula.h"
#include "formula/formula_cache.h"
#include "formula/translator.h"
#include "host/host_formats.h"
#include "tests/formula/formula_test_support.h"

namespace nox::formula {
namespace {

using test::CapturedMessages;
using test::PinnedHostFormats;

TEST(FormulaEntryTest, EmptyFormulaYieldsEmptyText) {
  const PinnedHostFormats formats;
  EXPECT_EQ(EvaluateFormula("", nullptr, nullptr), "");
  EXPECT_EQ(EvaluateFormulaOnce("", nullptr, nullptr), "");
  EXPECT_TRUE(WorkTokens().empty());
}

TEST(FormulaEntryTest, FormulasDifferingInCaseShareOneTranslation) {
  const PinnedHostFormats formats;
  FormulaCache& cache = FormulaCache::Instance();
  const std::size_t before = cache.Size();
  EXPECT_EQ(EvaluateFormula("LEFT('abc',2)", nullptr, nullptr), "ab");
  EXPECT_EQ(EvaluateFormula("left('ABC',2)", nullptr, nullptr), "ab");
  EXPECT_EQ(cache.Size(), before + 1);
  // Only a to z are folded: other letters make other keys.
  EXPECT_EQ(EvaluateFormula("'\xE4'", nullptr, nullptr), "\xE4");
  EXPECT_EQ(EvaluateFormula("'\xC4'", nullptr, nullptr), "\xC4");
  EXPECT_EQ(cache.Size(), before + 3);
  // Nothing is cached by the one-off evaluation.
  EXPECT_EQ(EvaluateFormulaOnce("'once'+'only'", nullptr, nullptr), "onceonly");
  EXPECT_EQ(cache.Size(), before + 3);
}

TEST(FormulaEntryTest, CachedTranslationIsTheTranslatorsOwn) {
  EvaluateFormula("SubStr(NAME,2,3)", nullptr, nullptr);
  std::string key;
  FormulaCache::MakeKey("subSTR(name,2,3)", key);
  EXPECT_EQ(key, "SUBSTR(NAME,2,3)");
  const TDuplStrList* entry = FormulaCache::Instance().Find(key);
  ASSERT_NE(entry, nullptr);
  EXPECT_EQ(TokenTagPairs(entry->Tokens(), entry->Types()),
            "SubStr:Func (:( NAME:Pole ,:, 2:Par ,:, 3:Par ):) :");
}

TEST(FormulaEntryTest, DecimalResultsUseTheHostSeparator) {
  const struct {
    char separator;
    const char* formula;
    const char* value;
  } cases[] = {
      {',', "1.5", "1,5"},
      {',', "1+0.25", "1,25"},
      {',', "15", "15"},
      {',', "'1.5'", "1.5"},  // a text keeps its point
      {',', "2.5E-3", "2,5E-3"},
      {' ', "1.5", "1.5"},  // a blank separator counts as "."
      {'\t', "1.5", "1.5"},
      // A nested calculation sees "." as the host's separator.
      {',', "CASESTR(1,[1;2],[1.5;2.5],'0')", "1.5"},
  };
  for (const auto& example : cases) {
    const PinnedHostFormats formats(example.separator);
    EXPECT_EQ(EvaluateFormula(example.formula, nullptr, nullptr), example.value)
        << example.formula << " with '" << example.separator << "'";
    EXPECT_EQ(host::HostFormats::DecimalSeparator(), example.separator);
  }
}

TEST(FormulaEntryTest, BlankDecimalResultIsZero) {
  const PinnedHostFormats formats(',');
  EXPECT_EQ(CalculateFormula({" "}, {Tag::ParR}, nullptr, nullptr), "0");
  EXPECT_EQ(CalculateFormula({""}, {Tag::ParR}, nullptr, nullptr), "0");
}

TEST(FormulaEntryTest, ErrorRestoresTheSeparatorAndKeepsTheLists) {
  const PinnedHostFormats formats(',');
  CapturedMessages messages;
  EXPECT_THROW(EvaluateFormula("2.5*(1/0)", nullptr, nullptr), FormulaError);
  EXPECT_EQ(host::HostFormats::DecimalSeparator(), ',');
  EXPECT_EQ(TokenTagPairs(WorkTokens(), WorkTypes()), "2.5:ParR *:* (:( 1:Par /:/ 0:Par ):)");
  EXPECT_TRUE(messages.texts.empty());
}

TEST(FormulaEntryTest, FailureRestoresTheSeparatorToo) {
  const PinnedHostFormats formats(',');
  CapturedMessages messages;
  EXPECT_EQ(EvaluateFormula("1.5+'x'", nullptr, nullptr), "!!!ERROR!!!");
  EXPECT_EQ(host::HostFormats::DecimalSeparator(), ',');
  ASSERT_EQ(messages.texts.size(), 1u);
  EXPECT_EQ(messages.texts[0], "Can not evaluate expression:\r\r1.5+x");
}

TEST(NamedWindowTest, FindsOpenWindowsWithoutRegardToCase) {
  {
    const test::TestWindow window("FormConvert");
    EXPECT_EQ(FindNamedWindow("formCONVERT"), &window);
    EXPECT_EQ(FindNamedWindow("FormConv"), nullptr);
  }
  EXPECT_EQ(FindNamedWindow("FormConvert"), nullptr);
}

}  // namespace
}  // namespace nox::formula
