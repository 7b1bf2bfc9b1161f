// The text library: searching, cutting, padding and tokens, including positions and counts that
// are negative, zero, beyond the end or huge.

#include "formula/text_library.h"

#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>
#include <string>

namespace nox::formula {
namespace {

struct StrTranCase {
  const char* s;
  const char* search;
  const char* replace;
  int start;
  int count;
  const char* expected;
};

TEST(TextLibraryTest, StrTranReplacesTheChosenOccurrences) {
  const StrTranCase cases[] = {
      {"a-b-c-d", "-", "+", 0, 0, "a+b+c+d"},
      {"a-b-c-d", "-", "+", 2, 1, "a-b+c-d"},
      {"a-b-c-d", "-", "+", 3, 0, "a-b-c+d"},
      {"a-b", "-", "+", 1, 0, "a+b"},
      {"a-b", "-", "+", 2, 0, "a-b"},
      {"aaaa", "aa", "b", 0, 0, "bb"},          // occurrences do not overlap
      {"abc", "", "x", 0, 0, "abc"},            // an empty search text has no occurrences
      {"a-b-c", "-", "", 0, 0, "abc"},          // replaced by nothing
      {"a-b-c", "-", "<->", 1, 1, "a<->b-c"},   // longer replacement keeps later positions
      {"a-b-c-d", "-", "+", -1, 3, "a+b-c-d"},  // numbers below 1 name no occurrence
      {"a-b-c-d", "-", "+", 2, -5, "a-b-c-d"},  // a negative count replaces nothing
      {"a-b-c-d", "-", "+", 2, INT_MAX, "a-b+c+d"},
      {"a-b-c-d", "-", "+", INT_MIN, INT_MAX, "a-b-c-d"},  // ends before occurrence 1
      {"a-b", "-", "+", INT_MAX, 1, "a-b"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StrTran(c.s, c.search, c.replace, c.start, c.count), c.expected)
        << c.s << " start " << c.start << " count " << c.count;
  }
}

struct AtNumCase {
  const char* search;
  const char* s;
  int n;
  int skip;
  int at;
  const char* before;
  const char* after;
};

TEST(TextLibraryTest, AtNumFindsTheNthOccurrenceBehindTheSkippedPart) {
  const AtNumCase cases[] = {
      {"-", "a-b-c", 2, 0, 4, "a-b", "c"},
      {"-", "a-b-c", 0, 0, 4, "a-b", "c"},  // 0: the last
      {"-", "a-b-c", 1, 2, 4, "a-b", "c"},
      {"-", "a-b-c", 1, 0, 2, "a", "b-c"},
      {"-", "a-b-c", 3, 0, 0, "", ""},
      {"x", "a-b-c", 1, 0, 0, "", ""},
      {"a", "abc", 1, 0, 1, "", "bc"},
      {"", "abc", 1, 0, 0, "", ""},
      {"-", "a-b-c", -1, 0, 0, "", ""},  // a negative n finds nothing
      {"-", "a-b-c", 1, -7, 2, "a", "b-c"},
      {"-", "a-b-c", 1, INT_MAX, 0, "", ""},
      {"-", "a-b-c", INT_MAX, INT_MIN, 0, "", ""},
      {"--", "a---b", 2, 0, 0, "", ""},  // the occurrences do not overlap
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.search) + " in " + c.s + " n " + std::to_string(c.n) + " skip " +
                 std::to_string(c.skip));
    EXPECT_EQ(AtNum(c.search, c.s, c.n, c.skip), c.at);
    EXPECT_EQ(BeforAtNum(c.search, c.s, c.n, c.skip), c.before);
    EXPECT_EQ(AfterAtNum(c.search, c.s, c.n, c.skip), c.after);
  }
}

struct TokenCase {
  const char* s;
  const char* delimiters;
  int n;
  int width;
  const char* expected;
};

