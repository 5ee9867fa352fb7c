#include "corvala4/user_interface.h"

#include <cstdlib>

#include "foundation/platform/headless_ui.h"

namespace corvala4 {

UserInterface::~UserInterface() = default;
void UserInterface::ShowTestWindow(Tester&) {}
void UserInterface::ShowStatusWindow(Tester&, bool) {}
void UserInterface::StatusLine(const std::string&) {}
void UserInterface::StatusClear() {}
void UserInterface::ShowCompareWindow(TestCase&) {}
void UserInterface::ShowUnitRunner(Tester&) {}

namespace {

std::shared_ptr<UserInterface>& Installed() {
  static std::shared_ptr<UserInterface> ui;
  return ui;
}

}  // namespace

/// Made by the windows' library when it is linked in; none without it.
std::shared_ptr<UserInterface> MakeDisplayUserInterface() __attribute__((weak));

void SetUserInterface(std::shared_ptr<UserInterface> ui) { Installed() = std::move(ui); }

UserInterface& CurrentUserInterface() {
  if (Installed()) return *Installed();
  static std::shared_ptr<UserInterface> fallback;
  if (!fallback) {
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    bool has_display = (display && *display) || (wayland && *wayland);
    if (has_display && MakeDisplayUserInterface) fallback = MakeDisplayUserInterface();
    if (!fallback) fallback = std::make_shared<HeadlessUserInterface>();
  }
  return *fallback;
}

}  // namespace corvala4
