#include "cli/progress_display.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace corvala4::cli {
namespace {

/// What a display prints, as one text.
class Printed {
 public:
  Printed() : file_(open_memstream(&data_, &size_)) {}
  ~Printed() {
    std::fclose(file_);
    std::free(data_);
  }
  std::FILE* file() { return file_; }
  std::string Text() {
    std::fflush(file_);
    return std::string(data_, size_);
  }

 private:
  char* data_ = nullptr;
  size_t size_ = 0;
  std::FILE* file_;
};

CaseResult Failed() {
  CaseResult c;
  c.caption = "B";
  c.outcome = CaseOutcome::CalculationFailed;
  c.reason = "exit status 2";
  c.output = "line 1\nline 2\nline 3\nline 4\nline 5\nline 6\n";
  return c;
}

/// The count of cases that ended so.
OutcomeTally Ended(std::initializer_list<CaseOutcome> outcomes) {
  OutcomeTally t;
  for (CaseOutcome o : outcomes) {
    CaseResult c;
    c.outcome = o;
    t.Add(c);
  }
  return t;
}

TEST(ProgressDisplay, WithoutATerminalTheModulesLinesAndWhyACaseFailed) {
  Printed out;
  ProgressDisplay display(out.file(), false);
  display.Lines({"---", "[1/2]开始测试算例'B' ...", "[1/2]测试<失败>,耗时0分0秒."});
  display.CaseEnded(Failed());
  display.Counts(Ended({CaseOutcome::CalculationFailed}), 1, 2);  // no live line without a terminal
  CaseResult ok;
  ok.outcome = CaseOutcome::Passed;
  display.CaseEnded(ok);
  display.Finish();
  EXPECT_EQ(out.Text(),
            "---\n[1/2]开始测试算例'B' ...\n[1/2]测试<失败>,耗时0分0秒.\n"
            "    exit status 2\n    | line 2\n    | line 3\n    | line 4\n    | line 5\n    | line 6\n");
}

TEST(ProgressDisplay, OnATerminalOneLiveLineAndALineForEachCaseThatDidNotPass) {
  Printed out;
  ProgressDisplay display(out.file(), true);
  display.Lines({"[0/3]开始测试 ... ."});  // the module's lines stay off a terminal
  display.Counts({}, 2, 3);
  display.CaseEnded(Failed());
  display.Counts(Ended({CaseOutcome::NotPassed}), 1, 3);
  display.Finish();
  std::string text = out.Text();
  EXPECT_EQ(text.find("开始测试"), std::string::npos);
  EXPECT_EQ(text.rfind("\r\033[K[0/3] 2 running, 0 not passed, time left not known yet", 0), 0u) << text;
  EXPECT_NE(text.find("\r\033[K失败 B\n    exit status 2\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\033[K[1/3] 1 running, 1 not passed, about 0:00 left"), std::string::npos) << text;
  EXPECT_EQ(text.substr(text.size() - 4), "\r\033[K");  // cleared before the closing words
}

TEST(ProgressDisplay, HowAFilesRuleDecidedIsToldUnderItsLineCutToTheTerminal) {
  CaseResult c;
  c.caption = "梁";
  c.outcome = CaseOutcome::NotPassed;
  std::string detail = "第12行第3个数超出容差: 标准 150.400, 输出 151.126, 容差 相对 1e-05, 绝对 1e-12";
  LinePair d;
  d.number = 12;
  c.files = {{"a.out", false, Same, {}, {}, "数值容差内, 最大相对差 1e-07"},  // passed: not told
             {"forces.out", false, ContentDiffers, {d}, {}, detail},
             {"b.out", false, LengthDiffers, {d}, {}, {}}};
  EXPECT_EQ(ProgressDisplay::Explanation(c),
            (std::vector<std::string>{"    forces.out: 内容不同, 第12行", "      " + detail,
                                      "    b.out: 长度不同, 第12行"}));
  std::vector<std::string> cut = ProgressDisplay::Explanation(c, "", 40);
  ASSERT_EQ(cut.size(), 3u);
  EXPECT_EQ(cut[1], "      第12行第3个数超出容差: 标准 150.4…");  // 40 columns
  EXPECT_EQ(cut[0], "    forces.out: 内容不同, 第12行");

  // Whole into a log; one screen line on a terminal (80 columns where the width is not known).
  Printed log, terminal;
  ProgressDisplay(log.file(), false).CaseEnded(c);
  ProgressDisplay(terminal.file(), true).CaseEnded(c);
  EXPECT_NE(log.Text().find("      " + detail + "\n"), std::string::npos) << log.Text();
  EXPECT_NE(terminal.Text().find(
                "\n      第12行第3个数超出容差: 标准 150.400, 输出 151.126, 容差 相对 1e-05, 绝对 …\n"),
            std::string::npos)
      << terminal.Text();
}

TEST(ProgressDisplay, TheLiveLineCountsTheCasesThatDidNotPassAsTheSummaryDoes) {
  Printed out;
  ProgressDisplay display(out.file(), true);
  // A case that failed to calculate is not counted as one that did not pass.
  OutcomeTally done =
      Ended({CaseOutcome::Passed, CaseOutcome::CalculationFailed, CaseOutcome::CalculationFailed});
  display.Counts(done, 1, 4);
  EXPECT_NE(out.Text().find("[3/4] 1 running, 0 not passed, 2 failed to calculate, about"), std::string::npos)
      << out.Text();
  EXPECT_EQ(NotPassedCounts(done, true), "0 not passed, 2 failed to calculate");
  // Every other way a case ends that is not a pass, named as the summary names it.
  done = Ended({CaseOutcome::NotPassed, CaseOutcome::FolderMissing, CaseOutcome::Error, CaseOutcome::Stopped,
                CaseOutcome::NotRun});
  EXPECT_EQ(NotPassedCounts(done, false),
            "1 not passed, 1 without a case folder, 2 with errors or stopped, 1 not run");
  EXPECT_EQ(NotPassedCounts({}, false), "0 not passed");
  EXPECT_EQ(NotPassedCounts({}, true), "0 not passed, 0 failed to calculate");
}

TEST(ProgressDisplay, AnUnusableExecutorIsToldOnceAndNotAgainForEachCase) {
  Printed out, err;
  ProgressDisplay display(out.file(), false, err.file());
  CaseResult refused = Failed();
  refused.reason = "srun: error: Unable to allocate resources: Invalid partition name specified";
  refused.output = "srun: error: invalid partition specified: nope\n";
  display.Unusable(refused.reason);
  display.CaseEnded(refused);
  display.CaseEnded(refused);
  CaseResult other = Failed();  // a failure of its own is still told in full
  display.CaseEnded(other);
  display.Warning("the nodes may not see the folders");
  EXPECT_EQ(err.Text(), "corvala4: the calculations cannot be run: " + refused.reason +
                            "\ncorvala4: so every case fails to calculate, and no more are started\n"
                            "corvala4: warning: the nodes may not see the folders\n");
  std::string text = out.Text();
  EXPECT_EQ(text.find("Invalid partition"), std::string::npos) << text;
  EXPECT_EQ(text.find("    not calculated: the executor cannot be used (said above)\n"
                      "    not calculated: the executor cannot be used (said above)\n    exit status 2\n"),
            0u)
      << text;
}

}  // namespace
}  // namespace corvala4::cli
