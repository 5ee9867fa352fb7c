// The windows live in a library of their own that brings Qt with it; the module
// loads it only where a window could show.
#pragma once

#include <memory>
#include <string>

#include "corvala4/user_interface.h"

namespace corvala4 {

/// The windows' library of this very build, beside the module's own file.
std::string WindowsLibraryPath();
/// The library's Qt user interface, or none when it cannot be loaded or no display
/// answers (the reason goes to the log).
std::shared_ptr<UserInterface> LoadWindows(const std::string& library);

}  // namespace corvala4
