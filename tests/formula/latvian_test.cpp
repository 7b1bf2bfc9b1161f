#include "formula/latvian.h"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace nox::formula {
namespace {

using tables::Value;

struct Letter {
  unsigned char windows;
  unsigned char dos;
};

// The letter table, rows 1 to 21.
constexpr std::array<Letter, 21> kRows = {{
    {0xF0, 0xFD}, {0xC7, 0xF0}, {0xE7, 0xF1}, {0xDE, 0xF8}, {0xDB, 0xDE}, {0xFB, 0xDD},
    {0xCE, 0xD7}, {0xEE, 0xD8}, {0xC2, 0xB5}, {0xE2, 0xC6}, {0xF2, 0xB7}, {0xCC, 0xF2},
    {0xEC, 0xD6}, {0xCD, 0xF4}, {0xED, 0xF3}, {0xCF, 0xF6}, {0xEF, 0xF5}, {0xFE, 0xF7},
    {0xC8, 0xD3}, {0xD2, 0xFC}, {0xE8, 0xD2},
}};
// The order in which the DOS-to-Windows direction applies the rows.
constexpr std::array<int, 21> kDosToWinRowOrder = {2,  3,  5,  6,  7, 8,  9,  10, 1,  12, 13,
                                                   14, 15, 16, 17, 4, 18, 19, 21, 20, 11};

std::string AllBytes() {
  std::string text;
  for (int b = 0; b < 256; ++b)
    text += static_cast<char>(b);
  return text;
}

std::string ReplaceEvery(std::string text, unsigned char from, unsigned char to) {
  for (char& c : text) {
    if (static_cast<unsigned char>(c) == from) c = static_cast<char>(to);
  }
  return text;
}

TEST(LatvianTest, ConvertsTheLettersOfTheExamples) {
  EXPECT_EQ(LatvianDosToWin("\xFD\xF0\xF1"), "\xF0\xC7\xE7");
  EXPECT_EQ(LatvianWinToDos("\xF0\xC7\xE7"), "\xFD\xF0\xF1");
  EXPECT_EQ(LatvianDosToWin(LatvianWinToDos("\xF0\xC7\xE7")), "\xF0\xC7\xE7");
  EXPECT_EQ(LatvianDosToWin("R\xF1ga 2024"), "R\xE7ga 2024");
  EXPECT_EQ(LatvianWinToDos(""), "");
}

TEST(LatvianTest, EachRowMapsBothWaysAndEveryOtherByteStays) {
  std::array<bool, 256> windowsCode{};
  std::array<bool, 256> dosCode{};
  for (const Letter& row : kRows) {
    SCOPED_TRACE(::testing::Message() << std::hex << int{row.windows});
    EXPECT_EQ(LatvianWinToDos(std::string(1, static_cast<char>(row.windows))),
              std::string(1, static_cast<char>(row.dos)));
    EXPECT_EQ(LatvianDosToWin(std::string(1, static_cast<char>(row.dos))),
              std::string(1, static_cast<char>(row.windows)));
    windowsCode[row.windows] = true;
    dosCode[row.dos] = true;
  }
  const std::string all = AllBytes();
  const std::string toDos = LatvianWinToDos(all);
  const std::string toWin = LatvianDosToWin(all);
  ASSERT_EQ(toDos.size(), 256u);
  ASSERT_EQ(toWin.size(), 256u);
  for (int b = 0; b < 256; ++b) {
    if (!windowsCode[b]) {
      EXPECT_EQ(static_cast<unsigned char>(toDos[b]), b) << b;
    }
    if (!dosCode[b]) {
      EXPECT_EQ(static_cast<unsigned char>(toWin[b]), b) << b;
    }
  }
  EXPECT_EQ(LatvianWinToDos("\xD0"), "\xD0");  // capital S caron has no row
  EXPECT_EQ(LatvianDosToWin("\xD0"), "\xD0");
}

TEST(LatvianTest, RowByRowReplacementGivesTheSameResult) {
  std::string toDos = AllBytes();
  for (const Letter& row : kRows)
    toDos = ReplaceEvery(toDos, row.windows, row.dos);
  std::string toWin = AllBytes();
  for (const int row : kDosToWinRowOrder) {
    toWin = ReplaceEvery(toWin, kRows[row - 1].dos, kRows[row - 1].windows);
  }
  EXPECT_EQ(LatvianWinToDos(AllBytes()), toDos);
  EXPECT_EQ(LatvianDosToWin(AllBytes()), toWin);
}

TEST(LatvianTest, OnlyTextValuesAreConverted) {
  EXPECT_EQ(LatvianDosToWin(Value::Text("\xFD")), Value::Text("\xF0"));
  EXPECT_EQ(LatvianWinToDos(Value::Text("\xF0")), Value::Text("\xFD"));
  EXPECT_EQ(LatvianDosToWin(Value::Text("")), Value::Text(""));
  for (const Value& value : {Value::Null(), Value::Integer(253), Value::Float(2.5),
                             Value::Currency(1.25), Value::Date(45351), Value::Boolean(true)}) {
    EXPECT_EQ(LatvianDosToWin(value), value);
    EXPECT_EQ(LatvianWinToDos(value), value);
  }
}

}  // namespace
}  // namespace nox::formula
