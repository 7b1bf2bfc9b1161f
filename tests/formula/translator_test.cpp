// The translator: substitutions, the character scan, classification and operator merging, seen
// through the token:tag pairs of the finished lists.

#include "formula/translator.h"

#include <gtest/gtest.h>

#include "formula/formula.h"

namespace nox::formula {
namespace {

std::string Translated(std::string_view formula) {
  TokenList tokens;
  TypeList types;
  TranslateFormula(formula, tokens, types);
  EXPECT_EQ(tokens.size(), types.size());
  return TokenTagPairs(tokens, types);
}

struct TranslationCase {
  const char* formula;
  const char* pairs;
};

void PrintTo(const TranslationCase& example, std::ostream* out) {
  *out << example.formula;
}

class TranslationTest : public ::testing::TestWithParam<TranslationCase> {};

TEST_P(TranslationTest, GivesTokensAndTags) {
  EXPECT_EQ(Translated(GetParam().formula), GetParam().pairs) << GetParam().formula;
}

INSTANTIATE_TEST_SUITE_P(
    Examples, TranslationTest,
    ::testing::Values(
        TranslationCase{"SubStr(NAME,2,3)", "SubStr:Func (:( NAME:Pole ,:, 2:Par ,:, 3:Par ):) :"},
        TranslationCase{"PadL(Str(N),5,'0')",
                        "PadL:Func (:( Str:Func (:( N:Pole ):) ,:, 5:Par ,:, 0:ParStr ):) :"},
        TranslationCase{"A>=1 .AND. B<>2", "A:Pole >=:Znak 1:Par &:Znak B:Pole <>:Znak 2:Par"},
        TranslationCase{"'black and white'", "black&white:Str :"},
        TranslationCase{"-(A+B)", "-:- (:( A:Pole +:+ B:Pole ):) :"},
        TranslationCase{"(-A)", "(:( -A:Par ):) :"},
        TranslationCase{"2.5E-3+1", "2.5E-3:ParR +:+ 1:Par"},
        TranslationCase{"CASENUM(K,[1;2],[10;20],0)",
                        "CASENUM:Func (:( K:Pole ,:, 1;2:Arr ,:, 10;20:Arr ,:, 0:Par ):) :"},
        TranslationCase{"Orders.Total*2", "Orders.Total:Pole *:* 2:Par"},
        TranslationCase{"A&!B", "A:Pole &!:Znak B:Pole"},
        TranslationCase{"X = 'a]b'", "X:Pole =:Znak a]b:Str :"},
        TranslationCase{"  ORDER_NO ", "ORDER_NO:Pole"},
        // An empty text: one empty token.
        TranslationCase{"", ":"},
        // Without the letters AND or OR the spellings stay; with them only the listed ones change.
        TranslationCase{"A&B^C", "A:Pole &:Znak B:Pole ^:Znak C:Pole"},
        TranslationCase{"A aNd B", "AaNdB:Pole"},
        TranslationCase{"(A)or(B)", "(:( A:Pole ):) ^:Znak (:( B:Pole ):) :"},
        TranslationCase{"A .or. B", "A:Pole ^:Znak B:Pole"},
        // A bracketed list keeps quotes and spaces.
        TranslationCase{"[\"A\"; 'B']", "\"A\"; \"B\":Arr :"},
        // A minus after an operator or a comparison stays an operator.
        TranslationCase{"A = -1", "A:Pole =:Znak -:- 1:Par"},
        TranslationCase{"A*-1", "A:Pole *:* -:- 1:Par"}, TranslationCase{"-5", "-5:Par"},
        // An "E" before ")" makes the parenthesis part of an exponent, even after a name.
        TranslationCase{"(-NAME)", "(:( -NAME):ParR"}, TranslationCase{"-1.5", "-1.5:ParR"},
        // Either quote closes a literal; the next one opens another on the name before it.
        TranslationCase{"'a\"b'", "a:Str b:Str"},
        // Spaces join the parts of a name; after "," a name is still a name.
        TranslationCase{"FIRST NAME", "FIRSTNAME:Pole"},
        TranslationCase{"F(A, B)", "F:Pole (:( A:Pole ,:, B:Pole ):) :"},
        TranslationCase{"1e5", "1e5:ParR"}, TranslationCase{"date()", "date:Func (:( ):) :"},
        TranslationCase{"A=<B", "A:Pole =<:Znak B:Pole"},
        TranslationCase{"W.T.F+1", "W.T.F:Pole +:+ 1:Par"}));

TEST(TranslatorTest, EmptiesTheListsFirst) {
  TokenList tokens = {"old"};
  TypeList types = {Tag::Str};
  TranslateFormula("1", tokens, types);
  EXPECT_EQ(TokenTagPairs(tokens, types), "1:Par");
}

TEST(TranslatorTest, ExtraFunctionNamesBecomeFuncX) {
  ExtraFunctionList().push_back("Extra=something");
  const std::string pairs = Translated("extra(1)+left(A,1)");
  ExtraFunctionList().clear();
  EXPECT_EQ(pairs, "extra:FuncX (:( 1:Par ):) +:+ left:Func (:( A:Pole ,:, 1:Par ):) :");
}

TEST(TagsTest, TextsRoundTrip) {
  for (int value = 0; value <= static_cast<int>(Tag::Nil); ++value) {
    const auto tag = static_cast<Tag>(value);
    EXPECT_EQ(TagFromText(TagText(tag)), tag) << TagText(tag);
  }
  EXPECT_EQ(TagText(Tag::ParStr), "ParStr");
  EXPECT_EQ(TagText(Tag::Comma), ",");
  EXPECT_EQ(TagFromText("par"), std::nullopt);  // tags are compared exactly
}

}  // namespace
}  // namespace nox::formula
