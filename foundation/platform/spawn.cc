#include "foundation/platform/spawn.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace corvala4 {

SpawnError::SpawnError(int code, const std::string& program, const std::string& folder,
                       const std::string& stage)
    : std::runtime_error("'" + program + "'" + (folder.empty() || !stage.empty() ? "" : " in '" + folder + "'") +
                         ": " + (stage.empty() ? "" : stage + ": ") + strerror(code)),
      code_(code),
      reason_((stage.empty() ? "" : stage + ": ") + strerror(code)) {}

namespace {

const char* const kStreamNames[] = {"standard input", "standard output", "standard error"};

/// The spawn attributes and file actions, destroyed whatever happens.
struct Attributes {
  posix_spawnattr_t attr;
  posix_spawn_file_actions_t actions;
  bool attr_made = false, actions_made = false;
  ~Attributes() {
    if (actions_made) posix_spawn_file_actions_destroy(&actions);
    if (attr_made) posix_spawnattr_destroy(&attr);
  }
};

class Starter {
 public:
  explicit Starter(const SpawnRequest& r) : r_(r), program_(r.argv.empty() ? "" : r.argv[0]) {}

  Child Start() {
    if (program_.empty()) throw SpawnError(ENOENT, program_, r_.folder, "no program");
    Check(posix_spawnattr_init(&a_.attr), "posix_spawnattr_init");
    a_.attr_made = true;
    Check(posix_spawn_file_actions_init(&a_.actions), "posix_spawn_file_actions_init");
    a_.actions_made = true;

    // Whatever this process set (a host's handlers, a runner's blocked signals), the child
    // starts with default handling and nothing blocked.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    Check(posix_spawnattr_setsigmask(&a_.attr, &none), "posix_spawnattr_setsigmask");
    Check(posix_spawnattr_setsigdefault(&a_.attr, &all), "posix_spawnattr_setsigdefault");
    if (r_.own_group) {
      flags |= POSIX_SPAWN_SETPGROUP;
      Check(posix_spawnattr_setpgroup(&a_.attr, 0), "posix_spawnattr_setpgroup");
    }
    Check(posix_spawnattr_setflags(&a_.attr, flags), "posix_spawnattr_setflags");

    Child child;
    Redirect(STDIN_FILENO, r_.in, child.in);
    Redirect(STDOUT_FILENO, r_.out, child.out);
    Redirect(STDERR_FILENO, r_.err, child.err);

    // Opened here, so that a folder that is missing or not to be entered is told as such,
    // not as the program's own failure to start.
    Fd folder;
    if (!r_.folder.empty()) {
      std::string stage = "the working folder '" + r_.folder + "'";
      folder = Fd(open(r_.folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
      if (folder.get() < 0) Fail(errno, stage);
      if (faccessat(folder.get(), ".", X_OK, AT_EACCESS) != 0) Fail(errno, stage);
      Check(posix_spawn_file_actions_addfchdir_np(&a_.actions, folder.get()),
            "posix_spawn_file_actions_addfchdir_np");
    }
    // Descriptors this process opened without O_CLOEXEC, or inherited, stay here.
    Check(posix_spawn_file_actions_addclosefrom_np(&a_.actions, 3), "posix_spawn_file_actions_addclosefrom_np");

    std::vector<char*> argv;
    for (const std::string& a : r_.argv) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> env;
    if (r_.environment) {
      for (const std::string& e : *r_.environment) env.push_back(const_cast<char*>(e.c_str()));
      env.push_back(nullptr);
    }
    int rc = posix_spawnp(&child.pid, argv[0], &a_.actions, &a_.attr, argv.data(),
                          r_.environment ? env.data() : environ);
    if (rc != 0) throw SpawnError(rc, program_, r_.folder, "");
    return child;
  }

 private:
  [[noreturn]] void Fail(int code, const std::string& stage) {
    throw SpawnError(code, program_, r_.folder, stage);
  }
  void Check(int rc, const char* call) {
    if (rc != 0) Fail(rc, call);
  }

  /// A descriptor of this process's above the standard three, so that no dup2 of the
  /// child's overwrites it before it is used (this process may have started without them).
  Fd Above2(int fd, const std::string& stage) {
    if (fd < 0) Fail(errno, stage);
    Fd owned(fd);
    if (fd > STDERR_FILENO) return owned;
    Fd moved(fcntl(fd, F_DUPFD_CLOEXEC, STDERR_FILENO + 1));
    if (moved.get() < 0) Fail(errno, stage);
    return moved;
  }

  void Dup(int from, int to) {
    Check(posix_spawn_file_actions_adddup2(&a_.actions, from, to), "posix_spawn_file_actions_adddup2");
  }

  void Redirect(int n, const Stream& s, Fd& mine) {
    std::string name = kStreamNames[n];
    switch (s.to) {
      case Stream::To::Inherit:
        return;
      case Stream::To::Descriptor:
        return Dup(s.fd, n);
      case Stream::To::Output:
        return Dup(STDOUT_FILENO, n);
      case Stream::To::Null:
      case Stream::To::File: {
        bool null = s.to == Stream::To::Null;
        int flags = null ? (n == STDIN_FILENO ? O_RDONLY : O_WRONLY) : s.flags;
        const char* path = null ? "/dev/null" : s.path.c_str();
        Fd file = Above2(open(path, flags | O_CLOEXEC, 0666), name + " to '" + path + "'");
        Dup(file.get(), n);
        opened_.push_back(std::move(file));
        return;
      }
      case Stream::To::Pipe: {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC) != 0) Fail(errno, "a pipe for " + name);
        Fd read_end(fds[0]), write_end(fds[1]);
        read_end = Above2(read_end.release(), "a pipe for " + name);
        write_end = Above2(write_end.release(), "a pipe for " + name);
        Fd& theirs = n == STDIN_FILENO ? read_end : write_end;
        mine = std::move(n == STDIN_FILENO ? write_end : read_end);
        if (s.nonblocking) {
          int fl = fcntl(mine.get(), F_GETFL);
          if (fl < 0 || fcntl(mine.get(), F_SETFL, fl | O_NONBLOCK) != 0) Fail(errno, "a pipe for " + name);
        }
        Dup(theirs.get(), n);
        opened_.push_back(std::move(theirs));
        return;
      }
    }
  }

  const SpawnRequest& r_;
  std::string program_;
  Attributes a_;
  std::vector<Fd> opened_;  // the child's ends, closed here once it has started
};

}  // namespace

Child Spawn(const SpawnRequest& request) { return Starter(request).Start(); }

}  // namespace corvala4
