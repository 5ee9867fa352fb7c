// Runs on the same test data exclude each other: `corvala4 run` twice and a linking host's
// quiet run at once never prepare and compare the same folders under each other, so a case
// whose calculation writes a wrong result never passes; a second run waits, or with
// --no-wait fails at once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "corvala4/test_case.h"
#include "corvala4/tester.h"
#include "foundation/platform/run_lock.h"
#include "tests/program_support.h"

namespace corvala4::testing {
namespace {

/// A linking host that calculates each case with the script host's own command.
class ScriptCalculator : public TesterEvents {
 public:
  explicit ScriptCalculator(std::string host) : host_(std::move(host)) {}
  void DoTest(TestCase& tc) override {
    std::string command = "'" + host_ + "' '" + tc.ProjectFile() + "' 1";
    if (std::system(command.c_str()) != 0) tc.SetSuccess(false);
  }
  void AfterOneTest(TestCase& tc) override {
    if (tc.Caption() == "broken" && tc.Passed()) ++broken_passed;
  }
  std::atomic<int> broken_passed{0};

 private:
  std::string host_;
};

/// The lines of a run that say the case named passed.
bool SaysPassed(const std::string& out, const std::string& caption) {
  size_t at = out.find("开始测试算例'" + caption + "'");
  if (at == std::string::npos) return false;
  size_t end = out.find('\n', out.find('\n', at) + 1);
  return out.substr(at, end - at).find("测试<通过>") != std::string::npos;
}

TEST(ConcurrentRuns, NeverPassACaseWhoseCalculationIsWrong) {
  IsolatedEnvironment env;
  TempDir dir;
  ScriptHost h(dir);
  h.AddCase("good", "sleep 0.02\necho result > r.out\n");
  // It writes its wrong result late, while another run would be preparing the same folder.
  h.AddCase("broken", "sleep 0.05\necho wrong > r.out\n");
  h.Write();
  ScriptCalculator calc(h.host);
  for (int round = 0; round < 20; ++round) {
    ProgramRun a, b;
    std::thread ta([&] { a = RunProgram({"run", h.host, "-j", "1"}, dir); });
    std::thread tb([&] { b = RunProgram({"run", h.host, "-j", "2"}, dir); });
    {
      Tester tester;
      tester.SetHostEXE(h.host);
      tester.Subscribe(calc);
      tester.LaunchNoUI();
    }
    ta.join();
    tb.join();
    EXPECT_EQ(a.status, 1) << a.out << a.err;
    EXPECT_EQ(b.status, 1) << b.out << b.err;
    EXPECT_FALSE(SaysPassed(a.out, "broken")) << a.out;
    EXPECT_FALSE(SaysPassed(b.out, "broken")) << b.out;
    EXPECT_EQ(calc.broken_passed, 0);
    EXPECT_EQ(h.Record(), "");
    if (HasFailure()) break;
  }
}

TEST(ConcurrentRuns, ASecondRunWaitsOrWithNoWaitFailsAtOnce) {
  TempDir dir;
  ScriptHost h(dir);
  h.AddCase("slow", "sleep 1.5\necho result > r.out\n");
  h.Write();
  ProgramRun first;
  std::thread t([&] { first = RunProgram({"run", h.host}, dir); });
  // The first holds the lock once its pid is in the lock file.
  std::string lock = RunLock::FileOf(h.folder + "/TestData");
  for (int i = 0; i < 200 && ReadFile(lock).find("pid ") == std::string::npos; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  std::string holder = ReadFile(lock);
  ASSERT_NE(holder.find("pid "), std::string::npos);
  holder.pop_back();

  ProgramRun refused = RunProgram({"run", h.host, "--no-wait"}, dir);
  EXPECT_EQ(refused.status, 2) << refused.out << refused.err;
  EXPECT_NE(refused.err.find("the run of " + holder), std::string::npos) << refused.err;
  EXPECT_EQ(RunProgram({"approve", h.host, "slow", "--reason", "r", "--no-wait"}, dir).status, 2);

  ProgramRun second = RunProgram({"run", h.host}, dir);
  t.join();
  EXPECT_EQ(first.status, 0) << first.out << first.err;
  EXPECT_EQ(second.status, 0) << second.out << second.err;
  EXPECT_NE(second.err.find("waiting for the run of " + holder + " on "), std::string::npos) << second.err;
  // Readers need no lock.
  EXPECT_EQ(RunProgram({"status", h.host}, dir).status, 0);
}

}  // namespace
}  // namespace corvala4::testing
