#include "cli/orphan_guard.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "foundation/platform/spawn.h"

namespace corvala4::cli {

namespace {

// The guard itself: reads one group a line ("-N" when it has ended, "0" for goodbye) and,
// when its input ends without a goodbye, kills every group it holds. In a process group of
// its own, a Ctrl-C or a hang-up of the terminal never reaches it; it ignores them anyway.
constexpr const char* kGuard =
    "trap '' INT TERM HUP QUIT PIPE\n"
    "groups=' '\n"
    "while read -r word; do\n"
    "  case $word in\n"
    "    0) exit 0 ;;\n"
    "    -*) g=${word#-}\n"
    "      case $groups in *\" $g \"*) pre=${groups%%\" $g \"*}; post=${groups#*\" $g \"}; "
    "groups=\"$pre $post\" ;; esac ;;\n"
    "    *) groups=\"$groups$word \" ;;\n"
    "  esac\n"
    "done\n"
    "for g in $groups; do kill -s KILL -- \"-$g\"; done\n";

}  // namespace

OrphanGuard::~OrphanGuard() {
  if (guard_ < 0) return;
  Send(0);
  pipe_ = Fd();
  int status = 0;
  while (waitpid(guard_, &status, 0) < 0 && errno == EINTR) {
  }
}

void OrphanGuard::Send(int value) {
  // One short write: the guard never sees half a line, whenever this process dies.
  std::string line = std::to_string(value) + "\n";
  while (write(pipe_.get(), line.data(), line.size()) < 0 && errno == EINTR) {
  }
}

void OrphanGuard::Add(pid_t group) {
  if (guard_ < 0) {
    // It holds nothing of the runner's (the run lock, the calculations' pipes, its output).
    SpawnRequest request;
    request.argv = {"/bin/sh", "-c", kGuard, "corvala4-guard"};
    request.own_group = true;
    request.in = Stream::Pipe();
    request.out = Stream::Null();
    request.err = Stream::Null();
    try {
      Child child = Spawn(request);
      guard_ = child.pid;
      pipe_ = std::move(child.in);
    } catch (const SpawnError&) {
      return;  // the calculations run all the same, unguarded as before there was a guard
    }
  }
  Send(group);
}

void OrphanGuard::Remove(pid_t group) {
  if (guard_ >= 0) Send(-group);
}

}  // namespace corvala4::cli
