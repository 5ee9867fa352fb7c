#include "cli/stop_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace corvala4::cli {

namespace {

int g_write = -1;  // the write end of the object's pipe, for the handler
volatile sig_atomic_t g_received = 0;
struct sigaction g_old_int, g_old_term, g_old_hup;

void OnStop(int sig) {
  int saved = errno;
  if (g_received == 0) g_received = sig;
  char byte = static_cast<char>(sig);
  // The pipe is non-blocking: a full pipe already wakes the executor.
  [[maybe_unused]] ssize_t n = write(g_write, &byte, 1);
  errno = saved;
}

}  // namespace

StopSignals::StopSignals() {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) std::abort();
  read_ = Fd(fds[0]);
  write_ = Fd(fds[1]);
  g_write = fds[1];
  g_received = 0;
  struct sigaction sa {};
  sa.sa_handler = OnStop;
  // The module's file operations carry on where the signal came; only the wait wakes.
  sa.sa_flags = SA_RESTART;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, &g_old_int);
  sigaction(SIGTERM, &sa, &g_old_term);
  // A closed terminal ends the run the same way, never leaving calculations behind.
  sigaction(SIGHUP, &sa, &g_old_hup);
}

StopSignals::~StopSignals() {
  sigaction(SIGINT, &g_old_int, nullptr);
  sigaction(SIGTERM, &g_old_term, nullptr);
  sigaction(SIGHUP, &g_old_hup, nullptr);
  g_write = -1;
}

int StopSignals::WakeFd() const { return read_.get(); }

int StopSignals::Received() const { return g_received; }

void StopSignals::EndByReceivedSignal() {
  int sig = g_received ? g_received : SIGTERM;
  signal(sig, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, sig);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
  raise(sig);
  std::_Exit(128 + sig);
}

}  // namespace corvala4::cli
