// Runs part of a test as an unprivileged user: root ignores permission bits, and
// the tests run as root in CI, so a permission failure is only seen from a child
// process that has dropped to nobody (65534).
#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

#include "corvala4/error.h"

namespace corvala4::testing {

struct ChildOutcome {
  bool ran = false;    // the child started and reported back
  int32_t number = 0;  // the error number raised, 0 when none
  std::string source;
  std::string description;
};

/// Runs `body` in a forked child, as nobody when the test runs as root, and
/// reports the Error it raised. Paths the child uses must be reachable by nobody.
inline ChildOutcome RunUnprivileged(const std::function<void()>& body) {
  int fds[2];
  ChildOutcome outcome;
  if (pipe(fds) != 0) return outcome;
  pid_t pid = fork();
  if (pid < 0) return outcome;
  if (pid == 0) {
    close(fds[0]);
    std::string report = "0\n\n";
    if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 ||
                           setresuid(65534, 65534, 65534) != 0)) {
      _exit(2);
    }
    try {
      body();
    } catch (const Error& e) {
      report = std::to_string(e.Number()) + "\n" + e.Source() + "\n" + e.Description();
    } catch (...) {
      report = "-1\n\nnot an Error";
    }
    for (size_t done = 0; done < report.size();) {
      ssize_t n = write(fds[1], report.data() + done, report.size() - done);
      if (n <= 0) _exit(3);
      done += static_cast<size_t>(n);
    }
    _exit(0);
  }
  close(fds[1]);
  std::string report;
  char buffer[4096];
  ssize_t n;
  while ((n = read(fds[0], buffer, sizeof buffer)) > 0) report.append(buffer, static_cast<size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return outcome;
  size_t first = report.find('\n');
  size_t second = report.find('\n', first + 1);
  if (first == std::string::npos || second == std::string::npos) return outcome;
  outcome.ran = true;
  outcome.number = std::stoi(report.substr(0, first));
  outcome.source = report.substr(first + 1, second - first - 1);
  outcome.description = report.substr(second + 1);
  return outcome;
}

}  // namespace corvala4::testing
