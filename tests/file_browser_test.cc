#include "foundation/platform/file_browser.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "corvala4/error.h"
#include "foundation/globals.h"
#include "tests/test_support.h"

namespace corvala4 {
namespace {

using testing::ScopedCapturingLauncher;

class FileBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CreateGlobalObjects();
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    setenv("XDG_RUNTIME_DIR", dir.path().c_str(), 1);
  }
  void TearDown() override { ReleaseGlobalObjects(); }

  testing::TempDir dir;
  ScopedCapturingLauncher launcher;
  const std::string folder = "/data/算例 \"一\"/Beam 01";
};

TEST_F(FileBrowserTest, AFolderOpensWithXdgOpenAsOneArgument) {
  OpenFolderInBrowser(folder);
  ASSERT_EQ(1u, launcher->calls.size());
  EXPECT_EQ((std::vector<std::string>{"xdg-open", folder}), launcher->calls[0]);
  EXPECT_EQ("explorer.exe \"/data/算例 \"一\"/Beam 01\"", launcher->texts[0]);
}

TEST_F(FileBrowserTest, AFileIsShownByTheFileManagerServiceElseItsFolderOpens) {
  std::string file = folder + "/CALC_TEST_DAT.XML";
  // No session bus: straight to the folder, without asking anyone.
  ShowFileInBrowser(file);
  EXPECT_TRUE(launcher->runs.empty());
  ASSERT_EQ(1u, launcher->calls.size());
  EXPECT_EQ((std::vector<std::string>{"xdg-open", folder}), launcher->calls[0]);
  EXPECT_EQ("explorer.exe /e, /select, \"" + file + "\"", launcher->texts[0]);

  // A bus whose file manager answers: it shows the file, nothing else starts.
  setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nowhere", 1);
  ShowFileInBrowser(file);
  ASSERT_EQ(1u, launcher->runs.size());
  std::vector<std::string> call = launcher->runs[0];
  ASSERT_EQ(13u, call.size());
  EXPECT_EQ("gdbus", call[0]);
  EXPECT_EQ("org.freedesktop.FileManager1.ShowItems", call[10]);
  EXPECT_EQ("['file:///data/%E7%AE%97%E4%BE%8B%20%22%E4%B8%80%22/Beam%2001/CALC_TEST_DAT.XML']", call[11]);
  EXPECT_EQ(1u, launcher->calls.size());

  // A bus without that service: the folder opens after all.
  launcher->run_status = 1;
  ShowFileInBrowser(file);
  ASSERT_EQ(2u, launcher->calls.size());
  EXPECT_EQ((std::vector<std::string>{"xdg-open", folder}), launcher->calls[1]);
  unsetenv("DBUS_SESSION_BUS_ADDRESS");
}

TEST_F(FileBrowserTest, AMissingXdgOpenIsSaidPlainly) {
  launcher->start_error = 53;
  Error e = testing::CaughtError([&] { OpenFolderInBrowser(folder); });
  EXPECT_EQ(53, e.Number());
  EXPECT_EQ(0u, e.Description().find("无法打开文件浏览器:未找到程序'xdg-open'.<+>请安装 xdg-utils."));
  EXPECT_NE(std::string::npos, e.Description().find(folder));
  // Other failures pass as they are.
  launcher->start_error = 70;
  EXPECT_EQ(70, testing::ErrorOf([&] { ShowFileInBrowser("/x/y.xml"); }));
}

TEST(FileUriTest, EscapesEveryByteButTheUnreservedOnesAndTheSlash) {
  EXPECT_EQ("file:///a-b_c.d~/%25%27%2C%5C%0A", FileUri("/a-b_c.d~/%',\\\n"));
}

}  // namespace
}  // namespace corvala4
