#include "foundation/startup.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "foundation/platform/log.h"
#include "tests/test_support.h"
#include "tests/unprivileged.h"

namespace corvala4 {
namespace {

TEST(StartupTest, ReleaseNumberRuleLooksAtTheLastDigit) {
  for (int minor : {3, 13, 24, 107}) {
    auto warning = ReleaseNumberWarning(minor);
    ASSERT_TRUE(warning) << minor;
    std::string digit = std::to_string(minor % 10);
    EXPECT_EQ("次要版本号尾数不应是3/4/7中的任意一个,当前尾数是" + digit + ",请勿发布此版本!", *warning);
  }
  for (int minor : {0, 5, 10, 12, 38}) EXPECT_FALSE(ReleaseNumberWarning(minor)) << minor;
}

TEST(StartupTest, TheModuleItselfMayBeReleased) {
  testing::ScopedScriptedUI ui;
  Main();
  EXPECT_TRUE(ui->boxes.empty());
}

TEST(StartupTest, LogLiesBesideTheModuleAndGrows) {
  std::string module = ModuleFilePath();
  ASSERT_FALSE(module.empty());
  std::string log = LogFilePath();
  EXPECT_EQ(module.substr(0, module.rfind('/')), log.substr(0, log.rfind('/')));
  EXPECT_EQ(".log", log.substr(log.size() - 4));

  testing::TempDir dir;
  SetLogFilePath(dir / "m.log");
  WriteLog(LogEventType::Error, "first\r\nsecond");
  WriteLog(LogEventType::Information, "third");
  std::string text = testing::ReadFile(dir / "m.log");
  EXPECT_NE(std::string::npos, text.find("Error: first | second\n"));
  EXPECT_NE(std::string::npos, text.find("Information: third\n"));
  EXPECT_EQ(2, std::count(text.begin(), text.end(), '\n'));
  SetLogFilePath("");
}

TEST(StartupTest, AnUnwritableModuleFolderSendsTheLogToTheStateFolder) {
  testing::IsolatedEnvironment env;
  // The module's folder belongs to root and the host runs as an ordinary user.
  std::string module_folder = env.dir() / "lib";
  std::filesystem::create_directories(module_folder);
  std::filesystem::create_directories(env.dir() / "state");
  std::filesystem::create_directories(env.dir() / "home");
  chmod(env.dir().path().c_str(), 0755);
  chmod(module_folder.c_str(), 0755);
  chmod((env.dir() / "state").c_str(), 0777);
  chmod((env.dir() / "home").c_str(), 0777);
  testing::ChildOutcome outcome = testing::RunUnprivileged([&] {
    SetLogFilePath(module_folder + "/libcorvala4.log");
    WriteLog(LogEventType::Error, "to the state folder");
    unsetenv("XDG_STATE_HOME");
    setenv("HOME", (env.dir() / "home").c_str(), 1);
    WriteLog(LogEventType::Warning, "to the default state folder");
  });
  ASSERT_TRUE(outcome.ran);
  EXPECT_FALSE(testing::Exists(module_folder + "/libcorvala4.log"));
  EXPECT_NE(std::string::npos,
            testing::ReadFile(env.dir() / "state/corvala4/libcorvala4.log").find("Error: to the state folder\n"));
  EXPECT_NE(std::string::npos, testing::ReadFile(env.dir() / "home/.local/state/corvala4/libcorvala4.log")
                                   .find("Warning: to the default state folder\n"));

  // A writable module folder keeps its log.
  SetLogFilePath(module_folder + "/libcorvala4.log");
  WriteLog(LogEventType::Information, "beside the module");
  EXPECT_NE(std::string::npos, testing::ReadFile(module_folder + "/libcorvala4.log").find("beside the module"));
  EXPECT_EQ(std::string::npos, testing::ReadFile(env.dir() / "state/corvala4/libcorvala4.log").find("beside"));
}

TEST(StartupTest, UnwritableLogNeverStopsTheModule) {
  testing::IsolatedEnvironment env;
  // Neither the log's folder nor the state folder can be made: a file stands in the way.
  testing::WriteFile(env.dir() / "blocked", "x");
  setenv("XDG_STATE_HOME", (env.dir() / "blocked").c_str(), 1);
  SetLogFilePath(env.dir() / "missing-folder/m.log");
  WriteLog(LogEventType::Warning, "lost but harmless");
  EXPECT_FALSE(testing::Exists(env.dir() / "missing-folder/m.log"));
}

}  // namespace
}  // namespace corvala4
