// `corvala4 run --executor slurm` as a real process on a real cluster (scripts/slurm-up.sh
// starts a one-node one): the outcome of the local executor, where each case ran, Ctrl-C,
// a runner or its srun killed, an executor that cannot run, a node that is another
// machine, outputs that show late.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <thread>

#include "tests/program_support.h"

namespace corvala4::testing {
namespace {

int Count(const std::string& text, const std::string& what) {
  int n = 0;
  for (size_t pos = 0; (pos = text.find(what, pos)) != std::string::npos; pos += what.size()) ++n;
  return n;
}

std::string Node() {
  std::string out = Capture("sinfo -h -N -o %N").out;
  return out.substr(0, out.find('\n'));
}

/// A time-out's cause differs by executor (a signal, a cancelled job); the rest must not.
std::vector<std::string> Comparable(std::vector<std::string> outcomes) {
  for (std::string& o : outcomes)
    if (size_t at = o.find(":time-out after "); at != std::string::npos) o = o.substr(0, o.find(" (", at));
  return outcomes;
}

/// Where each case of a JUnit report ran, as its system-out's first line says.
std::vector<std::string> Where(const std::string& report) {
  std::vector<std::string> where;
  for (const std::string& out : XmlDocument(report).Values("//testcase/system-out"))
    where.push_back(out.substr(0, out.find('\n')));
  return where;
}

TEST(SlurmRun, TheScriptHostEndsAsWithTheLocalExecutor) {
  CORVALA4_NEED_SLURM();
  TempDir local, slurm;
  ScriptHost hl(local), hs(slurm);
  hl.AddEveryKindOfEnd();
  hs.AddEveryKindOfEnd();
  ProgramRun l = RunProgram({"run", hl.host, "-j", "2", "--timeout", "1", "--junit", local / "r.xml"}, local);
  ProgramRun s = RunProgram({"run", hs.host, "--executor", "slurm", "-j", "2", "--timeout", "1", "--junit",
                             slurm / "r.xml", "--html", slurm / "r.html"},
                            slurm);
  EXPECT_EQ(l.status, 1) << l.out << l.err;
  EXPECT_EQ(s.status, 1) << s.out << s.err;
  EXPECT_EQ(hs.Markers(), "A=1 B=0 C=0 D=0 E=0 F=1 ");
  EXPECT_EQ(hs.Markers(), hl.Markers());
  EXPECT_EQ(hs.Record(), "");
  EXPECT_EQ(Comparable(JUnitOutcomes(slurm / "r.xml")), Comparable(JUnitOutcomes(local / "r.xml")));
  EXPECT_EQ(JUnitOutcomes(slurm / "r.xml")[3], "D:error:time-out after 1 s (the job was cancelled)");
  EXPECT_FALSE(Alive(hs.Work("D") + "/child.pid"));
  EXPECT_EQ(s.err, "");  // the node is this machine: no warning

  // Each case's job and node, in both reports.
  std::vector<std::string> where = Where(slurm / "r.xml");
  ASSERT_EQ(where.size(), 6u);
  std::regex job("job (\\d+), node " + Node());
  std::string html = ReadFile(slurm / "r.html");
  for (const std::string& w : where) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(w, m, job)) << w;
    EXPECT_NE(html.find("job " + m[1].str() + "<br>node " + Node()), std::string::npos) << w;
  }
}

