#include "results/reporter.h"

#include <gtest/gtest.h>

#include "engine/tester_core.h"
#include "model/test_case.h"
#include "model/test_cases.h"
#include "tests/test_support.h"

namespace corvala4 {
namespace {

using testing::WriteFile;

class Lines : public ProgressEvents {
 public:
  void AddMsg(const std::string& msg) override { lines.push_back(msg); }
  void Clear() override { lines.push_back("<clear>"); }
  std::vector<std::string> lines;
};

class ReporterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    tester.SetHostEXE(env.dir() / "calc");
    core().OpenContext();
    core().SetStandardFolder(env.dir() / "TestData");
    tester.SubscribeProgress(lines);
    core().GetReporter().Now = [this] { return clock; };
  }
  void TearDown() override { core().CloseContext(); }
  TesterCore& core() { return TesterCore::Of(tester); }

  std::shared_ptr<TestCaseImpl> AddCase(const std::string& caption, bool success, bool passed) {
    auto tc = std::make_shared<TestCaseImpl>();
    tc->Attach(core());
    tc->SetCaption(caption);
    tc->SetFolder(caption);
    tc->SetProjectFileName("p.prj");
    tc->SetFuncNumText("1");
    tc->SetSuccess(success);
    WriteFile(env.dir() / ("TestData/" + caption + "/p.prj"), "");
    tc->SetPassed(passed);
    cases.Add(tc);
    return tc;
  }

  testing::IsolatedEnvironment env;
  testing::ScopedScriptedUI ui;
  Tester tester;
  Lines lines;
  TestCasesImpl cases;
  std::time_t clock = 1000;
};

TEST_F(ReporterTest, ARunOfTwoCasesGivesNumberedLinesWithTimes) {
  auto a = AddCase("A", true, true);
  auto b = AddCase("B", true, false);
  core().RaiseBeforeAllTest(cases);
  core().RaiseBeforeOneTest(*a);
  clock += 59;
  core().RaiseAfterOneTest(*a);
  core().RaiseBeforeOneTest(*b);
  clock += 60;
  core().RaiseAfterOneTest(*b);
  clock = 1000 + 3725;
  core().RaiseAfterAllTest(cases);
  EXPECT_EQ(
      (std::vector<std::string>{"<clear>", "[0/2]开始测试 ... .", "---", "[1/2]开始测试算例'A' ...",
                                "[1/2]测试<通过>,耗时0分59秒.", "---", "[2/2]开始测试算例'B' ...",
                                "[2/2]测试<未通过>,耗时1分0秒.", "---", "[2/2]测试结束,总共耗时62分5秒."}),
      lines.lines);

  // A second run starts from 0 again and clears the display.
  lines.lines.clear();
  TestCasesImpl one;
  one.Add(a);
  core().RaiseBeforeAllTest(one);
  core().RaiseBeforeOneTest(*a);
  EXPECT_EQ((std::vector<std::string>{"<clear>", "[0/1]开始测试 ... .", "---", "[1/1]开始测试算例'A' ..."}),
            lines.lines);
}

TEST_F(ReporterTest, ResultWordsAndCaptionsWithPlaceholders) {
  auto failed = AddCase("F", false, true);  // a failed calculation, whatever its marker says
  auto odd = AddCase("x%0y%1", true, false);
  core().RaiseBeforeAllTest(cases);
  core().RaiseBeforeOneTest(*failed);
  core().RaiseAfterOneTest(*failed);
  core().RaiseBeforeOneTest(*odd);
  EXPECT_EQ("[1/2]测试<失败>,耗时0分0秒.", lines.lines[4]);
  // A caption is shown as it was written, placeholders and all.
  EXPECT_EQ("[2/2]开始测试算例'x%0y%1' ...", lines.lines[6]);
}

TEST_F(ReporterTest, CountsPastSixteenBits) {
  auto a = AddCase("A", true, true);
  TestCasesImpl many;
  for (int i = 0; i < 40000; ++i) many.Add(a);
  core().RaiseBeforeAllTest(many);
  EXPECT_EQ("[0/40000]开始测试 ... .", lines.lines.back());
  for (int i = 0; i < 32768; ++i) core().RaiseBeforeOneTest(*a);
  EXPECT_EQ("[32768/40000]开始测试算例'A' ...", lines.lines.back());
  core().RaiseAfterOneTest(*a);
  EXPECT_EQ("[32768/40000]测试<通过>,耗时0分0秒.", lines.lines.back());
}

TEST(ElapsedTextTest, MinutesAndSecondsWithoutHours) {
  EXPECT_EQ("0分0秒", Reporter::ElapsedText(100, 100));
  EXPECT_EQ("0分59秒", Reporter::ElapsedText(0, 59));
  EXPECT_EQ("1分0秒", Reporter::ElapsedText(0, 60));
  EXPECT_EQ("62分5秒", Reporter::ElapsedText(0, 3725));
  EXPECT_EQ("546分7秒", Reporter::ElapsedText(0, 32767));
  // Past 16 bits the count goes on instead of failing.
  EXPECT_EQ("666分40秒", Reporter::ElapsedText(0, 40000));
  EXPECT_EQ("0分0秒", Reporter::ElapsedText(100, 40));
}

}  // namespace
}  // namespace corvala4