TEST(TextLibraryTest, TokenCutsAtEveryDelimiterText) {
  const TokenCase cases[] = {
      {"a,b,,c", ",", 1, 0, "a"},
      {"a,b,,c", ",", 3, 0, ""},
      {"a,b,,c", ",", 4, 0, "c"},
      {"a,b,,c", ",", 0, 0, "c"},
      {"a,b,,c", ",", 5, 0, ""},
      {"x--y--z", "--", 2, 0, "y"},
      {"a;b,c", ",;", 2, 1, "b"},
      {"a;b,c", ",;", 3, 1, "c"},
      {"abc", ",", 1, 0, "abc"},  // no delimiter: the whole text
      {"abc", "", 1, 0, "abc"},
      {"a,b", ",", -1, 0, ""},  // negative n
      {"a,b", ",", INT_MAX, 0, ""},
      {"a,b", ",", 1, 5, "a,b"},   // wider than the delimiters: none
      {"a,b", ",", 1, -3, "a,b"},  // negative width: none
      {"a,b", ",", 1, INT_MAX, "a,b"},
      {"", ",", 1, 0, ""},
      {"", ",", 0, 0, ""},
      {",", ",", 2, 0, ""},
      // A delimiter text named twice counts twice: an empty token between.
      {"a,b", ",,", 2, 1, ""},
      {"a,b", ",,", 3, 1, "b"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Token(c.s, c.delimiters, c.n, c.width), c.expected)
        << c.s << " / " << c.delimiters << " n " << c.n << " width " << c.width;
  }
}

struct PadCase {
  std::string (*pad)(std::string_view, int, std::string_view);
  const char* s;
  int length;
  const char* fill;
  const char* expected;
};

TEST(TextLibraryTest, PaddingAlignsAndCuts) {
  const PadCase cases[] = {
      {PadL, "7", 3, "0", "007"},        {PadL, "12345", 3, "0", "345"},
      {PadL, "ab", 5, "xy", "yxyab"},    {PadL, "ab", 5, "", "ab"},
      {PadL, "ab", 0, "*", ""},          {PadL, "ab", INT_MIN, "*", ""},
      {PadR, "ab", 4, ".", "ab.."},      {PadR, "abcdef", 3, ".", "abc"},
      {PadR, "ab", 5, "xy", "abxyx"},    {PadR, "ab", -1, ".", ""},
      {PadC, "ab", 7, "*", "**ab***"},   {PadC, "abc", 8, "*", "**abc***"},
      {PadC, "ab", 8, "*", "***ab***"},  {PadC, "abcdef", 3, "*", "cde"},
      {PadC, "abcdef", 5, "*", "abcde"},  // left rounds -0.5 to 0
      {PadC, "a", 4, "xy", "xyax"},      {PadC, "ab", 6, "", "ab"},
      {PadC, "ab", INT_MIN, "*", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.pad(c.s, c.length, c.fill), c.expected)
        << c.s << " length " << c.length << " fill " << c.fill;
  }
}

TEST(TextLibraryTest, HugeResultsFailClearlyInsteadOfExhaustingMemory) {
  EXPECT_THROW(Replicate("ab", INT_MAX), std::length_error);
  EXPECT_THROW(Space(INT_MAX), std::length_error);
  EXPECT_THROW(PadL("a", INT_MAX, "*"), std::length_error);
  EXPECT_THROW(PadC("a", INT_MAX, "*"), std::length_error);
  // Only the result counts: a long fill with a short length, or no fill at all, is fine.
  EXPECT_EQ(PadC("a", INT_MAX, ""), "a");
  EXPECT_EQ(PadR("a", INT_MAX, ""), "a");
  EXPECT_EQ(PadL("a", 3, std::string(1000, '*')), "**a");
  EXPECT_EQ(Replicate("", INT_MAX), "");
}

struct PositionCase {
  const char* s;
  const char* c;
  int n;
  int expected;
};

TEST(TextLibraryTest, AtTokenCountsMatchingCharactersFromEitherEnd) {
  const PositionCase cases[] = {
      {"a-b-c", "-", 2, 4},
      {"a-b-c", "-", 0, 4},
      {"a-b-c", "-", -2, 2},
      {"a-b-c", "x", 1, 6},
      {"a-b-c", "x", -1, 0},
      {"a-b-c", "-", 3, 6},
      {"a-b-c", "-", -3, 0},
      {"a-b-c", "-b", 1, 6},
      {"a-b-c", "", 1, 6},
      {"", "-", 1, 1},
      {"", "-", 0, 0},
      {"a-b-c", "-", INT_MIN, 0},
      {"a-b-c", "-", INT_MAX, 6},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(AtToken(c.s, c.c, c.n), c.expected) << c.s << " " << c.c << " " << c.n;
  }
}

