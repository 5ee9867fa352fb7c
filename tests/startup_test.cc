#include "foundation/startup.h"

#include <gtest/gtest.h>

#include "foundation/platform/log.h"
#include "tests/test_support.h"

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

TEST(StartupTest, UnwritableLogNeverStopsTheModule) {
  testing::TempDir dir;
  SetLogFilePath(dir / "missing-folder/m.log");
  WriteLog(LogEventType::Warning, "lost but harmless");
  SetLogFilePath("");
  SUCCEED();
}

}  // namespace
}  // namespace corvala4
