#pragma once
// Runs one of the built programs through the shell, as a user or a script would.

#include <string>

namespace nox::test {

struct ProgramRun {
  int status = -1;  // the exit status; -1 when the program did not end normally
  std::string out;  // standard output (standard error too when the command redirects it)
};

ProgramRun RunCommand(const std::string& command);

}  // namespace nox::test
