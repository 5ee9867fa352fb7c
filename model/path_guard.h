// Paths from a definition file must stay inside the test data: a case folder or an
// output name is never absolute, never climbs above its directory, and no symbolic
// link on the way leads out of it. Loading lists such cases; touching them is refused.
#pragma once

#include <string>
#include <string_view>

namespace corvala4 {

/// `relative` names a place inside the folder it is joined to: not absolute, and
/// never above that folder through "..".
bool StaysInside(std::string_view relative);

/// Raises UnsafePathError naming `path` (root joined with relative) and the definition
/// file, unless relative stays inside root and, when root exists, the deepest existing
/// folder on the way to path (path itself too when followLast) resolves inside root.
void RequireInside(const std::string& root, const std::string& relative, const std::string& path,
                   bool followLast);

/// `path` (every link on the way and at its end followed) lies in one of the folders; a
/// folder that does not exist holds nothing.
bool LeadsInto(const std::string& path, const std::string& folderA, const std::string& folderB);

/// The refusal itself.
[[noreturn]] void RaiseUnsafePath(const std::string& path);

}  // namespace corvala4
