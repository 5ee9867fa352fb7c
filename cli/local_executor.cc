#include "cli/local_executor.h"

#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>

#include "cli/output_watch.h"
#include "foundation/platform/spawn.h"

namespace corvala4::cli {

Executor::~Executor() = default;
std::string Executor::Unusable() const { return {}; }
double Executor::OutputLookupSeconds() const { return 0; }
StartWatcher::~StartWatcher() = default;

std::string ExitReason(CalculationEnd::How how, int code) {
  using How = CalculationEnd::How;
  if (how == How::Exited) return "exit status " + std::to_string(code);
  if (how == How::Signaled) {
    const char* abbrev = sigabbrev_np(code);
    return "killed by signal " + std::to_string(code) + (abbrev ? std::string(" (SIG") + abbrev + ")" : "");
  }
  if (how == How::Stopped) return "stopped";
  return {};
}

struct LocalExecutor::Process {
  int id = 0;
  pid_t pid = -1;
  Fd pidfd;
  Fd out;  // read end of the output pipe
  std::string tail;
  OutputWatch watch;
  Clock::time_point start;
  Clock::time_point deadline = Clock::time_point::max();
  Clock::time_point kill_at = Clock::time_point::max();
  double timeout = 0;
  bool started = true;  // false while a watcher waits for the start
  bool timed_out = false;
  bool stopping = false;

  void Keep(const char* data, size_t n) {
    watch.Feed(std::string_view(data, n));
    tail.append(data, n);
    if (tail.size() > 2 * kOutputTail) tail.erase(0, tail.size() - kOutputTail);
  }
  /// Reads what is there; returns whether anything was.
  bool Drain() {
    if (out.get() < 0) return false;
    char buf[16384];
    bool more = false;
    while (true) {
      ssize_t n = read(out.get(), buf, sizeof buf);
      if (n > 0) {
        Keep(buf, static_cast<size_t>(n));
        more = true;
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n == 0) out = Fd();
      return more;  // EAGAIN: nothing more for now
    }
  }
  void Arm(Clock::time_point from) {
    // Beyond some 290 years the nanoseconds of the clock would overflow: no limit at all.
    if (timeout > 0 && timeout < 1e9)
      deadline = from + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeout));
  }
  void Close() {
    pidfd = Fd();
    out = Fd();
  }
};

LocalExecutor::LocalExecutor(int wakeFd, double grace)
    : wake_fd_(wakeFd),
      grace_(std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(grace))) {}

LocalExecutor::~LocalExecutor() {
  if (!procs_.empty()) StopAll();
}

void LocalExecutor::Start(const Calculation& calc) {
  auto p = std::make_unique<Process>();
  p->id = calc.id;
  p->timeout = calc.timeout;
  p->watch = OutputWatch(calc.fail_when);
  p->start = Clock::now();
  auto refuse = [&](const std::string& why) {
    CalculationEnd end;
    end.id = calc.id;
    end.how = CalculationEnd::How::NotStarted;
    end.reason = why;
    ended_.push_back(std::move(end));
  };
  if (calc.argv.empty() || calc.argv[0].empty()) return refuse("could not start: the command is empty");

  SpawnRequest request;
  request.argv = calc.argv;
  request.folder = calc.folder;
  // A group of its own: a time-out or a stop reaches whatever the calculation started.
  request.own_group = true;
  // Nothing to read, and a process group that is not the terminal's must never wait for it.
  request.in = Stream::Null();
  request.out = Stream::Pipe(true);
  request.err = Stream::Output();
  try {
    Child child = Spawn(request);
    p->pid = child.pid;
    p->out = std::move(child.out);
  } catch (const SpawnError& e) {
    return refuse(std::string("could not start ") + e.what());
  }
  orphans_.Add(p->pid, batch_clients_);
  // Through syscall: Debian 12's header declares pidfd_open without C linkage.
  p->pidfd = Fd(static_cast<int>(syscall(SYS_pidfd_open, p->pid, 0)));
  p->started = watcher_ == nullptr;
  if (p->started) p->Arm(p->start);
  procs_.push_back(std::move(p));
}

void LocalExecutor::Watch(Process& p, bool more) {
  if (p.started || !more) return;
  p.started = watcher_->Output(p.id, p.tail);
  if (p.started) p.Arm(Clock::now());
}

void LocalExecutor::Terminate(Process& p, Clock::time_point now) {
  kill(-p.pid, SIGTERM);
  if (p.kill_at == Clock::time_point::max()) p.kill_at = now + grace_;
}

