#include "foundation/platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>

#include "foundation/errors.h"

extern char** environ;

namespace corvala4 {

void InitChildAttributes(posix_spawnattr_t* attr, short flags) {
  posix_spawnattr_init(attr);
  sigset_t none, all;
  sigemptyset(&none);
  sigfillset(&all);
  posix_spawnattr_setsigmask(attr, &none);
  posix_spawnattr_setsigdefault(attr, &all);
  posix_spawnattr_setflags(attr, static_cast<short>(POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | flags));
}

namespace {

/// Starts the program; with quiet, its standard output and error go to /dev/null.
pid_t Spawn(const std::vector<std::string>& argv, const std::string& commandText, bool quiet) {
  if (argv.empty() || argv[0].empty())
    Raise(err::FileNotFound, "无法启动程序." + ErrDetailSep() + "没有程序\r\n命令 " + commandText);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);

  // The child starts with default signal handling and nothing blocked, whatever the host set.
  posix_spawnattr_t attr;
  InitChildAttributes(&attr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (quiet) {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
  }
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  if (rc != 0) {
    Raise(ErrnoNumber(rc, err::InvalidProcedureCall),
          "无法启动程序'" + argv[0] + "'." + ErrDetailSep() + std::strerror(rc) + "\r\n命令 " + commandText);
  }
  return pid;
}

int WaitFor(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class SpawnLauncher : public ProcessLauncher {
 public:
  void Start(const std::vector<std::string>& argv, const std::string& commandText) override {
    pid_t pid = Spawn(argv, commandText, false);
    // Nobody waits for the program; this thread collects its exit so that no zombie stays.
    try {
      std::thread([pid] { WaitFor(pid); }).detach();
    } catch (const std::system_error&) {
      // The program runs all the same; without a thread it stays a zombie until the host exits.
    }
  }

  int Run(const std::vector<std::string>& argv, const std::string& commandText) override {
    return WaitFor(Spawn(argv, commandText, true));
  }
};

std::shared_ptr<ProcessLauncher>& Installed() {
  static std::shared_ptr<ProcessLauncher> launcher;
  return launcher;
}

}  // namespace

ProcessLauncher::~ProcessLauncher() = default;

ProcessLauncher& CurrentProcessLauncher() {
  static SpawnLauncher standard;
  return Installed() ? *Installed() : standard;
}

void SetProcessLauncher(std::shared_ptr<ProcessLauncher> launcher) {
  Installed() = std::move(launcher);
}

}  // namespace corvala4
