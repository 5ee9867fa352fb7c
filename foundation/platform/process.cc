#include "foundation/platform/process.h"

#include <sys/wait.h>

#include <cerrno>
#include <system_error>
#include <thread>

#include "foundation/errors.h"
#include "foundation/platform/spawn.h"

namespace corvala4 {

namespace {

/// Starts the program; with quiet, its standard output and error go to /dev/null.
pid_t StartProgram(const std::vector<std::string>& argv, const std::string& commandText, bool quiet) {
  if (argv.empty() || argv[0].empty())
    Raise(err::FileNotFound, "无法启动程序." + ErrDetailSep() + "没有程序\r\n命令 " + commandText);
  SpawnRequest request;
  request.argv = argv;
  if (quiet) {
    request.out = Stream::Null();
    request.err = Stream::Output();
  }
  try {
    return Spawn(request).pid;
  } catch (const SpawnError& e) {
    Raise(ErrnoNumber(e.code(), err::InvalidProcedureCall),
          "无法启动程序'" + argv[0] + "'." + ErrDetailSep() + e.reason() + "\r\n命令 " + commandText);
  }
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
    pid_t pid = StartProgram(argv, commandText, false);
    // Nobody waits for the program; this thread collects its exit so that no zombie stays.
    try {
      std::thread([pid] { WaitFor(pid); }).detach();
    } catch (const std::system_error&) {
      // The program runs all the same; without a thread it stays a zombie until the host exits.
    }
  }

  int Run(const std::vector<std::string>& argv, const std::string& commandText) override {
    return WaitFor(StartProgram(argv, commandText, true));
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
