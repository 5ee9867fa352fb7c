#include "cli/local_executor.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <map>

#include "tests/test_support.h"

namespace corvala4::cli {
namespace {

using testing::ReadFile;
using testing::TempDir;
using How = CalculationEnd::How;

Calculation Shell(int id, const std::string& script, const std::string& folder, double timeout = 0) {
  return {id, {"sh", "-c", script}, folder, "case", timeout};
}

std::map<int, CalculationEnd> WaitAll(LocalExecutor& ex) {
  std::map<int, CalculationEnd> ends;
  while (std::optional<CalculationEnd> end = ex.WaitAny()) ends[end->id] = *end;
  return ends;
}

bool Gone(const std::string& pidFile) {
  int pid = std::atoi(ReadFile(pidFile).c_str());
  for (int i = 0; pid > 0 && i < 40; ++i) {
    std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
    size_t close = stat.rfind(')');
    if (close == std::string::npos || stat.compare(close + 2, 1, "Z") == 0) return true;
    usleep(50000);
  }
  return false;
}

TEST(LocalExecutor, AHugeTimeOutIsNoTimeOut) {
  TempDir dir;
  LocalExecutor ex;
  // Past the clock's nanoseconds these would overflow and end every calculation at once.
  ex.Start(Shell(1, "exit 0", dir.path(), 9.3e9));
  ex.Start(Shell(2, "exit 0", dir.path(), 1e300));
  std::map<int, CalculationEnd> ends = WaitAll(ex);
  EXPECT_EQ(ends[1].how, How::Exited) << ends[1].reason;
  EXPECT_EQ(ends[2].how, How::Exited) << ends[2].reason;
}

TEST(LocalExecutor, EachCalculationEndsWithItsOwnStatusAndOutput) {
  TempDir dir;
  LocalExecutor ex;
  ex.Start(Shell(1, "pwd; echo to stderr >&2; exit 0", dir.path()));
  ex.Start(Shell(2, "exit 3", dir.path()));
  ex.Start(Shell(3, "kill -SEGV $$", dir.path()));
  ex.Start(Shell(4, "read line; echo \"[$line]\"", dir.path()));  // nothing to read: not the terminal
  ex.Start({5, {"/no/such/program"}, dir.path(), "x", 0});
  ex.Start(Shell(6, "exit 0", dir / "no-such-folder"));
  ex.Start(Shell(7, "head -c 200000 /dev/zero | tr '\\0' x; echo; echo last", dir.path()));
  std::map<int, CalculationEnd> ends = WaitAll(ex);
  ASSERT_EQ(ends.size(), 7u);
  EXPECT_TRUE(ends[1].Succeeded());
  EXPECT_EQ(ends[1].output, dir.path() + "\nto stderr\n");
  EXPECT_EQ(ends[1].reason, "exit status 0");
  EXPECT_EQ(ends[1].facts.front().first, "pid");
  EXPECT_EQ(ends[2].how, How::Exited);
  EXPECT_EQ(ends[2].code, 3);
  EXPECT_EQ(ends[3].how, How::Signaled);
  EXPECT_EQ(ends[3].reason, "killed by signal 11 (SIGSEGV)");
  EXPECT_EQ(ends[4].output, "[]\n");
  EXPECT_EQ(ends[5].how, How::NotStarted);
  EXPECT_EQ(ends[5].reason,
            "could not start '/no/such/program' in '" + dir.path() + "': No such file or directory");
  EXPECT_EQ(ends[6].how, How::NotStarted);
  EXPECT_FALSE(ends[6].Succeeded());
  EXPECT_EQ(ends[7].output.size(), LocalExecutor::kOutputTail);  // the last part only
  EXPECT_EQ(ends[7].output.substr(ends[7].output.size() - 6), "\nlast\n");
  EXPECT_EQ(ex.Running(), 0u);
}

TEST(LocalExecutor, ATimeOutEndsTheWholeProcessGroup) {
  TempDir dir;
  LocalExecutor ex(-1, 0.5);
  // The background child ignores SIGTERM: it takes SIGKILL after the grace time.
  ex.Start(Shell(1, "sh -c 'trap \"\" TERM; sleep 300' & echo $! > child.pid; wait", dir.path(), 0.3));
  ex.Start(Shell(2, "sleep 0.1", dir.path(), 5));
  std::map<int, CalculationEnd> ends = WaitAll(ex);
  EXPECT_EQ(ends[1].how, How::TimedOut);
  EXPECT_EQ(ends[1].reason.rfind("time-out after 0.3 s (", 0), 0u) << ends[1].reason;
  EXPECT_TRUE(ends[2].Succeeded());
  EXPECT_TRUE(Gone(dir / "child.pid"));
}

TEST(LocalExecutor, AStopRequestWakesTheWaitAndStopAllEndsEverything) {
  TempDir dir;
  int pipefd[2];
  ASSERT_EQ(pipe(pipefd), 0);
  LocalExecutor ex(pipefd[0], 0.5);
  ex.Start(Shell(1, "sleep 300 & echo $! > a.pid; wait", dir.path()));
  ex.Start(Shell(2, "trap '' TERM; sleep 300", dir.path()));
  ex.Start(Shell(3, "exit 0", dir.path()));
  std::optional<CalculationEnd> first = ex.WaitAny();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->id, 3);
  // The first calculation names its background child before it is stopped, however busy the machine.
  for (int i = 0; i < 500 && ReadFile(dir / "a.pid").empty(); ++i) usleep(10000);
  ASSERT_EQ(write(pipefd[1], "x", 1), 1);
  EXPECT_FALSE(ex.WaitAny());  // woken, not ended
  std::vector<CalculationEnd> stopped = ex.StopAll();
  ASSERT_EQ(stopped.size(), 2u);
  for (const CalculationEnd& end : stopped) EXPECT_EQ(end.how, How::Stopped) << end.reason;
  EXPECT_TRUE(Gone(dir / "a.pid"));
  EXPECT_EQ(ex.Running(), 0u);
  close(pipefd[0]);
  close(pipefd[1]);
}

/// Sees a calculation start when it prints "started", and keeps that line out of its output.
class StartedLine : public StartWatcher {
 public:
  bool Output(int, std::string& kept) override {
    size_t at = kept.find("started\n");
    if (at == std::string::npos) return false;
    kept.erase(at, 8);
    return true;
  }
};

TEST(LocalExecutor, AWatchedTimeOutCountsFromTheStartTheWatcherSees) {
  TempDir dir;
  StartedLine watcher;
  LocalExecutor ex(-1, 0.5);
  ex.SetStartWatcher(&watcher);
  // Longer than its time-out in all, but not from its start.
  ex.Start(Shell(1, "sleep 0.6; echo started; sleep 0.1; echo done", dir.path(), 0.4));
  ex.Start(Shell(2, "echo started; sleep 300", dir.path(), 0.3));
  std::map<int, CalculationEnd> ends = WaitAll(ex);
  EXPECT_TRUE(ends[1].Succeeded()) << ends[1].reason;
  EXPECT_EQ(ends[1].output, "done\n");
  EXPECT_EQ(ends[2].how, How::TimedOut);
}

}  // namespace
}  // namespace corvala4::cli
