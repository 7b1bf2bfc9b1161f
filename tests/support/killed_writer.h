#pragma once
// A writer killed in the middle of its work, without timing: the child process runs the work and
// reports through a pipe when it has reached the point to be killed at; the parent waits for that
// report and kills the child with SIGKILL.

#include <functional>
#include <optional>
#include <string>

namespace nox::test {

// Runs work in a child process. The work writes its report into the pipe end it is given and
// goes on (or waits) until it is killed. Gives the report once the child is killed, or nothing
// when the child ended by itself (the work returned or threw) before it was killed.
std::optional<std::string> KillAfterReport(const std::function<void(int pipeOut)>& work,
                                           std::size_t reportSize);

}  // namespace nox::test
