#include "cli/command_support.h"

#include <unistd.h>

#include "cli/command_error.h"
#include "cli/host_session.h"
#include "engine/tester_core.h"
#include "foundation/platform/run_lock.h"

namespace corvala4::cli {

std::string Shown(const std::string& path) {
  char cwd[4096];
  if (!getcwd(cwd, sizeof cwd)) return path;
  std::string prefix = std::string(cwd) + "/";
  return path.compare(0, prefix.size(), prefix) == 0 ? path.substr(prefix.size()) : path;
}

void TakeRunLock(RunLock& lock, HostSession& session, bool wait, std::FILE* err) {
  std::string why;
  auto tell = [err](const std::string& text) {
    std::fprintf(err, "corvala4: %s\n", text.c_str());
    std::fflush(err);
  };
  if (!lock.Acquire(session.Core().StandardFolder(), Shown(session.Host()), wait, tell, why))
    throw CommandError(2, why + "; --no-wait does not wait for it");
  if (!why.empty()) tell(why);
}

}  // namespace corvala4::cli
