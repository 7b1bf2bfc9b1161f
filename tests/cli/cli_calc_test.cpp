// noxconv --calc as a script uses it: the keys in, the display (and memory) out, the exit status.

#include <gtest/gtest.h>

#include <string>

#include "tests/support/program_run.h"

namespace {

TEST(CliCalc, KeysInDisplayOut) {
  struct Case {
    const char* arguments;
    int status;
    const char* out;
  };
  const Case cases[] = {
      {"'2+3=*4='", 0, " 20.\n"},
      {"'1,5+1{ENTER}'", 0, " 2.5\n"},  // the display keeps "." whatever the host's separator
      {"'5s3m{ESC}' --memory", 0, " 0.\n 8.\n"},
      {"'7/0{ENTER}x'", 0, " 0.\n"},  // refused keys change nothing
      {"'2+ab3='", 0, " 5.\n"},       // characters without a key are passed over
      {"'2{TAB}'", 2, ""},
      {"'2' --memo", 2, ""},
  };
  for (const Case& c : cases) {
    const nox::test::ProgramRun run =
        nox::test::RunCommand("NOX_DECIMAL_SEPARATOR=, '" + std::string(NOXCONV_PATH) +
                              "' --calc " + c.arguments + " 2>/dev/null");
    EXPECT_EQ(run.status, c.status) << c.arguments;
    EXPECT_EQ(run.out, c.out) << c.arguments;
  }
}

}  // namespace
