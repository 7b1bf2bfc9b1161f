// The calculator's logic without a window: key sequences and what the display, the small display,
// the memory and the beeps show afterwards; the two result formats; the calling field's value on
// the way in and out.

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "calc/calc_logic.h"
#include "tests/support/host_test_support.h"

namespace nox::calc {
namespace {

using test::PinnedHostFormats;

struct Typed {
  std::string display;
  std::string prevOperand;
  std::string memory;
  int beeps = 0;
};

Typed Type(std::string_view keys) {
  Typed typed;
  CalcLogic logic([&typed] { ++typed.beeps; });
  for (CalcCommand command : ParseKeys(keys))
    logic.PressKey(command);
  typed.display = logic.Display();
  typed.prevOperand = logic.PrevOperand();
  typed.memory = logic.MemoryText();
  return typed;
}

TEST(CalcLogic, KeySequences) {
  struct Case {
    const char* keys;
    const char* display;
    int beeps;
  };
  const Case cases[] = {
      {"2+3=", " 5.", 0},
      {"2+3=*4=", " 20.", 0},
      {"2+3+", " 5.", 0},     // a second operator computes the pending one
      {"7/0=", " 0.", 1},     // refused before any evaluation ...
      {"7/0=2=", " 3.5", 1},  // ... and the division stays pending
      {"123456789.123+0.000456=", " 123456789.1234", 0},  // cut to 15 characters
      {"200+10%", " 20.", 0},                             // ten percent of 200
      {"10%", " 10.", 1},                                 // no first operand yet
      {"0", " 0.", 0},                                    // no leading zero
      {"0.05", " 0.05", 0},                               // after the point zeros count
      {"1234567890123", " 1234567890123.", 0},
      {"12345678901234", " 1234567890123.", 1},  // the fourteenth digit is refused
      {"1..5", " 1.5", 1},
      {"z", " 0.", 0},  // no sign on zero
      {"5z", "-5.", 0},
      {"5zz", " 5.", 0},
      {"5z-3=", "-8.", 0},  // negative operands go in parentheses
      {"2*5z=", "-10.", 0},
      {"2-5=", "-3.", 0},
      {"123{BS}", " 12.", 0},
      {"1.25{BS}", " 1.2", 0},
      {"1{BS}", " 0.", 1},
      {"5{DEL}", " 0.", 0},
      {"{DEL}", " 0.", 1},  // nothing typed to clear
      {"2+3{ESC}", " 0.", 0},
      {"16q", " 4.", 0},
      {"2q", " 1.414213562373", 0},
      {"5zq", "-5.", 1},  // no square root of a negative entry
      {"4x", " 0.25", 0},
      {"0x", " 0.", 1},  // no 1/x of zero
      {"9999999999999*10=", " 9.99999999999900E+0013", 0},
      {"0.0001-0.00005=", " 5E-5.", 0},
      {"0.0001-0.00005=z", "-5E-5.", 0},  // the sign is the first character only
      {"0.0001-0.00005=q", " 0.007071067811", 0},
  };
  const PinnedHostFormats formats;
  for (const Case& c : cases) {
    const Typed typed = Type(c.keys);
    EXPECT_EQ(typed.display, c.display) << c.keys;
    EXPECT_EQ(typed.beeps, c.beeps) << c.keys;
  }
}

TEST(CalcLogic, SmallDisplayAndMemory) {
  struct Case {
    const char* keys;
    const char* prevOperand;
    const char* memory;
  };
  const Case cases[] = {
      {"2+", " 2.", " 0."},        {"2+3=", " 5.", " 0."},  {"5s", " 0.", " 5."},
      {"5s3m", " 0.", " 8."},      {"5s2zm", " 0.", " 3."}, {"5sc", " 0.", " 0."},
      {"2+3={ESC}", " 0.", " 0."},
  };
  const PinnedHostFormats formats;
  for (const Case& c : cases) {
    const Typed typed = Type(c.keys);
    EXPECT_EQ(typed.prevOperand, c.prevOperand) << c.keys;
    EXPECT_EQ(typed.memory, c.memory) << c.keys;
  }
  // MR brings the memory back as the entry.
  EXPECT_EQ(Type("5s{ESC}r+1=").display, " 6.");
}

TEST(CalcLogic, ResultsReadTheHostSeparator) {
  const PinnedHostFormats formats(',');
  EXPECT_EQ(Type("1/4=").display, " 0.25");
  EXPECT_EQ(Type("1,5+1=").display, " 2.5");
}

TEST(CalcLogic, AvailabilityOfSquareRootAndInverse) {
  const PinnedHostFormats formats;
  CalcLogic logic;
  EXPECT_TRUE(logic.SquareRootAvailable());
  EXPECT_FALSE(logic.InverseAvailable());
  for (CalcCommand command : ParseKeys("3z"))
    logic.PressKey(command);
  EXPECT_FALSE(logic.SquareRootAvailable());
  EXPECT_TRUE(logic.InverseAvailable());
  logic.ClearAll();
  EXPECT_TRUE(logic.SquareRootAvailable());
  EXPECT_FALSE(logic.InverseAvailable());
}

TEST(CalcLogic, PastedTextIsTakenAsItIsAndFailsOnlyWhenUsed) {
  const PinnedHostFormats formats;
  CalcLogic logic;
  logic.Paste("abc");
  EXPECT_EQ(logic.Display(), "abc");
  EXPECT_TRUE(logic.NewNumber());
  EXPECT_THROW(logic.SquareRoot(), std::invalid_argument);
  logic.Paste("-4.");
  EXPECT_THROW(logic.SquareRoot(), std::domain_error);
  EXPECT_EQ(logic.Display(), "-4.");
}

TEST(CalcFormat, Results) {
  const std::pair<const char*, const char*> cases[] = {
      {"5", " 5."},
      {"2.50", " 2.5"},
      {"-3.000", "-3."},
      {"0.333333333333333", " 0.333333333333"},
      {"123456789.123456789", " 123456789.1234"},
      {"12345678901234567", " 1.23456789012346E+0016"},
      {"-98765432109876.5", "-9.87654321098765E+0013"},
      {"0.0000000000001234", " 1.23400000000000E-0013"},
      {"1.5E20", " 1.5E20"},  // an exponent keeps its zeros and its minus
      {"1.01E-10", " 1.01E-10"},
      {"5E-5", " 5E-5."},
  };
  for (const auto& [s, expected] : cases)
    EXPECT_EQ(FormatCalcResult(s), expected) << s;
}

TEST(CalcFormat, UnaryResults) {
  const std::pair<const char*, const char*> cases[] = {
      {"4", " 4."},
      {"0.250", " 0.25"},
      {"!!!ERROR!!!", " !!!ERROR!!!."},
      {"1.!!!0", " 1.!!!0"},  // an error text is left as it is
      {"1.5E-20", " 1.5E-20"},
      {"1.4142135623731", " 1.414213562373"},
      {"12345678901234567.5", " 1.2345678E+0016"},
      {"-0.00000000000001234567", "-1.2345670E-0014"},
  };
  for (const auto& [s, expected] : cases)
    EXPECT_EQ(FormatCalcUnary(s), expected) << s;
}

TEST(CalcTransfer, ValueOfTheCallingFieldInAndOut) {
  struct In {
    const char* text;
    bool canTransfer;
    char separator;
    const char* display;
  };
  const In ins[] = {
      {"12,5", true, ',', " 12.5"}, {"  -3", true, '.', "-3."},   {"abc", true, ',', " 0."},
      {"", true, '.', " 0."},       {"abc", false, '.', " abc."}, {"1,5", false, ',', " 1,5."},
  };
  for (const In& c : ins)
    EXPECT_EQ(InitialDisplay(c.text, c.canTransfer, c.separator), c.display) << c.text;

  EXPECT_EQ(TransferText(" 3.", ','), "3");
  EXPECT_EQ(TransferText(" 0.25", ','), "0,25");
  EXPECT_EQ(TransferText("-2.5", '.'), "-2.5");
}

TEST(CalcKeys, NamedKeysAndIgnoredCharacters) {
  EXPECT_EQ(ParseKeys("1a{ENTER}"),
            (std::vector<CalcCommand>{CalcCommand::Digit1, CalcCommand::Equals}));
  EXPECT_EQ(ParseKeys(",Q"),
            (std::vector<CalcCommand>{CalcCommand::Point, CalcCommand::SquareRoot}));
  EXPECT_THROW(ParseKeys("{TAB}"), std::invalid_argument);
  EXPECT_THROW(ParseKeys("1{BS"), std::invalid_argument);
}

}  // namespace
}  // namespace nox::calc
