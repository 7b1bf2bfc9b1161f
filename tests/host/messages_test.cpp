#include "host/messages.h"

#include <gtest/gtest.h>

#include <string>

namespace nox::host {
namespace {

TEST(MessagesTest, QuotesAtMostTheLimitOfAnInput) {
  EXPECT_EQ(QuotedInput("abc"), "'abc'");
  const std::string limit(kMessageInputLimit, 'x');
  EXPECT_EQ(QuotedInput(limit), "'" + limit + "'");
  EXPECT_EQ(QuotedInput(std::string(10 * 1024 * 1024, 'x')), "'" + limit + "...'");
}

TEST(MessagesTest, TerminalTextBreaksLinesAndEscapesControlCharacters) {
  const struct {
    std::string message;
    std::string shown;
  } cases[] = {
      {"Can not evaluate expression:\r\ra+1", "Can not evaluate expression:\n\na+1"},
      {"one\r\ntwo\nthree", "one\ntwo\nthree"},
      {std::string("a\x1b[2Jb\x07\x7f\0c", 10), "a\\x1B[2Jb\\x07\\x7F\\x00c"},
      {"B\xe7rzi\xf2\xf0", "B\xC4\x93rzi\xC5\x86\xC5\xA1"},  // Windows-1257 letters as UTF-8
  };
  for (const auto& c : cases)
    EXPECT_EQ(TerminalText(c.message), c.shown) << c.shown;
}

}  // namespace
}  // namespace nox::host
