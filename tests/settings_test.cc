#include "settings/global_setting.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/tester_core.h"
#include "foundation/errors.h"
#include "foundation/globals.h"
#include "foundation/platform/process.h"
#include "foundation/platform/settings_store.h"
#include "settings/registry.h"
#include "tests/test_support.h"

namespace corvala4 {
namespace {

using testing::IsolatedEnvironment;
using testing::ErrorOf;
using testing::ReadFile;
using testing::ScopedScriptedUI;
using testing::WriteFile;

const char* const kApp = "settings-test-app";

class SettingsStoreTest : public ::testing::Test {
 protected:
  std::string Store() const { return env.dir() / "config/corvala4/settings-test-app.ini"; }
  IsolatedEnvironment env;
};

TEST_F(SettingsStoreTest, ValuesAreStoredAsWritten) {
  EXPECT_EQ(SettingsFilePath(kApp), Store());
  EXPECT_EQ(GetSetting(kApp, "选项", "双击动作", "dflt"), "dflt");
  SaveSetting(kApp, "选项", "双击动作", "2");
  SaveSetting(kApp, "ExternalTool", "Path", "/opt/my tools/cmp");
  SaveSetting(kApp, "ExternalTool", "Enabled", "False");
  EXPECT_EQ(ReadFile(Store()),
            "[选项]\n双击动作=2\n\n[ExternalTool]\nPath=/opt/my tools/cmp\nEnabled=False\n");
  EXPECT_EQ(GetSetting(kApp, "选项", "双击动作", ""), "2");
  EXPECT_EQ(GetSetting(kApp, "externaltool", "PATH", ""), "/opt/my tools/cmp");
  SaveSetting(kApp, "ExternalTool", "path", "/x");
  EXPECT_EQ(GetSetting(kApp, "ExternalTool", "Path", ""), "/x");
  EXPECT_EQ(GetSetting(kApp, "ExternalTool", "Missing", "d"), "d");

  // Texts the plain form cannot hold come back unchanged.
  for (std::string odd : {std::string("  padded  "), std::string("two\r\nlines"), std::string("\"quoted\""),
                          std::string("a\\b"), std::string("x=y;z"), std::string("")}) {
    SaveSetting(kApp, "Odd [section]", "key = with equals", odd);
    EXPECT_EQ(GetSetting(kApp, "Odd [section]", "key = with equals", "none"), odd);
  }
  EXPECT_EQ(GetSetting(kApp, "ExternalTool", "Path", ""), "/x");
}

TEST_F(SettingsStoreTest, DamagedStoreIsReadAsFarAsItCanBeAndKept) {
  std::string damaged =
      "orphan=before any section\r\n[ExternalTool]\r\n\xff\xfe junk\r\nno equals here\r\nEnabled=True\r\n"
      "[broken\r\n; comment\r\n[选项]\r\n双击动作 = 1 \r\n";
  WriteFile(Store(), damaged);
  EXPECT_EQ(GetSetting(kApp, "ExternalTool", "Enabled", ""), "True");
  EXPECT_EQ(GetSetting(kApp, "选项", "双击动作", ""), "1");
  EXPECT_EQ(GetSetting(kApp, "", "orphan", "d"), "d");
  SaveSetting(kApp, "ExternalTool", "Enabled", "False");
  SaveSetting(kApp, "ExternalTool", "Path", "/p");
  std::string expected = damaged;
  expected.replace(expected.find("Enabled=True"), 12, "Enabled=False\r\nPath=/p");
  EXPECT_EQ(ReadFile(Store()), expected);

  // A store that cannot be read is never replaced.
  std::filesystem::remove(Store());
  std::filesystem::create_directories(Store());
  EXPECT_EQ(GetSetting(kApp, "ExternalTool", "Enabled", "d"), "d");
  EXPECT_NE(ErrorOf([] { SaveSetting(kApp, "ExternalTool", "Enabled", "True"); }), 0);
  EXPECT_TRUE(std::filesystem::is_directory(Store()));
  // No temporary file is left behind.
  size_t files = 0;
  for (auto& entry : std::filesystem::directory_iterator(env.dir() / "config/corvala4")) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1u);
}

class GlobalSettingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tester.SetHostEXE(env.dir() / "host/calc");
    TesterCore::Of(tester).OpenContext();
    TesterCore::Of(tester).SetShowUI(true);
  }
  void TearDown() override { TesterCore::Of(tester).CloseContext(); }
  std::string Store() const { return env.dir() / ("config/corvala4/" + SettingsAppName() + ".ini"); }

  IsolatedEnvironment env;
  ScopedScriptedUI ui;
  Tester tester;
  testing::ScopedCapturingLauncher launcher;
  GlobalSetting setting;
};

