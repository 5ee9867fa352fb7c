// The user's base folders as the XDG convention names them.
#pragma once

#include <string>

namespace corvala4 {

/// $variable when set, else the home folder joined with belowHome (".config",
/// ".local/state"); "/tmp" for a user without a home.
std::string XdgFolder(const char* variable, const char* belowHome);

}  // namespace corvala4
