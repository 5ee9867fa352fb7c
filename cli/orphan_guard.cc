#include "cli/orphan_guard.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <vector>

namespace corvala4::cli {

namespace {

constexpr size_t kGroups = 1 << 16;

/// The guard's whole life, in the forked child: only calls that are safe after a fork.
[[noreturn]] void Guard(int in, pid_t* groups) {
  signal(SIGINT, SIG_IGN);  // a Ctrl-C is the runner's to handle
  signal(SIGTERM, SIG_IGN);
  signal(SIGHUP, SIG_IGN);
  signal(SIGPIPE, SIG_IGN);
  // Holds nothing of the runner's (the run lock, the calculations' pipes, its output).
  dup2(in, 0);
  int null = open("/dev/null", O_RDWR);
  if (null >= 0) {
    dup2(null, 1);
    dup2(null, 2);
  }
  syscall(SYS_close_range, 3U, ~0U, 0U);
  size_t count = 0;
  while (true) {
    int32_t value = 0;
    ssize_t n = read(0, &value, sizeof value);
    if (n < 0 && errno == EINTR) continue;
    if (n == static_cast<ssize_t>(sizeof value) && value == 0) _exit(0);  // a goodbye
    if (n != static_cast<ssize_t>(sizeof value)) {
      for (size_t i = 0; i < count; ++i) kill(-groups[i], SIGKILL);
      _exit(0);
    }
    if (value > 0 && count < kGroups) {
      groups[count++] = value;
    } else if (value < 0) {
      for (size_t i = 0; i < count; ++i)
        if (groups[i] == -value) {
          groups[i] = groups[--count];
          break;
        }
    }
  }
}

}  // namespace

OrphanGuard::~OrphanGuard() {
  if (guard_ < 0) return;
  Send(0);
  close(pipe_);
  int status = 0;
  while (waitpid(guard_, &status, 0) < 0 && errno == EINTR) {
  }
}

void OrphanGuard::Send(int value) {
  int32_t v = value;
  while (write(pipe_, &v, sizeof v) < 0 && errno == EINTR) {
  }
}

void OrphanGuard::Add(pid_t group) {
  if (guard_ < 0) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    // The table is made before the fork: the child must not allocate.
    static std::vector<pid_t> groups(kGroups);
    pid_t pid = fork();
    if (pid == 0) Guard(fds[0], groups.data());
    close(fds[0]);
    if (pid < 0) {
      close(fds[1]);
      return;
    }
    guard_ = pid;
    pipe_ = fds[1];
  }
  Send(group);
}

void OrphanGuard::Remove(pid_t group) {
  if (guard_ >= 0) Send(-group);
}

}  // namespace corvala4::cli