TEST_F(GlobalSettingTest, DefaultsStoredFormsAndBadTexts) {
  EXPECT_EQ(SettingsAppName(), "settings_test");
  EXPECT_EQ(setting.DoubleClickAction(), 0);
  EXPECT_TRUE(setting.ExternalToolEnabled());
  EXPECT_EQ(setting.DefaultToolPath(), env.dir() / "host/plavex.exe");
  EXPECT_EQ(setting.ExternalToolPath(), env.dir() / "host/plavex.exe");
  EXPECT_FALSE(TesterCore::Of(tester).StatWindowEnabled());

  // The maker's folder from the registry comes first; an empty value falls back again.
  Registry().SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Halvern\\Setup\\QNVX", "Path", "/opt/halvern");
  EXPECT_EQ(setting.ExternalToolPath(), "/opt/halvern/plavex.exe");
  Registry().SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Halvern\\Setup\\QNVX", "Path", "");
  EXPECT_EQ(setting.DefaultToolPath(), env.dir() / "host/plavex.exe");

  setting.SetDoubleClickAction(-1);
  setting.SetExternalToolEnabled(false);
  setting.SetExternalToolPath("");
  EXPECT_EQ(ReadFile(Store()), "[选项]\n双击动作=-1\n\n[ExternalTool]\nEnabled=False\nPath=\n");
  EXPECT_EQ(setting.DoubleClickAction(), -1);
  EXPECT_FALSE(setting.ExternalToolEnabled());
  EXPECT_EQ(setting.ExternalToolPath(), "");

  SaveSetting(SettingsAppName(), "ExternalTool", "Enabled", "maybe");
  SaveSetting(SettingsAppName(), "选项", "双击动作", "two");
  SaveSetting(SettingsAppName(), "Advanced", "EnalbeStatWindow", "on");
  EXPECT_EQ(ErrorOf([&] { setting.ExternalToolEnabled(); }), 13);
  EXPECT_EQ(ErrorOf([&] { setting.DoubleClickAction(); }), 13);
  EXPECT_EQ(ErrorOf([&] { TesterCore::Of(tester).StatWindowEnabled(); }), 13);
}

TEST_F(GlobalSettingTest, RunCompareToolStartsTheProgramWithExactArguments) {
  std::string tool = env.dir() / "my tools/cmp %1.sh";
  WriteFile(tool, "#!/bin/sh\n");
  setting.SetExternalToolPath(tool);
  std::string first = env.dir() / "work dir/out \"1\".txt";
  std::string second = env.dir() / "std/%0 and %1.txt";
  setting.RunCompareTool(first, second);
  ASSERT_EQ(launcher->calls.size(), 1u);
  EXPECT_EQ(launcher->calls[0], (std::vector<std::string>{tool, first, second}));
  // The command text shows each path as it is, placeholders and all.
  EXPECT_EQ(launcher->texts[0], GlobalSetting::CompareCommandText(tool, first, second));
  EXPECT_EQ(GlobalSetting::CompareCommandText("p", "a b", "s%0%1"), "\"p\" \"a b\" \"s%0%1\"");
  EXPECT_TRUE(ui->boxes.empty());

  // Disabled, or no path: silently nothing.
  setting.SetExternalToolEnabled(false);
  setting.RunCompareTool("a", "b");
  setting.SetExternalToolEnabled(true);
  setting.SetExternalToolPath("");
  setting.RunCompareTool("a", "b");
  EXPECT_EQ(launcher->calls.size(), 1u);
  EXPECT_TRUE(ui->boxes.empty());
}

TEST_F(GlobalSettingTest, MissingProgramIsReportedOnEveryAttempt) {
  std::string missing = env.dir() / "nowhere/cmp";
  setting.SetExternalToolPath(missing);
  setting.RunCompareTool("a", "b");
  setting.RunCompareTool("a", "b");
  EXPECT_TRUE(launcher->calls.empty());
  ASSERT_EQ(ui->boxes.size(), 2u);
  EXPECT_EQ(ui->boxes[0].prompt, "错误:未找到外部比较程序'" + missing + "'.");
  EXPECT_EQ(ui->boxes[0].style, 16);

  // Without a user interface the message goes to the log.
  TesterCore::Of(tester).SetShowUI(false);
  setting.RunCompareTool("a", "b");
  EXPECT_EQ(ui->boxes.size(), 2u);
  EXPECT_NE(env.ReadLog().find("错误:未找到外部比较程序'" + missing + "'."), std::string::npos);
}

}  // namespace
}  // namespace corvala4
