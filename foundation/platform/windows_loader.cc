#include "foundation/platform/windows_loader.h"

#include <dlfcn.h>

#include "corvala4/version.h"
#include "foundation/platform/log.h"

namespace corvala4 {

std::string WindowsLibraryPath() {
  std::string module = ModuleFilePath();
  size_t slash = module.rfind('/');
  std::string folder = slash == std::string::npos ? "." : module.substr(0, slash);
  return folder + "/libcorvala4_qt.so." + kVersionText;
}

std::shared_ptr<UserInterface> LoadWindows(const std::string& library) {
  // Kept loaded for good: Qt cannot be unloaded from a process that has used it.
  void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (!handle) {
    const char* why = dlerror();
    WriteLog(LogEventType::Warning, "窗口库未能加载,改用无窗口方式: " + std::string(why ? why : library));
    return nullptr;
  }
  using Create = UserInterface* (*)();
  auto create = reinterpret_cast<Create>(dlsym(handle, "corvala4_CreateQtUserInterface"));
  if (!create) {
    WriteLog(LogEventType::Warning, "窗口库'" + library + "'不是本模块的窗口库,改用无窗口方式.");
    return nullptr;
  }
  std::shared_ptr<UserInterface> ui(create());
  if (!ui) WriteLog(LogEventType::Warning, "没有可用的图形显示,改用无窗口方式.");
  return ui;
}

}  // namespace corvala4
