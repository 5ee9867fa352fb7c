#include "corvala4/user_interface.h"

#include <dlfcn.h>

#include <cstdlib>

#include "foundation/platform/headless_ui.h"
#include "foundation/platform/windows_loader.h"

namespace corvala4 {

UserInterface::~UserInterface() = default;
void UserInterface::BeginOperation() {}
void UserInterface::EndOperation() {}
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

bool DisplayNamed() {
  const char* x = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x && *x) || (wayland && *wayland);
}

bool QtAlreadyLoaded() {
  void* qt = dlopen("libQt6Core.so.6", RTLD_LAZY | RTLD_NOLOAD);
  if (qt) dlclose(qt);
  return qt != nullptr;
}

}  // namespace

void SetUserInterface(std::shared_ptr<UserInterface> ui) { Installed() = std::move(ui); }

UserInterface& CurrentUserInterface() {
  if (Installed()) return *Installed();
  static std::shared_ptr<UserInterface> fallback;
  if (!fallback) {
    // The windows' library brings Qt with it: it is loaded only where a window could
    // show, so a host on a server without Qt runs without ever needing it.
    if (DisplayNamed() || QtAlreadyLoaded()) fallback = LoadWindows(WindowsLibraryPath());
    if (!fallback) fallback = std::make_shared<HeadlessUserInterface>();
  }
  return *fallback;
}

}  // namespace corvala4
