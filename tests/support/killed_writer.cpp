#include "tests/support/killed_writer.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace nox::test {

std::optional<std::string> KillAfterReport(const std::function<void(int pipeOut)>& work,
                                           std::size_t reportSize) {
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) return std::nullopt;
  const pid_t child = ::fork();
  if (child < 0) return std::nullopt;
  if (child == 0) {
    ::close(pipeEnds[0]);
    try {
      work(pipeEnds[1]);
    } catch (...) {
    }
    ::_exit(1);
  }
  ::close(pipeEnds[1]);
  std::string report(reportSize, '\0');
  std::size_t got = 0;
  while (got < reportSize) {
    const ssize_t n = ::read(pipeEnds[0], report.data() + got, reportSize - got);
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  ::close(pipeEnds[0]);
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (got < reportSize || !WIFSIGNALED(status)) return std::nullopt;
  return report;
}

}  // namespace nox::test
