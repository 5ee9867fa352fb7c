// CaseRunner on a fake executor: which case starts when, what a stop or an unusable
// executor leaves behind, and the second look for late outputs; no process is started.
#include "cli/case_runner.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>

#include "cli/build_identity.h"
#include "cli/host_session.h"
#include "cli/stop_signals.h"
#include "model/test_cases.h"
#include "tests/test_support.h"

namespace corvala4::cli {
namespace {

using testing::Exists;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

/// Calculations that end in the order they started, when the runner waits; each "calculates"
/// by the function given for its case (default: writes the expected r.out) and exits with
/// what it returns.
class FakeExecutor : public Executor {
 public:
  void Start(const Calculation& calc) override {
    log.push_back("start " + calc.name);
    if (!unusable.empty()) {
      CalculationEnd end;
      end.id = calc.id;
      end.how = CalculationEnd::How::NotStarted;
      end.reason = unusable;
      not_started.push_back(end);
      return;
    }
    running.push_back(calc);
  }
  std::optional<CalculationEnd> WaitAny() override {
    ++waits;
    if (before_wait && before_wait(waits)) return std::nullopt;
    if (!not_started.empty()) {
      CalculationEnd end = not_started.front();
      not_started.pop_front();
      return end;
    }
    if (running.empty()) return std::nullopt;
    Calculation calc = running.front();
    running.pop_front();
    CalculationEnd end;
    end.id = calc.id;
    end.how = CalculationEnd::How::Exited;
    auto it = work.find(calc.name);
    end.code = it != work.end() ? it->second(calc) : (WriteFile(calc.folder + "/r.out", "result\n"), 0);
    end.reason = ExitReason(end.how, end.code);
    log.push_back("end " + calc.name);
    return end;
  }
  std::vector<CalculationEnd> StopAll() override {
    std::vector<CalculationEnd> ends;
    for (const Calculation& calc : running) {
      CalculationEnd end;
      end.id = calc.id;
      end.how = CalculationEnd::How::Stopped;
      end.reason = "stopped";
      ends.push_back(end);
      log.push_back("stop " + calc.name);
    }
    running.clear();
    return ends;
  }
  std::string Unusable() const override { return unusable; }
  double OutputLookupSeconds() const override { return lookup; }

  std::map<std::string, std::function<int(const Calculation&)>> work;
  /// Called before each wait with its number; true: the wait returns as a stop would wake it.
  std::function<bool(int)> before_wait;
  std::string unusable;
  double lookup = 0;
  std::vector<std::string> log;
  int waits = 0;

 private:
  std::deque<Calculation> running;
  std::deque<CalculationEnd> not_started;
};

class Observer : public RunObserver {
 public:
  void Unusable(const std::string& why) override { unusable.push_back(why); }
  void CaseEnded(const CaseResult& c) override { ended.push_back(c.caption); }
  std::vector<std::string> unusable, ended;
};

class CaseRunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    WriteFile(host, "#!/bin/sh\n");
  }
  /// Records "caption,folder" with the output r.out whose standard is "result\n".
  void Define(const std::vector<std::pair<std::string, std::string>>& cases) {
    std::string text = "TestData;standard results\n";
    for (const auto& [caption, folder] : cases) {
      // The TXT form takes "\\" for "/".
      std::string written = folder;
      std::replace(written.begin(), written.end(), '/', '\\');
      text += caption + "," + written + "," + caption + ".prj,y,1,r.out;\n";
      WriteFile(Standard(folder) + "/" + caption + ".prj", "");
      WriteFile(Standard(folder) + "/r.out", "result\n");
    }
    WriteFile(dir / "host/CALC_TEST_DAT.TXT", text);
  }
  std::string Standard(const std::string& folder) const { return dir / "host/TestData/" + folder; }
  std::string Marker(const std::string& caption, const std::string& folder) const {
    return Standard(folder) + "/calc_" + caption + "_1_Passed.txt";
  }
  RunResult Run(int jobs, const StopSignals* stop = nullptr) {
    HostSession session(host);
    CommandTemplate command("{host} {project}");
    CaseRunner runner(session, executor, command, {jobs, 0});
    runner.SetObserver(&observer);
    return runner.Run(session.Cases()->Cases(), IdentifyBuild(host), stop);
  }
  std::string Outcomes(const RunResult& run) {
    std::string text;
    for (const CaseResult& c : run.cases) text += c.caption + "=" + OutcomeText(c.outcome) + " ";
    return text;
  }

  TempDir dir;
  std::string host = dir / "host/calc";
  FakeExecutor executor;
  Observer observer;
};

