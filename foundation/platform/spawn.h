// Starting a program: one posix_spawn, every step of it checked, with the child's working
// folder, process group, standard streams and environment as asked and nothing else of
// this process: default signal handling, nothing blocked, no other descriptor open.
#pragma once

#include <sys/types.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "foundation/platform/descriptor.h"

namespace corvala4 {

/// Where one of the child's standard streams leads.
struct Stream {
  enum class To { Inherit, Null, Descriptor, File, Pipe, Output };
  To to = To::Inherit;
  int fd = -1;             // Descriptor: one of this process's, left open here
  std::string path;        // File: opened here, before the start
  int flags = 0;           // File: open's flags (O_WRONLY | O_CREAT | O_TRUNC ...), mode 0666
  bool nonblocking = false;  // Pipe: this process's end does not block

  static Stream Inherit() { return {}; }
  static Stream Null() { return Of(To::Null); }
  static Stream Descriptor(int fd) {
    Stream s = Of(To::Descriptor);
    s.fd = fd;
    return s;
  }
  static Stream File(std::string path, int flags) {
    Stream s = Of(To::File);
    s.path = std::move(path);
    s.flags = flags;
    return s;
  }
  static Stream Pipe(bool nonblocking = false) {
    Stream s = Of(To::Pipe);
    s.nonblocking = nonblocking;
    return s;
  }
  /// Standard error only: where standard output leads.
  static Stream Output() { return Of(To::Output); }

 private:
  static Stream Of(To to) {
    Stream s;
    s.to = to;
    return s;
  }
};

struct SpawnRequest {
  std::vector<std::string> argv;  // argv[0] is looked for on the PATH unless it holds a slash
  std::string folder;             // the working folder; empty: this process's
  bool own_group = false;         // a process group of its own, which the child leads
  Stream in, out, err;
  std::optional<std::vector<std::string>> environment;  // NAME=value each; none: this process's
};

/// A started child: its id and this process's ends of the pipes asked for.
struct Child {
  pid_t pid = -1;
  Fd in, out, err;
};

/// A program that could not be started: the errno of what failed, and what it was.
class SpawnError : public std::runtime_error {
 public:
  /// `stage` names the step that failed; empty for the start of the program itself.
  SpawnError(int code, const std::string& program, const std::string& folder, const std::string& stage);
  int code() const { return code_; }
  /// What failed without the program: "No such file or directory", "posix_spawnattr_setpgroup: ...".
  const std::string& reason() const { return reason_; }

 private:
  int code_;
  std::string reason_;
};

/// Starts request.argv. The message of the SpawnError raised when it cannot reads
/// "'program' in 'folder': reason" when the program itself failed to start, else "'program': reason".
Child Spawn(const SpawnRequest& request);

}  // namespace corvala4
