#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "engine/tester_core.h"
#include "foundation/errors.h"
#include "foundation/globals.h"
#include "foundation/platform/log.h"
#include "foundation/platform/process.h"
#include "model/test_cases.h"
#include "results/tester_status.h"
#include "settings/global_setting.h"
#include "tests/test_support.h"
#include "tests/unprivileged.h"

namespace corvala4 {
namespace {

using testing::Exists;
using testing::ReadFile;
using testing::WriteFile;

class EntryOperationsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(host_exe, "binary");
    tester.SetHostEXE(host_exe);
    tester.Subscribe(host);
  }

  std::string Case(const std::string& name, const std::string& mandatory) {
    WriteFile(env.dir() / ("TestData/" + name + "/p.prj"), "result\n");
    WriteFile(env.dir() / ("TestData/" + name + "/r.out"), "result\n");
    return "<自测试算例 名称=\"" + name + "\" 目录=\"" + name + "\" 工程文件=\"p.prj\" 必测=\"" + mandatory +
           "\" 功能代号=\"1\"><输出文件 保留=\"n\">r.out</输出文件></自测试算例>";
  }
  void DefineXml(const std::string& cases) {
    WriteFile(env.dir() / "CALC_TEST_DAT.XML",
              "<自测试配置><自测试标准目录>TestData</自测试标准目录>" + cases + "</自测试配置>");
  }
  size_t RecordLines() {
    std::string r = ReadFile(env.dir() / "calc_Test_Ver.txt");
    return static_cast<size_t>(std::count(r.begin(), r.end(), '\n'));
  }
  /// The context is closed and nothing is left running.
  void ExpectIdle() {
    EXPECT_FALSE(G().TestRunning);
    EXPECT_EQ(nullptr, G().CurrentTester);
    EXPECT_EQ(0, tester.TestCases()->Count());
  }

  testing::IsolatedEnvironment env;
  testing::ScopedScriptedUI ui;
  std::string host_exe = env.dir() / "calc";
  Tester tester;
  testing::RecordingHost host{*ui, tester};
};

TEST_F(EntryOperationsTest, NothingToTestRecordsTheBuildUnlessQuiet) {
  std::string txt = env.dir() / "CALC_TEST_DAT.TXT";
  tester.Launch();
  tester.LaunchNoUI();  // neither shown nor logged
  EXPECT_EQ("", env.ReadLog());
  EXPECT_EQ(2u, RecordLines());

  // A file without a valid case: the quiet run runs nothing and records nothing.
  WriteFile(txt, "TestData;standard\r\n// nothing else\r\n");
  tester.LaunchNoUI();
  EXPECT_EQ(2u, RecordLines());
  tester.Launch();
  EXPECT_EQ(3u, RecordLines());
  ASSERT_EQ(2u, ui->boxes.size());
  EXPECT_EQ("未找到正确性自测试算例的定义文件'" + txt + "',系统现在未经过测试就设置程序正确了.",
            ui->boxes[0].prompt);
  EXPECT_EQ(16, ui->boxes[0].style);
  EXPECT_EQ(
      "在自测试算例的定义文件'" + txt + "'中,未找到任何合法的算例信息,系统现在未经过测试就设置程序正确了.",
      ui->boxes[1].prompt);
  EXPECT_TRUE(ui->calls.empty());
  ExpectIdle();
}

TEST_F(EntryOperationsTest, QuietRunThenBuildCheck) {
  // Both forms present: only the XML form is read.
  DefineXml(Case("A", "y") + Case("B", "n"));
  WriteFile(env.dir() / "CALC_TEST_DAT.TXT", "TestData;standard\r\nT,T,t.prj,y,1,t.out;\r\n");
  tester.LaunchNoUI();
  EXPECT_EQ(2, host.calculated);
  EXPECT_EQ(1u, RecordLines());
  EXPECT_TRUE(ui->boxes.empty());
  EXPECT_NE(std::string::npos, env.ReadLog().find("Information: 全部选定自测试算例执行完成!"));
  EXPECT_EQ(0, ui->operations_begun);  // a quiet run leaves the user interface alone
  ExpectIdle();

  // A second run of the same build is recorded once more; the build check then asks nothing.
  tester.LaunchNoUI();
  EXPECT_EQ(2u, RecordLines());
  tester.PromptTest();
  EXPECT_TRUE(ui->boxes.empty());
  EXPECT_TRUE(ui->calls.empty());
  ExpectIdle();
}

