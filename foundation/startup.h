// Start-up of the module: runs once before its first object is created.
#pragma once

#include <optional>
#include <string>

namespace corvala4 {

/// The warning for a minor version number whose last digit is 3, 4 or 7, else none.
std::optional<std::string> ReleaseNumberWarning(int minorVersion);
/// Runs Main once per loaded module.
void EnsureStarted();
/// The release-number check and the start of the log.
void Main();

}  // namespace corvala4
