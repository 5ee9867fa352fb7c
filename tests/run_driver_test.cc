#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "engine/run_driver.h"
#include "engine/tester_core.h"
#include "foundation/errors.h"
#include "foundation/globals.h"
#include "model/test_case.h"
#include "model/test_cases.h"
#include "results/tester_status.h"
#include "tests/run_fixture.h"

namespace corvala4 {
namespace {

using testing::Exists;
using testing::ReadFile;
using testing::WriteFile;

class RunDriverTest : public testing::RunFixture {
 protected:
  /// Opens a context as an entry operation would and runs every case.
  void Run(bool autoMode, bool showUI = true) {
    Open(showUI);
    core().Driver().RunCases(core().TestCases(), autoMode);
  }
  std::string Record() { return ReadFile(env.dir() / "calc_Test_Ver.txt"); }
  size_t RecordLines() {
    std::string r = Record();
    return static_cast<size_t>(std::count(r.begin(), r.end(), '\n'));
  }
};

const char* kCongratulation = "祝贺您！本版本已经通过了全部必测算例。\r\n今后，您可以放心使用此版本程序了！";

TEST_F(RunDriverTest, EventOrderOfTwoCases) {
  Define({"A!", "B"});
  Run(false);
  EXPECT_EQ((std::vector<std::string>{
                "BeforeAllTest(2)", "CheckCancel", "yield", "BeforeOneTest(A)", "CheckCancel", "DoTest(A)",
                "box:算例'A'通过了正确性自测试!", "AfterOneTest(A)", "CheckCancel", "yield",
                "BeforeOneTest(B)", "CheckCancel", "DoTest(B)", "box:算例'B'通过了正确性自测试!",
                "AfterOneTest(B)", "CheckCancel", "AfterAllTest", std::string("box:") + kCongratulation}),
            host.Seen());
  EXPECT_EQ(64, ui->boxes[0].style);
  EXPECT_EQ(1u, RecordLines());
  EXPECT_EQ(core().TestCases().get(), host.selected_in_run);
  EXPECT_TRUE(host.active_in_do_test);
  EXPECT_EQ(nullptr, tester.SelectedCases());
  EXPECT_EQ(nullptr, tester.ActiveCase());
  // The pass markers beside the standard results.
  EXPECT_TRUE(Exists(env.dir() / "TestData/A/calc_p_1_Passed.txt"));

  // B alone is not mandatory, but A passed before: the build is recorded again.
  auto only_b = std::make_shared<TestCasesImpl>();
  only_b->Add(core().TestCases()->At(2));
  core().Driver().RunCases(only_b, true);
  EXPECT_EQ(kCongratulation, ui->boxes.back().prompt);
  EXPECT_EQ(2u, RecordLines());
}

TEST_F(RunDriverTest, QuietRunClosesWithTwoMessagesAndOneRecord) {
  Define({"A!"});
  Run(true);
  EXPECT_EQ(
      (std::vector<std::string>{"BeforeAllTest(1)", "CheckCancel", "yield", "BeforeOneTest(A)", "CheckCancel",
                                "DoTest(A)", "AfterOneTest(A)", "CheckCancel", "AfterAllTest",
                                "box:全部选定自测试算例执行完成!", std::string("box:") + kCongratulation}),
      host.Seen());
  EXPECT_EQ(1u, RecordLines());

  // Without a user interface the closing messages are log entries.
  core().CloseContext();
  ui->boxes.clear();
  Run(true, false);
  EXPECT_TRUE(ui->boxes.empty());
  std::string log = env.ReadLog();
  EXPECT_NE(std::string::npos, log.find("Information: 全部选定自测试算例执行完成!"));
  EXPECT_NE(std::string::npos, log.find("Information: 祝贺您！"));
  EXPECT_EQ(2u, RecordLines());

  // An empty selection raises nothing and records nothing.
  size_t seen = host.Seen().size();
  core().Driver().RunCases(std::make_shared<TestCasesImpl>(), true);
  EXPECT_EQ(seen, host.Seen().size());
  EXPECT_EQ(2u, RecordLines());
}

TEST_F(RunDriverTest, FailedCalculationAndTheAnswersToTheQuestion) {
  Define({"A!", "B", "C", "D"});
  host.on_do_test = [](TestCase& tc) {
    if (tc.Caption() == "A") tc.SetSuccess(false);
  };
  host.output = {{"B", "wrong\n"}, {"C", "wrong\n"}, {"D", "wrong\n"}};
  ui->answers = {kOk, kYes, kNo, kCancel};
  Run(false);
  std::vector<std::string> seen = host.Seen();
  auto at = [&](const std::string& s) { return std::find(seen.begin(), seen.end(), s) - seen.begin(); };
  // The calculation failed: not passed although its output is right.
  EXPECT_LT(at("box:算例'A'计算失败!"), at("AfterOneTest(A)"));
  EXPECT_EQ(16, ui->boxes[0].style);
  EXPECT_FALSE(Exists(env.dir() / "TestData/A/calc_p_1_Passed.txt"));
  // Yes opens the compare window, No does nothing, Cancel ends the case quietly.
  EXPECT_EQ("box:算例'B'未通过,是否查看测试结果?", seen[at("window:CompareWindow") - 1]);
  EXPECT_EQ(19, ui->boxes[1].style);
  EXPECT_NE(seen.size(), static_cast<size_t>(at("AfterOneTest(C)")));
  EXPECT_EQ(seen.size(), static_cast<size_t>(at("AfterOneTest(D)")));
  EXPECT_EQ("AfterAllTest", seen.back());
  EXPECT_TRUE(ui->errors.empty());
  EXPECT_EQ(0u, RecordLines());
}

TEST_F(RunDriverTest, CancelInEveryQueryEndsEachCaseButNotTheRun) {
  Define({"A!", "B!"});
  host.cancel = true;
  Run(true);
  EXPECT_EQ((std::vector<std::string>{"BeforeAllTest(2)", "CheckCancel", "yield", "BeforeOneTest(A)",
                                      "CheckCancel", "yield", "BeforeOneTest(B)", "CheckCancel",
                                      "AfterAllTest", "box:全部选定自测试算例执行完成!"}),
            host.Seen());
  EXPECT_TRUE(ui->errors.empty());
  // The cancelled case stays the active one until another case starts.
  EXPECT_EQ("B", tester.ActiveCase()->Caption());
}

TEST_F(RunDriverTest, FailuresAreReportedAndTheRunGoesOn) {
  Define({"A!", "Gone", "Throws", "D"});
  std::filesystem::remove_all(env.dir() / "TestData/Gone");
  host.on_do_test = [](TestCase& tc) {
    if (tc.Caption() == "Throws") throw std::runtime_error("the host's own failure");
  };
  host.throw_after_all = true;
  Run(true);
  std::vector<std::string> seen = host.Seen();
  auto count = [&](const std::string& s) { return std::count(seen.begin(), seen.end(), s); };
  EXPECT_EQ(0, count("DoTest(Gone)"));
  EXPECT_EQ(0, count("AfterOneTest(Gone)"));
  EXPECT_EQ(0, count("AfterOneTest(Throws)"));
  EXPECT_EQ(1, count("AfterOneTest(D)"));
  ASSERT_EQ(3u, ui->errors.size());
  EXPECT_EQ("算例文件夹'" + env.dir() / "TestData/Gone" + "'不存在!\r\n请检查此文件夹与'" +
                env.dir() / "CALC_TEST_DAT.XML" + "'中的算例文件夹是否对应.",
            ui->errors[0].first);
  EXPECT_NE(std::string::npos, ui->errors[1].second.find("the host's own failure"));
  EXPECT_NE(std::string::npos, ui->errors[2].second.find("host broke"));
  // A failing AfterAllTest keeps nothing after it from running.
  ASSERT_EQ(2u, ui->boxes.size());
  EXPECT_EQ("全部选定自测试算例执行完成!", ui->boxes[0].prompt);
  EXPECT_EQ(kCongratulation, ui->boxes[1].prompt);
  EXPECT_EQ(1u, RecordLines());
}

TEST_F(RunDriverTest, ACalculationThatFailsRemovesTheEarlierPass) {
  Define({"A!"});
  Run(true);
  ASSERT_TRUE(Exists(env.dir() / "TestData/A/calc_p_1_Passed.txt"));
  ASSERT_EQ(1u, RecordLines());
  host.on_do_test = [](TestCase&) { throw std::runtime_error("the solver crashed"); };
  Run(true);
  EXPECT_FALSE(Exists(env.dir() / "TestData/A/calc_p_1_Passed.txt"));
  EXPECT_EQ(1u, RecordLines());
}

TEST_F(RunDriverTest, EndRunSaysWhetherTheBuildWasRecorded) {
  Define({"A!"});
  core().OpenContext();
  core().LoadDefinition();
  RunDriver& driver = core().Driver();
  std::shared_ptr<TestCasesImpl> cases = core().TestCases();
  auto once = [&] {
    EXPECT_TRUE(driver.BeginRun(cases, true));
    EXPECT_TRUE(driver.PrepareCase(cases->At(1)));
    WriteFile(cases->At(1)->TestCaseFolder() + "/r.out", "ok\n");
    EXPECT_TRUE(driver.FinishCase(cases->At(1)));
    return driver.EndRun(cases);
  };
  // Every mandatory case passed, but the record cannot be written.
  std::string record = core().VersionRecord().RecordPath();
  std::filesystem::create_directories(record);
  EXPECT_FALSE(once());
  std::filesystem::remove(record);
  EXPECT_TRUE(once());
  EXPECT_EQ(1u, RecordLines());
}

TEST_F(RunDriverTest, StepsOneByOneWithTheCalculationsDoneElsewhere) {
  Define({"A!", "B!"});
  core().SetShowUI(true);
  core().OpenContext();
  core().LoadDefinition();
  RunDriver& driver = core().Driver();
  std::shared_ptr<TestCasesImpl> cases = core().TestCases();
  std::shared_ptr<TestCaseImpl> a = cases->At(1), b = cases->At(2);
  ASSERT_TRUE(driver.BeginRun(cases, true));
  EXPECT_EQ(cases, driver.SelectedCases());
  // Both folders first, then both calculated outside the events, then both finished.
  EXPECT_TRUE(driver.PrepareCase(a));
  EXPECT_TRUE(driver.PrepareCase(b));
  EXPECT_FALSE(Exists(a->TestCaseFolder() + "/r.out"));
  WriteFile(a->TestCaseFolder() + "/r.out", "ok\n");
  WriteFile(b->TestCaseFolder() + "/r.out", "wrong\n");
  EXPECT_TRUE(driver.FinishCase(a));
  EXPECT_TRUE(driver.FinishCase(b));
  EXPECT_FALSE(driver.EndRun(cases));  // B has not passed: nothing recorded
  EXPECT_EQ((std::vector<std::string>{"BeforeAllTest(2)", "CheckCancel", "BeforeOneTest(A)", "CheckCancel",
                                      "BeforeOneTest(B)", "CheckCancel", "AfterOneTest(A)", "CheckCancel",
                                      "AfterOneTest(B)", "CheckCancel", "AfterAllTest",
                                      "box:全部选定自测试算例执行完成!"}),
            host.Seen());
  EXPECT_TRUE(Exists(env.dir() / "TestData/A/calc_p_1_Passed.txt"));
  EXPECT_FALSE(Exists(env.dir() / "TestData/B/calc_p_1_Passed.txt"));
  EXPECT_EQ(0u, RecordLines());
  EXPECT_EQ(nullptr, driver.SelectedCases());
  EXPECT_EQ(nullptr, driver.ActiveCase());

  // A step that fails reports its failure and says so; an empty run begins nothing.
  std::filesystem::remove_all(env.dir() / "TestData/B");
  EXPECT_FALSE(driver.PrepareCase(b));
  ASSERT_EQ(1u, ui->errors.size());
  EXPECT_EQ(0u, ui->errors[0].first.rfind("算例文件夹'", 0));
  EXPECT_FALSE(driver.BeginRun(std::make_shared<TestCasesImpl>(), true));
}

TEST_F(RunDriverTest, StatusWindowOnlyWithTheSettingAndAUserInterface) {
  Define({"A!"});
  core().SetStatWindowEnabled(true);
  Run(true, false);
  EXPECT_TRUE(ui->calls.empty());
  EXPECT_TRUE(ui->status_lines.empty());
  core().CloseContext();
  Run(true, true);
  ASSERT_EQ(1u, ui->calls.size());
  EXPECT_EQ("StatusWindow", ui->calls[0]);
  EXPECT_TRUE(ui->status_quiet);
  EXPECT_EQ(1, ui->status_clears);
  ASSERT_EQ(6u, ui->status_lines.size());
  EXPECT_EQ("[0/1]开始测试 ... .", ui->status_lines[0]);
  EXPECT_EQ(0u, ui->status_lines[3].rfind("[1/1]测试<通过>,耗时", 0));
  core().SetStatWindowEnabled(false);
}

}  // namespace
}  // namespace corvala4