TEST_F(EntryOperationsTest, BuildCheckOfAnUntestedBuild) {
  DefineXml(Case("A", "y"));
  ui->answers = {kCancel};
  tester.PromptTest();
  ASSERT_EQ(1u, ui->boxes.size());
  EXPECT_EQ("提醒：本EXE版本没有经过全部正确性“必测”测试，是否立即开始测试？", ui->boxes[0].prompt);
  EXPECT_EQ(33, ui->boxes[0].style);
  EXPECT_EQ("提示", ui->boxes[0].title);
  EXPECT_TRUE(ui->calls.empty());
  EXPECT_EQ(0u, RecordLines());

  ui->answers = {kOk};
  tester.PromptTest();
  EXPECT_EQ((std::vector<std::string>{"TestWindow"}), ui->calls);
  ExpectIdle();

  tester.Launch();
  EXPECT_EQ(2u, ui->calls.size());
  EXPECT_EQ(2u, ui->boxes.size());
  EXPECT_FALSE(TesterCore::Of(tester).VersionRecord().Attached());
}

TEST_F(EntryOperationsTest, ReentryIsRefusedFromAnotherTesterAndFromInsideARun) {
  DefineXml(Case("A", "y") + Case("B", "n"));
  Tester other;
  other.SetHostEXE(host_exe);
  host.on_do_test = [&](TestCase& tc) {
    if (tc.Caption() == "A") {
      other.Launch();
      tester.LaunchNoUI();
    }
  };
  // An interactive test window that starts a normal run.
  struct Window : testing::ScriptedUserInterface {
    void ShowTestWindow(Tester& t) override {
      calls.push_back("TestWindow");
      TesterCore::Of(t).Driver().RunCases(TesterCore::Of(t).TestCases(), false);
    }
  };
  auto window = std::make_shared<Window>();
  SetUserInterface(window);
  tester.Launch();
  ASSERT_EQ(4u, window->boxes.size());
  EXPECT_EQ("测试已经在执行了!", window->boxes[0].prompt);
  // The refused quiet call logged its refusal but left the run in progress interactive.
  EXPECT_NE(std::string::npos, env.ReadLog().find("Error: 测试已经在执行了!"));
  EXPECT_EQ("算例'A'通过了正确性自测试!", window->boxes[1].prompt);
  EXPECT_EQ("算例'B'通过了正确性自测试!", window->boxes[2].prompt);
  EXPECT_EQ(0u, window->boxes[3].prompt.rfind("祝贺您！", 0));
  EXPECT_EQ(2, host.calculated);
  // One operation shown, from the window to the congratulation; the refusals began none.
  EXPECT_EQ(1, window->operations_begun);
  EXPECT_EQ(1, window->operations_ended);
  EXPECT_TRUE(window->boxes[3].in_operation);
  SetUserInterface(nullptr);
  ExpectIdle();

  // A refusal whose message box fails leaves the running operation guarded.
  struct FailingBoxes : testing::ScriptedUserInterface {
    int MsgBox(const std::string& prompt, int style, const std::string& title, const std::string& helpFile,
               int helpContext) override {
      if (prompt == "测试已经在执行了!") throw std::runtime_error("no display");
      return ScriptedUserInterface::MsgBox(prompt, style, title, helpFile, helpContext);
    }
  };
  auto failing = std::make_shared<FailingBoxes>();
  SetUserInterface(failing);
  bool guarded = false;
  host.on_do_test = [&](TestCase&) {
    other.Launch();
    guarded = G().TestRunning;
  };
  tester.LaunchNoUI();
  EXPECT_TRUE(guarded);
  EXPECT_TRUE(failing->boxes.empty());
  SetUserInterface(nullptr);
  ExpectIdle();
}

