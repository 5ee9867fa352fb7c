#include "foundation/platform/windows_loader.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "corvala4/version.h"
#include "foundation/platform/headless_ui.h"
#include "foundation/platform/log.h"
#include "tests/test_support.h"

namespace corvala4 {
namespace {

TEST(WindowsLoaderTest, TheLibraryOfThisVersionLiesBesideTheModule) {
  std::string module = ModuleFilePath();
  EXPECT_EQ(module.substr(0, module.rfind('/')) + "/libcorvala4_qt.so." + kVersionText, WindowsLibraryPath());
}

TEST(WindowsLoaderTest, ALibraryThatCannotServeLeavesNoneAndSaysWhy) {
  testing::IsolatedEnvironment env;
  EXPECT_EQ(nullptr, LoadWindows(env.dir() / "libcorvala4_qt.so.0"));
  EXPECT_NE(std::string::npos, env.ReadLog().find("Warning: 窗口库未能加载,改用无窗口方式: "));
  // A library, but not ours.
  EXPECT_EQ(nullptr, LoadWindows("libm.so.6"));
  EXPECT_NE(std::string::npos, env.ReadLog().find("窗口库'libm.so.6'不是本模块的窗口库"));
}

TEST(WindowsLoaderTest, WithoutADisplayTheHeadlessInterfaceServesAndQtStaysOut) {
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
  UserInterface& ui = CurrentUserInterface();
  EXPECT_NE(nullptr, dynamic_cast<HeadlessUserInterface*>(&ui));
  EXPECT_EQ(nullptr, dlopen("libQt6Core.so.6", RTLD_LAZY | RTLD_NOLOAD));
}

}  // namespace
}  // namespace corvala4