TEST_F(CaseRunnerTest, CasesThatShareAWorkingFolderNeverRunAtOnce) {
  Define({{"A", "s"}, {"B", "s"}, {"C", "c"}, {"D", "s/sub"}, {"E", "e"}});
  RunResult run = Run(4);
  // B waits for A, D (inside A's and B's folder) for both; C and E need not wait.
  EXPECT_EQ(executor.log, (std::vector<std::string>{"start A", "start C", "start E", "end A", "start B", "end C",
                                                    "end E", "end B", "start D", "end D"}));
  EXPECT_EQ(Outcomes(run), "A=通过 B=通过 C=通过 D=通过 E=通过 ");
  EXPECT_TRUE(run.all_mandatory_passed);
  EXPECT_TRUE(run.recorded);
  EXPECT_NE(ReadFile(dir / "host/calc_Test_Ver.txt"), "");
}

TEST_F(CaseRunnerTest, AStopInMidRunStopsWhatRunsRunsNothingMoreAndRecordsNothing) {
  Define({{"A", "a"}, {"B", "b"}, {"C", "c"}, {"D", "d"}});
  for (const char* c : {"B", "C"}) WriteFile(Marker(c, std::string(1, static_cast<char>(c[0] + 32))), "");
  StopSignals stop;
  // The second wait is woken by SIGTERM, as the real executors' waits are.
  executor.before_wait = [](int wait) { return wait == 2 && raise(SIGTERM) == 0; };
  RunResult run = Run(2, &stop);
  EXPECT_EQ(executor.log, (std::vector<std::string>{"start A", "start B", "end A", "start C", "stop B", "stop C"}));
  EXPECT_EQ(Outcomes(run), "A=通过 B=已停止 C=已停止 D=未运行 ");
  EXPECT_EQ(run.interrupted, "SIGTERM");
  EXPECT_EQ(run.cases[1].reason, "stopped by SIGTERM");
  // A stopped case has lost its outputs: it has not passed.
  EXPECT_FALSE(Exists(Marker("B", "b")));
  EXPECT_FALSE(Exists(Marker("C", "c")));
  EXPECT_TRUE(Exists(Marker("A", "a")));
  EXPECT_FALSE(run.recorded);
  EXPECT_EQ(ReadFile(dir / "host/calc_Test_Ver.txt"), "");
}

TEST_F(CaseRunnerTest, AnUnusableExecutorIsToldOnceAndEveryCaseFailsToCalculate) {
  Define({{"A", "a"}, {"B", "b"}, {"C", "c"}});
  executor.unusable = "srun: error: Unable to contact slurm controller";
  RunResult run = Run(2);
  EXPECT_EQ(observer.unusable, std::vector<std::string>{executor.unusable});
  EXPECT_EQ(observer.ended, (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(Outcomes(run), "A=失败 B=失败 C=失败 ");
  for (const CaseResult& c : run.cases) EXPECT_EQ(c.reason, executor.unusable);
  EXPECT_FALSE(run.recorded);
}

TEST_F(CaseRunnerTest, AnOutputThatShowsLateIsLookedForAgainBeforeTheComparison) {
  Define({{"late", "late"}, {"never", "never"}, {"failed", "failed"}});
  std::thread writer;
  executor.work["late"] = [&writer](const Calculation& calc) {
    writer = std::thread([folder = calc.folder] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      // Whole when it shows, as a node's finished file does: seen half-written it would not pass.
      WriteFile(folder + "/r.out.part", "result\n");
      std::filesystem::rename(folder + "/r.out.part", folder + "/r.out");
    });
    return 0;
  };
  executor.work["never"] = [](const Calculation&) { return 0; };
  executor.work["failed"] = [](const Calculation&) { return 3; };
  executor.lookup = 2;
  RunResult run = Run(1);
  writer.join();
  // Looked for long enough the late output is found; the one never written is missing; a
  // calculation that failed is not waited for.
  EXPECT_EQ(Outcomes(run), "late=通过 never=未通过 failed=失败 ");
  auto fact = [](const CaseResult& c) {
    for (const auto& [name, value] : c.facts)
      if (name == "outputs") return value;
    return std::string();
  };
  EXPECT_EQ(fact(run.cases[0]).rfind("seen only when looked for again: r.out after ", 0), 0u) << fact(run.cases[0]);
  EXPECT_EQ(fact(run.cases[1]).rfind("not there after looking for 2.0 s: r.out", 0), 0u) << fact(run.cases[1]);
  EXPECT_EQ(fact(run.cases[2]), "");
}

}  // namespace
}  // namespace corvala4::cli
