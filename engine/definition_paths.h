// Rules both definition-file forms apply to the paths they read.
#pragma once

#include <string>
#include <string_view>

namespace corvala4 {

class TesterCore;

/// A path field with every backslash turned into "/", so that files written with
/// backslashes keep working.
std::string SlashPath(std::string_view field);

/// The standard directory as named (backslashes already turned): taken as written
/// when its absolute form is the same text, else joined to the host folder.
std::string ResolveStandardFolder(TesterCore& tester, const std::string& named);

}  // namespace corvala4