TEST(SlurmRun, TheSampleHostPassesAsWithTheLocalExecutor) {
  CORVALA4_NEED_SLURM();
  if (SampleHostPath().empty()) GTEST_SKIP() << "the sample host is not built";
  TempDir local, slurm;
  for (const TempDir* dir : {&local, &slurm}) {
    std::filesystem::copy(SampleDataPath(), *dir / "host", std::filesystem::copy_options::recursive);
    std::filesystem::copy_file(SampleHostPath(), *dir / "host/beamcalc");
  }
  ProgramRun l = RunProgram({"run", local / "host/beamcalc", "-j", "2", "--junit", local / "r.xml"}, local);
  ProgramRun s =
      RunProgram({"run", slurm / "host/beamcalc", "--executor", "slurm", "--junit", slurm / "r.xml"}, slurm);
  EXPECT_EQ(l.status, 0) << l.out << l.err;
  EXPECT_EQ(s.status, 0) << s.out << s.err;
  EXPECT_EQ(JUnitOutcomes(slurm / "r.xml"), JUnitOutcomes(local / "r.xml"));
  for (const auto& entry : std::filesystem::directory_iterator(slurm / "host/TestData")) {
    // The case folders only: the run's lock file lies beside them.
    if (!entry.is_directory()) continue;
    std::string folder = entry.path().filename().string();
    for (const auto& file : std::filesystem::directory_iterator(entry.path())) {
      std::string name = file.path().filename().string();
      if (name.find("_Passed.txt") == std::string::npos) continue;
      EXPECT_TRUE(Exists(local / ("host/TestData/" + folder + "/" + name))) << folder << "/" << name;
    }
  }
  std::string record = ReadFile(slurm / "host/beamcalc_Test_Ver.txt");
  EXPECT_EQ(std::count(record.begin(), record.end(), '\n'), 1);
  EXPECT_EQ(Count(ReadFile(local / "host/beamcalc_Test_Ver.txt"), "\n"), 1);
}

TEST(SlurmRun, TwoCasesOfThreeSecondsRunSideBySide) {
  CORVALA4_NEED_SLURM();
  TempDir dir;
  ScriptHost h(dir);
  for (const char* c : {"S1", "S2"})
    h.AddCase(c, "date +%s.%N > start\nsleep 3\ndate +%s.%N > end\necho result > r.out\n");
  h.Write();
  ProgramRun run = RunProgram({"run", h.host, "--executor", "slurm", "-j", "2"}, dir);
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  auto at = [&](const char* c, const char* file) {
    return std::atof(ReadFile(h.Work(c) + "/" + file).c_str());
  };
  // Each started before the other ended.
  EXPECT_GT(at("S1", "start"), 0);
  EXPECT_LT(at("S1", "start"), at("S2", "end"));
  EXPECT_LT(at("S2", "start"), at("S1", "end"));
}

