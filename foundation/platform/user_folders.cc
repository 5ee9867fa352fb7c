#include "foundation/platform/user_folders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace corvala4 {

std::string XdgFolder(const char* variable, const char* belowHome) {
  const char* set = std::getenv(variable);
  if (set && *set) return set;
  const char* home = std::getenv("HOME");
  if (home && *home) return std::string(home) + "/" + belowHome;
  if (struct passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return std::string(pw->pw_dir) + "/" + belowHome;
  return "/tmp";
}

}  // namespace corvala4