TEST(TextLibraryTest, NumAtCountsFromAPosition) {
  const PositionCase cases[] = {
      {"banana", "a", 1, 3}, {"banana", "a", 3, 2},       {"aaaa", "aa", 0, 2},
      {"banana", "a", 7, 0}, {"banana", "a", INT_MIN, 3}, {"banana", "a", INT_MAX, 0},
      {"banana", "", 1, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NumAt(c.c, c.s, c.n), c.expected) << c.c << " in " << c.s << " from " << c.n;
  }
}

struct StuffCase {
  const char* s;
  int start;
  int count;
  const char* insert;
  const char* expected;
};

TEST(TextLibraryTest, StuffRemovesAndInserts) {
  const StuffCase cases[] = {
      {"abcdef", 2, 3, "XY", "aXYef"},
      {"abc", 9, 1, "Z", "abcZ"},
      {"abc", 0, 1, "Z", "Zabc"},
      {"abc", 2, 99, "", "a"},
      {"abc", 2, 99, "Z", "aZ"},
      {"abc", 2, 0, "Z", "aZbc"},
      {"abc", 2, -1, "Z", "aZbc"},
      {"abc", 3, 1, "", "ab"},
      {"", 1, 1, "Z", "Z"},
      {"abc", INT_MIN, INT_MAX, "Z", "Zabc"},
      {"abc", INT_MAX, INT_MAX, "Z", "abcZ"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Stuff(c.s, c.start, c.count, c.insert), c.expected)
        << c.s << " " << c.start << " " << c.count << " " << c.insert;
  }
}

struct CutCase {
  const char* s;
  std::int64_t start;
  std::int64_t count;
  const char* expected;
};

TEST(TextLibraryTest, SubStrAndRightClipToTheText) {
  const CutCase cases[] = {
      {"abcdef", 0, 3, "abc"},        {"abcdef", 5, 9, "ef"},
      {"abcdef", -5, 3, "abc"},       {"abcdef", 7, 1, ""},
      {"abcdef", 2, -1, ""},          {"", 1, 1, ""},
      {"abcdef", INT64_MIN, 2, "ab"}, {"abcdef", 3, INT64_MAX, "cdef"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SubStr(c.s, c.start, c.count), c.expected) << c.s << " " << c.start << " " << c.count;
  }
  EXPECT_EQ(Right("abc", 2), "bc");
  EXPECT_EQ(Right("abc", 5), "abc");
  EXPECT_EQ(Right("abc", 0), "");
  EXPECT_EQ(Right("abc", INT64_MIN), "");
}

TEST(TextLibraryTest, BlanksAreCodesUpTo32) {
  EXPECT_TRUE(IsBlankText(""));
  EXPECT_TRUE(IsBlankText("   "));
  EXPECT_TRUE(IsBlankText(std::string("\t\r\n\0 ", 5)));
  EXPECT_FALSE(IsBlankText(" a "));
  EXPECT_FALSE(IsBlankText("\xA0"));  // a byte above 127 is a letter of the code page
  EXPECT_EQ(TrimText("\t a b \n"), "a b");
  EXPECT_EQ(TrimLeftText("  ab  "), "ab  ");
  EXPECT_EQ(TrimRightText("  ab  "), "  ab");
  EXPECT_EQ(TrimText("\xF0 "), "\xF0");
}

TEST(TextLibraryTest, PosAndRepetition) {
  EXPECT_EQ(Pos("b", "abcb"), 2);
  EXPECT_EQ(Pos("x", "abc"), 0);
  EXPECT_EQ(Pos("", "abc"), 0);
  EXPECT_EQ(Replicate("ab", 3), "ababab");
  EXPECT_EQ(Replicate("ab", -3), "");
  EXPECT_EQ(Space(2), "  ");
}

}  // namespace
}  // namespace nox::formula