CalculationEnd LocalExecutor::Finish(Process& p, int status) {
  using How = CalculationEnd::How;
  CalculationEnd end;
  end.id = p.id;
  end.seconds = std::chrono::duration<double>(Clock::now() - p.start).count();
  if (WIFEXITED(status)) {
    end.how = How::Exited;
    end.code = WEXITSTATUS(status);
  } else {
    end.how = How::Signaled;
    end.code = WTERMSIG(status);
  }
  end.reason = ExitReason(end.how, end.code);
  if (p.timed_out) {
    end.how = How::TimedOut;
    char limit[32];
    snprintf(limit, sizeof limit, "%g", p.timeout);
    end.reason = std::string("time-out after ") + limit + " s (" + end.reason + ")";
  } else if (p.stopping) {
    end.how = How::Stopped;
    end.reason = "stopped (" + end.reason + ")";
  }
  Watch(p, p.Drain());
  p.watch.Finish();
  end.failure_line = p.watch.Match();
  if (end.failure_line && end.how == How::Exited && end.code == 0)
    end.reason = "its output says it failed: " + *end.failure_line;
  end.output = std::move(p.tail);
  if (end.output.size() > kOutputTail) end.output.erase(0, end.output.size() - kOutputTail);
  end.facts.emplace_back("pid", std::to_string(p.pid));
  orphans_.Remove(p.pid, batch_clients_);
  p.Close();
  return end;
}

bool LocalExecutor::Poll(Clock::time_point until) {
  std::vector<pollfd> fds;
  if (wake_fd_ >= 0) fds.push_back({wake_fd_, POLLIN, 0});
  bool without_pidfd = false;
  Clock::time_point next = until;
  for (auto& p : procs_) {
    if (p->pidfd.get() >= 0)
      fds.push_back({p->pidfd.get(), POLLIN, 0});
    else
      without_pidfd = true;
    if (p->out.get() >= 0) fds.push_back({p->out.get(), POLLIN, 0});
    next = std::min({next, p->timed_out ? Clock::time_point::max() : p->deadline, p->kill_at});
  }
  Clock::time_point now = Clock::now();
  int timeout = -1;
  if (next != Clock::time_point::max())
    timeout = static_cast<int>(
        std::clamp<int64_t>(std::chrono::ceil<std::chrono::milliseconds>(next - now).count(), 0, 60000));
  // Without a process descriptor (an old kernel) the exit is looked for now and then.
  if (without_pidfd && (timeout < 0 || timeout > 50)) timeout = 50;
  int n = poll(fds.data(), fds.size(), timeout);
  if (n < 0 && errno != EINTR) n = 0;
  if (wake_fd_ >= 0) {
    pollfd w{wake_fd_, POLLIN, 0};
    if (poll(&w, 1, 0) > 0 && (w.revents & POLLIN)) return false;
  }

  now = Clock::now();
  for (size_t i = 0; i < procs_.size();) {
    Process& p = *procs_[i];
    Watch(p, p.Drain());
    // Seen without reaping first, so that the group can be swept while its id is still held.
    siginfo_t info{};
    info.si_pid = 0;
    if (waitid(P_PID, static_cast<id_t>(p.pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        info.si_pid != 0) {
      // Whatever the calculation left running in its group goes with it.
      kill(-p.pid, SIGKILL);
      int status = 0;
      while (waitpid(p.pid, &status, 0) < 0 && errno == EINTR) {
      }
      ended_.push_back(Finish(p, status));
      procs_.erase(procs_.begin() + static_cast<std::ptrdiff_t>(i));
      continue;
    }
    if (!p.timed_out && !p.stopping && now >= p.deadline) {
      p.timed_out = true;
      Terminate(p, now);
    }
    if (now >= p.kill_at) {
      kill(-p.pid, SIGKILL);
      p.kill_at = Clock::time_point::max();
    }
    ++i;
  }
  return true;
}

std::optional<CalculationEnd> LocalExecutor::WaitAny() {
  while (ended_.empty()) {
    if (procs_.empty()) return std::nullopt;
    if (!Poll(Clock::time_point::max())) return std::nullopt;
  }
  CalculationEnd end = std::move(ended_.front());
  ended_.pop_front();
  return end;
}

std::vector<CalculationEnd> LocalExecutor::StopAll() {
  Clock::time_point now = Clock::now();
  for (auto& p : procs_) {
    p->stopping = true;
    Terminate(*p, now);
  }
  // The wake descriptor stays readable after a stop signal: wait without it.
  int wake = wake_fd_;
  wake_fd_ = -1;
  while (!procs_.empty()) Poll(Clock::time_point::max());
  wake_fd_ = wake;
  std::vector<CalculationEnd> ends(std::make_move_iterator(ended_.begin()),
                                   std::make_move_iterator(ended_.end()));
  ended_.clear();
  return ends;
}

}  // namespace corvala4::cli