TEST(SlurmRun, InterruptCancelsEveryJobAndRecordsNothing) {
  CORVALA4_NEED_SLURM();
  TempDir dir;
  ScriptHost h(dir);
  h.AddCase("quick", ScriptHost::kOk);
  h.AddCase("slow1", "touch started\nsleep 300 & echo $! > child.pid\nwait\necho result > r.out\n");
  h.AddCase("slow2", "touch started\nsleep 300\necho result > r.out\n");
  h.AddCase("slow3", "touch started\nsleep 300\necho result > r.out\n");
  h.Write();
  for (const char* c : {"slow1", "slow2", "slow3"}) WriteFile(h.Standard(c) + "/calc_p_1_Passed.txt", "x");

  // Every case is submitted at once; on two cores one of the slow ones waits in the queue.
  ProgramRun run =
      RunProgram({"run", h.host, "--executor", "slurm", "--junit", dir / "r.xml"}, dir, [&](int pid) {
        // Stopped once the quick case has passed (its marker is written) and two slow ones run.
        for (int i = 0; i < 1200; ++i) {
          int started = 0;
          for (const char* c : {"slow1", "slow2", "slow3"}) started += Exists(h.Work(c) + "/started");
          if (started >= 2 && h.Marker("quick")) break;
          std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        kill(pid, SIGINT);
      });
  EXPECT_EQ(run.signal, SIGINT) << run.out << run.err;
  EXPECT_NE(run.err.find("stopped by SIGINT: calculations stopped: slow1, slow2, slow3"), std::string::npos)
      << run.err;
  EXPECT_EQ(h.Markers(), "quick=1 slow1=0 slow2=0 slow3=0 ");
  EXPECT_EQ(h.Record(), "");
  EXPECT_FALSE(Alive(h.Work("slow1") + "/child.pid"));

  // No job of the run is left in the queue.
  std::vector<std::string> queued = QueuedJobs();
  std::vector<std::string> where = Where(dir / "r.xml");
  ASSERT_EQ(where.size(), 4u);
  for (const std::string& w : where) {
    std::string id = w.substr(4, w.find(',') - 4);
    ASSERT_EQ(w.rfind("job ", 0), 0u) << w;
    EXPECT_EQ(std::count(queued.begin(), queued.end(), id), 0) << w;
  }
}

/// What of a run is still there: its jobs in the queue (by their working folders below
/// `folder`) and its srun processes.
std::vector<std::string> LeftOf(const std::string& folder) {
  std::vector<std::string> left;
  std::string jobs = Capture("squeue -h -o '%i %Z'").out, procs = Capture("ps -eo pid=,args=").out;
  for (const std::string* text : {&jobs, &procs})
    for (size_t pos = 0, end; (end = text->find('\n', pos)) != std::string::npos; pos = end + 1) {
      std::string line = text->substr(pos, end - pos);
      if (text == &jobs ? line.find(" " + folder + "/") != std::string::npos
                        : line.find(" srun ") != std::string::npos &&
                              line.find("--chdir=" + folder + "/") != std::string::npos)
        left.push_back(line);
    }
  return left;
}

TEST(SlurmRun, AKilledRunnerLeavesNoJobBehind) {
  CORVALA4_NEED_SLURM();
  TempDir dir;
  ScriptHost h(dir);
  // Each writes into its working folder until it is ended; on two cores one waits in the queue.
  const std::vector<std::string> cases = {"tick1", "tick2", "tick3"};
  for (const std::string& c : cases) h.AddCase(c, "while :; do date +%s.%N >> ticks; sleep 0.1; done\n");
  h.Write();
  auto ticking = [&] {
    int n = 0;
    for (const std::string& c : cases) n += !ReadFile(h.Work(c) + "/ticks").empty();
    return n;
  };
  ProgramRun run = RunProgram({"run", h.host, "--executor", "slurm", "-j", "3"}, dir, [&](int pid) {
    for (int i = 0; i < 400 && ticking() < 2; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    kill(pid, SIGKILL);
  });
  EXPECT_EQ(run.signal, SIGKILL) << run.out << run.err;
  EXPECT_GE(ticking(), 2);

  std::vector<std::string> left = LeftOf(h.folder);
  for (int i = 0; i < 600 && !left.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    left = LeftOf(h.folder);
  }
  EXPECT_EQ(left, std::vector<std::string>{});
  std::vector<size_t> ticks;
  for (const std::string& c : cases) ticks.push_back(ReadFile(h.Work(c) + "/ticks").size());
  std::this_thread::sleep_for(std::chrono::seconds(1));
  for (size_t i = 0; i < cases.size(); ++i)
    EXPECT_EQ(ReadFile(h.Work(cases[i]) + "/ticks").size(), ticks[i]) << cases[i] << " is still written";

  // Whatever went wrong, nothing of this run may hold the node for the tests after it.
  for (const std::string& line : LeftOf(h.folder))
    if (line.find(" srun ") == std::string::npos) Capture("scancel " + line.substr(0, line.find(' ')));
}

TEST(SlurmRun, AnSrunKilledByAnotherLeavesNoJobBehind) {
  CORVALA4_NEED_SLURM();
  TempDir dir;
  ScriptHost h(dir);
  h.AddCase("tick", "while :; do date +%s.%N >> ticks; sleep 0.1; done\n");
  h.Write();
  ProgramRun run = RunProgram({"run", h.host, "--executor", "slurm"}, dir, [&](int) {
    for (int i = 0; i < 400 && ReadFile(h.Work("tick") + "/ticks").empty(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::vector<std::string> left = LeftOf(h.folder);
    for (const std::string& line : left)
      if (line.find(" srun ") != std::string::npos) {
        kill(std::atoi(line.c_str()), SIGKILL);
        break;
      }
  });
  EXPECT_EQ(run.status, 1) << run.out << run.err;
  EXPECT_NE(run.out.find("killed by signal 9"), std::string::npos) << run.out;
  // The run has waited for its job to go.
  EXPECT_EQ(LeftOf(h.folder), std::vector<std::string>{});
  size_t ticks = ReadFile(h.Work("tick") + "/ticks").size();
  std::this_thread::sleep_for(std::chrono::seconds(1));
  EXPECT_EQ(ReadFile(h.Work("tick") + "/ticks").size(), ticks);

  for (const std::string& line : LeftOf(h.folder))
    if (line.find(" srun ") == std::string::npos) Capture("scancel " + line.substr(0, line.find(' ')));
}

TEST(SlurmRun, AnExecutorThatCannotRunSaysSoOnce) {
  CORVALA4_NEED_SLURM();
  TempDir dir;
  ScriptHost h(dir);
  for (const char* c : {"A", "B", "C"}) h.AddCase(c, ScriptHost::kOk);
  h.Write();
  ProgramRun run = RunProgram(
      {"run", h.host, "--executor", "slurm", "--partition", "corvala4-nope", "--junit", dir / "r.xml"}, dir);
  EXPECT_EQ(run.status, 2) << run.out << run.err;
  EXPECT_EQ(Count(run.err, "Invalid partition name specified"), 1) << run.err;
  EXPECT_EQ(Count(run.out, "Invalid partition"), 0) << run.out;
  EXPECT_EQ(Count(run.out, "not calculated: the executor cannot be used"), 3) << run.out;
  EXPECT_NE(run.out.find("could not run on the slurm executor"), std::string::npos) << run.out;
  for (const std::string& outcome : JUnitOutcomes(dir / "r.xml"))
    EXPECT_NE(
        outcome.find(":error:srun: error: invalid partition specified: corvala4-nope; srun: error: Unable "
                     "to allocate resources: Invalid partition name specified"),
        std::string::npos)
        << outcome;
  EXPECT_EQ(h.Record(), "");

  // Without Slurm's commands on the machine.
  run = RunProgram({"run", h.host, "--executor", "slurm"}, dir, {}, {"PATH=/nonexistent"});
  EXPECT_EQ(run.status, 2) << run.out << run.err;
  EXPECT_EQ(Count(run.err, "srun was not found on the PATH"), 1) << run.err;

  run = RunProgram({"run", h.host, "--partition", "main"}, dir);
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("--partition, --cpus-per-case and --slurm-arg need --executor slurm"),
            std::string::npos);
}

TEST(SlurmRun, WarnsOnceWhenTheNodesMayNotSeeTheWorkingFolders) {
  CORVALA4_NEED_SLURM();
  // corvala4 in a host-name namespace of its own believes it runs on another machine than the node.
  if (Capture("unshare --uts true 2>&1").status != 0) {
    if (SlurmRequired()) FAIL() << "unshare --uts is not allowed here";
    GTEST_SKIP() << "unshare --uts is not allowed here (it needs root)";
  }
  TempDir dir;
  ScriptHost h(dir);
  h.AddCase("A", ScriptHost::kOk);
  h.AddCase("B", ScriptHost::kOk);
  h.Write();
  ProgramRun run =
      RunProgram({"run", h.host, "--executor", "slurm"}, dir, {}, {},
                 {"unshare", "--uts", "sh", "-c", "hostname corvala4-login && exec \"$@\"", "sh"});
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(Count(run.err, "warning:"), 1) << run.err;
  EXPECT_NE(run.err.find("not on this machine (corvala4-login), but its working folder " + h.folder +
                         "/TestData_make/"),
            std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("under /tmp): the nodes must see the test data on a shared file system"),
            std::string::npos)
      << run.err;
}

TEST(SlurmRun, AnOutputThatShowsLateIsLookedForAgain) {
  CORVALA4_NEED_SLURM();
  TempDir dir;
  ScriptHost h(dir);
  // The job ends at once; its output appears half a second later, as a shared file system may show it.
  h.AddCase("L",
            "setsid sh -c 'sleep 0.5; echo result > r.tmp; mv r.tmp r.out' </dev/null >/dev/null 2>&1 &\n");
  h.Write();
  ProgramRun run = RunProgram({"run", h.host, "--executor", "slurm", "--junit", dir / "r.xml"}, dir);
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  std::string out = XmlDocument(dir / "r.xml").Value("//testcase/system-out");
  EXPECT_NE(out.find(", outputs seen only when looked for again: r.out after 0."), std::string::npos) << out;
}

}  // namespace
}  // namespace corvala4::testing
