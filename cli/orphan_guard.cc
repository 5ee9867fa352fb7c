#include "cli/orphan_guard.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <regex>

#include "foundation/platform/spawn.h"

namespace corvala4::cli {

namespace {

// The guard itself: reads one word a line, "N" for a group to kill, "tN" for a group to
// terminate first, "jID" for a Slurm job to cancel, "-" and the word when that has ended,
// "0" for goodbye. When its input ends without a goodbye it kills the groups, cancels the
// jobs, and terminates the batch system's clients, which then cancel the jobs not yet
// known here (one waiting in the queue, one just started); those still there after ten
// seconds are killed. scancel runs aside: a controller slow to answer must not hold up the
// clients' own cancellation. In a process group of its own, a Ctrl-C or a hang-up of the
// terminal never reaches it; it ignores them anyway.
constexpr const char* kGuard =
    "trap '' INT TERM HUP QUIT PIPE\n"
    "held=' '\n"
    "while read -r word; do\n"
    "  case $word in\n"
    "    0) exit 0 ;;\n"
    "    -*) w=${word#-}\n"
    "      case $held in *\" $w \"*) held=\"${held%%\" $w \"*} ${held#*\" $w \"}\" ;; esac ;;\n"
    "    *) held=\"$held$word \" ;;\n"
    "  esac\n"
    "done\n"
    "jobs=\n"
    "for w in $held; do\n"
    "  case $w in j*) jobs=\"$jobs ${w#j}\" ;; t*) ;; *) kill -s KILL -- \"-$w\" ;; esac\n"
    "done\n"
    "[ -z \"$jobs\" ] || scancel $jobs &\n"
    "for w in $held; do case $w in t*) kill -s TERM -- \"-${w#t}\" ;; esac; done\n"
    "i=0\n"
    "while [ $i -lt 100 ]; do\n"
    "  alive=\n"
    "  for w in $held; do case $w in t*) kill -s 0 -- \"-${w#t}\" && alive=1 ;; esac; done\n"
    "  [ -n \"$alive\" ] || break\n"
    "  sleep 0.1\n"
    "  i=$((i + 1))\n"
    "done\n"
    "for w in $held; do case $w in t*) kill -s KILL -- \"-${w#t}\" ;; esac; done\n"
    "wait\n";

std::string GroupWord(pid_t group, bool terminateFirst) {
  return (terminateFirst ? "t" : "") + std::to_string(group);
}

/// Whether `id` is a job's or job step's id that the guard takes.
bool IsJobId(const std::string& id) {
  // Nothing the shell would expand, and short enough for one write.
  static const std::regex job(R"(\d{1,20}(\.\d{1,10})?)");
  return std::regex_match(id, job);
}

}  // namespace

OrphanGuard::~OrphanGuard() {
  if (guard_ < 0) return;
  Send("0");
  pipe_ = Fd();
  int status = 0;
  while (waitpid(guard_, &status, 0) < 0 && errno == EINTR) {
  }
}

void OrphanGuard::Send(const std::string& word) {
  // One short write: the guard never sees half a line, whenever this process dies.
  std::string line = word + "\n";
  while (write(pipe_.get(), line.data(), line.size()) < 0 && errno == EINTR) {
  }
}

void OrphanGuard::Add(pid_t group, bool terminateFirst) {
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
  Send(GroupWord(group, terminateFirst));
}

void OrphanGuard::Remove(pid_t group, bool terminateFirst) {
  if (guard_ >= 0) Send("-" + GroupWord(group, terminateFirst));
}

void OrphanGuard::AddJob(const std::string& id) {
  if (guard_ >= 0 && IsJobId(id)) Send("j" + id);
}

void OrphanGuard::RemoveJob(const std::string& id) {
  if (guard_ >= 0 && IsJobId(id)) Send("-j" + id);
}

}  // namespace corvala4::cli
