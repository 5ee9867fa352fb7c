#include "results/output_checker.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

#include "foundation/platform/spawn.h"
#include "foundation/text.h"

namespace corvala4 {

namespace {

/// What is kept of a checker's output.
constexpr size_t kKeptOutput = 4096;

double Now() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

/// The last lines of a text, at most kKeptOutput bytes, starting at a line.
std::string LastLines(const std::string& text) {
  if (text.size() <= kKeptOutput) return text;
  std::string tail = text.substr(text.size() - kKeptOutput);
  size_t nl = tail.find('\n');
  return nl == std::string::npos ? tail : tail.substr(nl + 1);
}

}  // namespace

std::vector<std::string> FillPlaceholders(const std::vector<std::string>& words,
                                          const std::map<std::string, std::string>& values) {
  auto value = [&values](const std::string& name) -> std::optional<std::string> {
    auto it = values.find(name);
    if (it == values.end()) return std::nullopt;
    return it->second;
  };
  std::vector<std::string> out;
  for (const std::string& word : words) out.push_back(FillBraces(word, value).text);
  return out;
}

CheckerResult RunChecker(const std::vector<std::string>& argv, const std::string& folder, int seconds) {
  CheckerResult result;
  if (argv.empty() || argv[0].empty()) {
    result.verdict = "cannot start: no program";
    return result;
  }
  SpawnRequest request;
  request.argv = argv;
  request.folder = folder;
  request.own_group = true;  // whatever it starts goes with it at the time limit
  request.in = Stream::Null();
  request.out = Stream::Pipe();
  request.err = Stream::Output();
  Child child;
  try {
    child = Spawn(request);
  } catch (const SpawnError& e) {
    result.verdict = std::string("cannot start ") + e.what();
    return result;
  }
  pid_t pid = child.pid;
  Fd out = std::move(child.out);

  double deadline = Now() + seconds;
  std::string output;
  bool timed_out = false;
  bool open = true;
  while (open) {
    double left = deadline - Now();
    if (left <= 0) {
      timed_out = true;
      break;
    }
    pollfd p{out.get(), POLLIN, 0};
    int n = poll(&p, 1, static_cast<int>(left * 1000) + 1);
    if (n < 0 && errno != EINTR) break;
    if (n <= 0) continue;
    char buf[8192];
    ssize_t got = read(out.get(), buf, sizeof buf);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      open = false;
      break;
    }
    output.append(buf, static_cast<size_t>(got));
    if (output.size() > 4 * kKeptOutput) output = output.substr(output.size() - kKeptOutput);
  }
  out = Fd();
  // Its output closed, the checker may still run: it gets what is left of its time.
  int status = 0;
  while (true) {
    if (timed_out) kill(-pid, SIGKILL);
    pid_t w = waitpid(pid, &status, timed_out ? 0 : WNOHANG);
    if (w == pid) break;
    if (w < 0 && errno != EINTR) break;
    if (w == 0) {
      if (Now() >= deadline)
        timed_out = true;
      else
        usleep(10000);
    }
  }
  if (timed_out) kill(-pid, SIGKILL);  // what it started and left behind
  result.last_lines = LastLines(output);
  if (timed_out) {
    result.verdict = "more than " + std::to_string(seconds) + " s";
  } else if (WIFEXITED(status)) {
    result.same = WEXITSTATUS(status) == 0;
    result.verdict = "exit status " + std::to_string(WEXITSTATUS(status));
  } else if (WIFSIGNALED(status)) {
    result.verdict = "ended by signal " + std::to_string(WTERMSIG(status));
  }
  return result;
}

}  // namespace corvala4