TEST_F(EntryOperationsTest, AFailureEndsTheOperationAndTheNextOneWorks) {
  // The second case lacks an attribute: the first stays loaded.
  DefineXml(Case("A", "y") + "<自测试算例 名称=\"B\" 目录=\"B\"/>");
  tester.Launch();
  ASSERT_EQ(1u, ui->boxes.size());
  EXPECT_EQ(0u, ui->boxes[0].prompt.rfind("错误 94\r\n位置 "));
  EXPECT_EQ(16, ui->boxes[0].style);
  EXPECT_TRUE(ui->boxes[0].in_operation);  // the failure is told before the operation ends
  EXPECT_EQ(1, ui->operations_ended);
  EXPECT_FALSE(G().TestRunning);
  EXPECT_EQ(1, tester.TestCases()->Count());

  // The next Launch shows the case left behind without reloading.
  tester.Launch();
  EXPECT_EQ((std::vector<std::string>{"TestWindow"}), ui->calls);
  ExpectIdle();
}

TEST_F(EntryOperationsTest, BadDefinitionFilesAreReportedAndNeverCrash) {
  std::string enormous(24 << 20, 'x');
  for (size_t i = 0; i < enormous.size(); i += 97) enormous[i] = '\n';
  const std::string bad[] = {"", std::string("\0\x01\xFF\xFE\x89PNG\r\n\x1A", 10), "<自测试配置><自测试标准",
                             enormous};
  for (const char* name : {"CALC_TEST_DAT.XML", "CALC_TEST_DAT.TXT"}) {
    for (const std::string& bytes : bad) {
      std::filesystem::remove(env.dir() / "CALC_TEST_DAT.XML");
      WriteFile(env.dir() / name, bytes);
      tester.LaunchNoUI();
      tester.Launch();
      EXPECT_FALSE(G().TestRunning);
    }
  }
  // The XML form fails to load and says why: an Error entry under LaunchNoUI, a box under Launch.
  EXPECT_NE(std::string::npos, env.ReadLog().find("Error: 错误 91"));
  EXPECT_EQ(0u, ui->boxes[0].prompt.rfind("错误 91", 0));
}

TEST_F(EntryOperationsTest, AReadOnlyHostFolderReportsTheFailedRecord) {
  testing::TempDir logs;
  std::string log = logs / "module.log";
  WriteFile(log, "");
  chmod(logs.path().c_str(), 0755);
  chmod(log.c_str(), 0666);
  chmod(env.dir().path().c_str(), 0555);
  testing::ChildOutcome outcome = testing::RunUnprivileged([&] {
    SetLogFilePath(log);
    tester.LaunchNoUI();
    if (G().TestRunning) throw Error(1, "", "still running");
  });
  chmod(env.dir().path().c_str(), 0755);
  ASSERT_TRUE(outcome.ran);
  EXPECT_EQ(0, outcome.number);
  EXPECT_FALSE(Exists(env.dir() / "calc_Test_Ver.txt"));
  std::string entry = ReadFile(log);
  EXPECT_NE(std::string::npos, entry.find("Error: 错误 70"));
  EXPECT_NE(std::string::npos, entry.find("calc_Test_Ver.txt"));
}

TEST_F(EntryOperationsTest, CompareFoldersHandsTheWorkingFolderFirst) {
  testing::ScopedCapturingLauncher capture;
  WriteFile(env.dir() / "tool", "");
  TesterCore::Of(tester).OpenContext();
  Setting().SetExternalToolEnabled(true);
  Setting().SetExternalToolPath(env.dir() / "tool");
  TesterCore::Of(tester).SetStandardFolder(env.dir() / "TestData");
  TesterCore::Of(tester).CompareFoldersWithTool();
  TesterCore::Of(tester).CloseContext();
  ASSERT_EQ(1u, capture->calls.size());
  EXPECT_EQ(
      (std::vector<std::string>{env.dir() / "tool", env.dir() / "TestData_make", env.dir() / "TestData"}),
      capture->calls[0]);
}

}  // namespace
}  // namespace corvala4
