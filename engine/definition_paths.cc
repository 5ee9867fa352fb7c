#include "engine/definition_paths.h"

#include <algorithm>

#include "engine/tester_core.h"
#include "foundation/detailed_fso.h"
#include "foundation/globals.h"

namespace corvala4 {

std::string SlashPath(std::string_view field) {
  std::string path(field);
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

std::string ResolveStandardFolder(TesterCore& tester, const std::string& named) {
  if (FSO().GetAbsolutePathName(named) == named) return named;
  return FSO().BuildPath(tester.RecordFolder(), named);
}

}  // namespace corvala4
