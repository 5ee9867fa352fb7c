// The Slurm executor: what srun's messages say of a job's end (texts as Slurm 22.05 writes
// them), and jobs on a real cluster (scripts/slurm-up.sh starts a one-node one).
#include "cli/slurm_executor.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <thread>

#include "tests/program_support.h"

namespace corvala4::cli {
namespace {

using testing::Capture;
using testing::QueuedJobs;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
using How = CalculationEnd::How;
using Clock = std::chrono::steady_clock;

Calculation Shell(int id, const std::string& script, const std::string& folder, double timeout = 0,
                  const std::string& name = "case") {
  return {id, {"sh", "-c", script}, folder, name, timeout};
}

std::map<int, CalculationEnd> WaitAll(Executor& ex) {
  std::map<int, CalculationEnd> ends;
  while (std::optional<CalculationEnd> end = ex.WaitAny()) ends[end->id] = *end;
  return ends;
}

CalculationEnd Srun(How how, int code, const std::string& output, const std::string& reason = "") {
  CalculationEnd end;
  end.how = how;
  end.code = code;
  end.output = output;
  end.reason = reason.empty() ? ExitReason(how, code) : reason;
  return end;
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

/// The one node's name and CPUs, as Slurm knows them.
std::string Node() { return FirstLine(Capture("sinfo -h -N -o %N").out); }
int NodeCpus() { return std::max(1, std::atoi(Capture("sinfo -h -N -o %c").out.c_str())); }

/// The ids of the jobs of that name in the states given ("R": running).
std::vector<std::string> Jobs(const std::string& name, const std::string& states = "all") {
  std::vector<std::string> ids;
  std::string out =
      Capture("squeue -h -o %i -n '" + name + "'" + (states == "all" ? "" : " -t " + states)).out;
  for (size_t pos = 0, end; (end = out.find('\n', pos)) != std::string::npos; pos = end + 1)
    ids.push_back(out.substr(pos, end - pos));
  return ids;
}

bool WaitFor(const std::function<bool()>& done, double seconds = 20) {
  for (Clock::time_point until =
           Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
       Clock::now() < until; std::this_thread::sleep_for(std::chrono::milliseconds(50)))
    if (done()) return true;
  return false;
}

std::string UniqueName(const std::string& what) {
  return "corvala4-" + what + "-" + std::to_string(getpid());
}

TEST(SlurmEnd, TheTaskEndsAsALocalProcessWould) {
  SlurmJob job;
  job.started = true;
  CalculationEnd e =
      SlurmEnd(Srun(How::Exited, 3, "out\nsrun: error: vm: task 0: Exited with exit code 3\n"), job);
  EXPECT_EQ(e.how, How::Exited);
  EXPECT_EQ(e.code, 3);
  EXPECT_EQ(e.reason, "exit status 3");
  EXPECT_EQ(e.output, "out\n");  // srun's line only repeats the status

  // A status of 137 that the task chose is not a signal.
  e = SlurmEnd(Srun(How::Exited, 137, "srun: error: vm: task 0: Exited with exit code 137\n"), job);
  EXPECT_EQ(e.how, How::Exited);
  EXPECT_EQ(e.code, 137);

  // Killed at once, the task may take the wrapper's first line with it: srun's lines tell.
  SlurmJob killed;
  e = SlurmEnd(
      Srun(How::Exited, 137, "srun: error: vm: task 0: Killed\nsrun: Force Terminated StepId=41.0\n"),
      killed);
  EXPECT_EQ(e.how, How::Signaled);
  EXPECT_EQ(e.reason, "killed by signal 9 (SIGKILL)");
  EXPECT_TRUE(killed.started);
  EXPECT_EQ(killed.id, "41");
  EXPECT_EQ(killed.node, "vm");
  e = SlurmEnd(Srun(How::Exited, 139, "srun: error: vm: task 0: Segmentation fault\n"), job);
  EXPECT_EQ(e.reason, "killed by signal 11 (SIGSEGV)");
}

TEST(SlurmEnd, SlurmsReasonForEndingAJobIsKept) {
  SlurmJob job;
  job.started = true;
  CalculationEnd e = SlurmEnd(
      Srun(
          How::Exited, 143,
          "slurmstepd-vm: error: *** STEP 15.0 ON vm CANCELLED AT 2026-12-08T10:53:49 DUE TO TIME LIMIT ***\n"
          "srun: Job step aborted: Waiting up to 7 seconds for job step to finish.\n"
          "srun: error: vm: task 0: Terminated\n"),
      job);
  EXPECT_EQ(e.how, How::TimedOut);
  EXPECT_EQ(e.reason,
            "Slurm's time limit: STEP 15.0 ON vm CANCELLED AT 2026-12-08T10:53:49 DUE TO TIME LIMIT");

  // srun ends with status 0 when the node is lost: that is no success.
  e = SlurmEnd(Srun(How::Exited, 0, "srun: error: Node failure on vm\nsrun: error: Node failure on vm\n"),
               job);
  EXPECT_FALSE(e.Succeeded());
  EXPECT_EQ(e.how, How::Cancelled);
  EXPECT_EQ(e.reason, "node failure: Node failure on vm");

  e = SlurmEnd(Srun(How::Exited, 143,
                    "slurmstepd-vm: error: *** STEP 9.0 ON vm CANCELLED AT 2026-12-08T10:52:29 ***\n"
                    "srun: error: vm: task 0: Terminated\n"),
               job);
  EXPECT_EQ(e.how, How::Cancelled);
  EXPECT_EQ(e.reason, "cancelled: STEP 9.0 ON vm CANCELLED AT 2026-12-08T10:52:29");

  // The runner's own time-out and stop: srun's status says nothing more.
  e = SlurmEnd(Srun(How::TimedOut, 143, "", "time-out after 2 s (exit status 143)"), job);
  EXPECT_EQ(e.how, How::TimedOut);
  EXPECT_EQ(e.reason, "time-out after 2 s (the job was cancelled)");
}

TEST(SlurmEnd, AJobThatNeverRanSaysWhatSrunSaid) {
  SlurmJob job;
  CalculationEnd e =
      SlurmEnd(Srun(How::Exited, 1,
                    "srun: error: invalid partition specified: nope\n"
                    "srun: error: Unable to allocate resources: Invalid partition name specified\n"),
               job);
  EXPECT_EQ(e.how, How::NotStarted);
  EXPECT_EQ(e.reason,
            "srun: error: invalid partition specified: nope; "
            "srun: error: Unable to allocate resources: Invalid partition name specified");
  EXPECT_FALSE(job.started);
}

TEST(SlurmExecutor, TheWrapperRunsTheCommandAsGivenOrSaysTheFolderIsMissing) {
  TempDir dir;
  SlurmExecutor slurm({"short", 3, {"--mem=100", "--exclusive"}}, -1, {});
  std::vector<std::string> argv =
      slurm.Command({1, {"printf", "%s|", "a b", "it's", "$HOME", ""}, dir.path(), "名字", 64.2});
  ASSERT_GT(argv.size(), 12u);
  EXPECT_EQ(argv[0], "srun");
  EXPECT_EQ(argv[1], "--job-name=名字");
  EXPECT_EQ(argv[2], "--chdir=" + dir.path());
  size_t sh = std::find(argv.begin(), argv.end(), "/bin/sh") - argv.begin();
  ASSERT_LT(sh, argv.size());
  std::vector<std::string> options(argv.begin() + 3, argv.begin() + static_cast<std::ptrdiff_t>(sh));
  EXPECT_EQ(options,
            (std::vector<std::string>{"--nodes=1", "--ntasks=1", "--cpus-per-task=3", "--partition=short",
                                      "--time=1:05", "--mem=100", "--exclusive"}));

  // What runs on the node, here: the job's first line, then the command with its words unchanged.
  std::vector<std::string> node(argv.begin() + static_cast<std::ptrdiff_t>(sh), argv.end());
  LocalExecutor local;
  local.Start({1, node, dir.path(), "c", 0});
  node[3] = dir / "not-on-this-node";
  local.Start({2, node, dir.path(), "c", 0});
  std::map<int, CalculationEnd> ends = WaitAll(local);
  EXPECT_EQ(FirstLine(ends[1].output).rfind(std::string(SlurmExecutor::kStartMark) + " ", 0), 0u);
  EXPECT_EQ(ends[1].output.substr(ends[1].output.find('\n') + 1), "a b|it's|$HOME||");

  SlurmJob job;
  job.started = true;
  job.node = "n2";
  CalculationEnd missing = SlurmEnd(ends[2], job);
  EXPECT_EQ(missing.how, How::NotStarted);
  EXPECT_EQ(
      missing.reason,
      "the node n2 does not see the working folder: the nodes must share the file system of the test data");
}

TEST(SlurmExecutor, WithoutSrunItIsUnusableAndSaysWhy) {
  const char* path = getenv("PATH");
  std::string saved = path ? path : "";
  setenv("PATH", "/nonexistent", 1);
  SlurmExecutor ex({}, -1, {});
  setenv("PATH", saved.c_str(), 1);
  EXPECT_EQ(ex.Unusable(),
            "srun was not found on the PATH: Slurm's client commands are not installed on this machine");
  TempDir dir;
  ex.Start(Shell(1, "exit 0", dir.path()));
  std::optional<CalculationEnd> end = ex.WaitAny();
  ASSERT_TRUE(end);
  EXPECT_EQ(end->how, How::NotStarted);
  EXPECT_EQ(end->reason, ex.Unusable());
}

TEST(LocalFileSystem, NamesAFolderOfThisMachineAlone) {
  TempDir dir;
  EXPECT_NE(LocalFileSystem(dir.path()).find("under /tmp"), std::string::npos) << LocalFileSystem(dir.path());
  if (access("/dev/shm", W_OK) == 0) {
    EXPECT_EQ(LocalFileSystem("/dev/shm"), "tmpfs, under /dev/shm");
  }
  EXPECT_EQ(LocalFileSystem("/proc"), "");  // not known to be local: no warning
}

TEST(SlurmExecutor, EachJobEndsAsALocalProcessWould) {
  CORVALA4_NEED_SLURM();
  TempDir dir;
  SlurmExecutor ex({}, -1, {});
  ex.Start(Shell(1, "pwd; echo to stderr >&2", dir.path()));
  ex.Start(Shell(2, "exit 3", dir.path()));
  ex.Start(Shell(3, "kill -KILL $$", dir.path()));
  ex.Start(Shell(4, "kill -SEGV $$", dir.path()));
  ex.Start(Shell(5, "read line; echo \"[$line]\"", dir.path()));  // nothing to read
  std::map<int, CalculationEnd> ends = WaitAll(ex);
  ASSERT_EQ(ends.size(), 5u);
  EXPECT_TRUE(ends[1].Succeeded()) << ends[1].reason << ends[1].output;
  // srun passes on the task's standard output and error each in its order.
  EXPECT_NE(ends[1].output.find(dir.path() + "\n"), std::string::npos) << ends[1].output;
  EXPECT_NE(ends[1].output.find("to stderr\n"), std::string::npos);
  EXPECT_EQ(ends[1].output.find("corvala4-job"), std::string::npos);
  ASSERT_EQ(ends[1].facts.size(), 2u);
  EXPECT_EQ(ends[1].facts[0].first, "job");
  EXPECT_GT(std::atoi(ends[1].facts[0].second.c_str()), 0);
  EXPECT_EQ(ends[1].facts[1], std::make_pair(std::string("node"), Node()));
  EXPECT_EQ(ends[2].reason, "exit status 3");
  EXPECT_EQ(ends[3].reason, "killed by signal 9 (SIGKILL)");
  EXPECT_EQ(ends[4].reason, "killed by signal 11 (SIGSEGV)");
  EXPECT_EQ(ends[5].output, "[]\n");
  for (auto& [id, end] : ends) EXPECT_EQ(end.facts.size(), 2u) << id;
  EXPECT_EQ(ex.Unusable(), "");
}

TEST(SlurmExecutor, ATimeOutCountsFromTheJobsStartAndCancelsIt) {
  CORVALA4_NEED_SLURM();
  TempDir dir;
  // Each job takes the whole node: they run one after another.
  SlurmExecutor ex({"", NodeCpus(), {}}, -1, {});
  ex.Start(Shell(1, "sleep 1.5", dir.path()));
  ex.Start(Shell(2, "sleep 0.2", dir.path(), 1.2));  // waits longer than its time-out, runs well within
  ex.Start(Shell(3, "sleep 300 & echo $! > child.pid; wait", dir.path(), 1));
  std::map<int, CalculationEnd> ends = WaitAll(ex);
  EXPECT_TRUE(ends[1].Succeeded()) << ends[1].reason;
  EXPECT_TRUE(ends[2].Succeeded()) << ends[2].reason << ends[2].output;
  EXPECT_EQ(ends[3].how, How::TimedOut);
  EXPECT_EQ(ends[3].reason, "time-out after 1 s (the job was cancelled)");
  std::string job = ends[3].facts.at(0).second;
  EXPECT_TRUE(WaitFor([&] {
    std::vector<std::string> queued = QueuedJobs();
    return std::find(queued.begin(), queued.end(), job) == queued.end();
  }));
  // The job's processes went with it.
  std::string child = "/proc/" + FirstLine(ReadFile(dir / "child.pid")) + "/stat";
  EXPECT_TRUE(
      WaitFor([&] { return ReadFile(child).find(") Z ") != std::string::npos || !testing::Exists(child); }));
}

TEST(SlurmExecutor, StopAllCancelsRunningAndWaitingJobs) {
  CORVALA4_NEED_SLURM();
  TempDir dir;
  int wake[2];
  ASSERT_EQ(pipe(wake), 0);
  std::string name = UniqueName("stop");
  int cpus = NodeCpus();
  {
    SlurmExecutor ex({}, wake[0], {});
    for (int i = 0; i <= cpus; ++i)
      ex.Start(Shell(i, "touch started." + std::to_string(i) + "; sleep 300", dir.path(), 0, name));
    // Stopped once they run: a step stopped while it is launched may leave its task's children
    // behind on a node that tracks processes without cgroups, as the test cluster does.
    ASSERT_TRUE(WaitFor([&] {
      int started = 0;
      for (int i = 0; i <= cpus; ++i) started += testing::Exists(dir / ("started." + std::to_string(i)));
      return started == cpus;
    }));
    EXPECT_EQ(Jobs(name, "PD").size(), 1u);  // one waits in the queue
    ASSERT_EQ(write(wake[1], "x", 1), 1);
    EXPECT_FALSE(ex.WaitAny());
    std::vector<CalculationEnd> stopped = ex.StopAll();
    ASSERT_EQ(static_cast<int>(stopped.size()), cpus + 1);
    for (const CalculationEnd& end : stopped) EXPECT_EQ(end.how, How::Stopped) << end.reason << end.output;
    EXPECT_EQ(Jobs(name), std::vector<std::string>{});
  }
  close(wake[0]);
  close(wake[1]);
}

/// Starts a job that runs until it is ended, and waits until its task runs: a step ended while
/// it is launched may leave its task's children behind on a node without cgroups.
bool StartSleeper(SlurmExecutor& ex, const TempDir& dir, const std::string& name) {
  ex.Start(Shell(1, "touch started; sleep 300", dir.path(), 0, name));
  return WaitFor([&] { return testing::Exists(dir / "started"); });
}

TEST(SlurmExecutor, AJobThatSlurmCancelsFailsWithSlurmsReason) {
  CORVALA4_NEED_SLURM();
  TempDir dir;
  std::string name = UniqueName("cancel");
  SlurmExecutor ex({}, -1, {});
  ASSERT_TRUE(StartSleeper(ex, dir, name));
  Capture("scancel -n '" + name + "'");
  std::optional<CalculationEnd> end = ex.WaitAny();
  ASSERT_TRUE(end);
  EXPECT_EQ(end->how, How::Cancelled);
  EXPECT_EQ(end->reason.rfind("cancelled: STEP " + end->facts.at(0).second + ".0 ON ", 0), 0u) << end->reason;
}

/// Takes the node down for a while, as a failure would, and brings it back.
class NodeDown {
 public:
  explicit NodeDown(const std::string& node) : node_(node) {
    taken_ =
        Capture("scontrol update nodename=" + node + " state=down reason=corvala4-test 2>&1").status == 0;
  }
  ~NodeDown() {
    if (!taken_) return;
    Capture("scontrol update nodename=" + node_ + " state=resume 2>&1");
    WaitFor([&] { return Capture("sinfo -h -N -o %t -n " + node_).out.rfind("idle", 0) == 0; });
  }
  bool Taken() const { return taken_; }

 private:
  std::string node_;
  bool taken_ = false;
};

TEST(SlurmExecutor, AJobOnANodeThatFailsIsNoSuccess) {
  CORVALA4_NEED_SLURM();
  TempDir dir;
  std::string name = UniqueName("lost");
  SlurmExecutor ex({}, -1, {});
  ASSERT_TRUE(StartSleeper(ex, dir, name));
  NodeDown down(Node());
  if (!down.Taken()) {
    ex.StopAll();
    if (testing::SlurmRequired()) FAIL() << "scontrol may not take the node down here";
    GTEST_SKIP() << "scontrol may not take the node down here (it needs Slurm's administrator)";
  }
  std::optional<CalculationEnd> end = ex.WaitAny();
  ASSERT_TRUE(end);
  EXPECT_FALSE(end->Succeeded());
  EXPECT_EQ(end->how, How::Cancelled);
  EXPECT_EQ(end->reason, "node failure: Node failure on " + Node());
}

TEST(SlurmExecutor, AJobThatCannotBeSubmittedMakesItUnusable) {
  CORVALA4_NEED_SLURM();
  TempDir dir;
  SlurmExecutor ex({"corvala4-no-such-partition", 1, {}}, -1, {});
  ex.Start(Shell(1, "exit 0", dir.path()));
  ex.Start(Shell(2, "exit 0", dir.path()));
  std::map<int, CalculationEnd> ends = WaitAll(ex);
  for (int i : {1, 2}) {
    EXPECT_EQ(ends[i].how, How::NotStarted);
    EXPECT_NE(
        ends[i].reason.find("srun: error: Unable to allocate resources: Invalid partition name specified"),
        std::string::npos)
        << ends[i].reason;
  }
  EXPECT_EQ(ex.Unusable(), ends[1].reason);
  // Nothing more is submitted: the next one ends at once, not started.
  ex.Start(Shell(3, "exit 0", dir.path()));
  std::optional<CalculationEnd> third = ex.WaitAny();
  ASSERT_TRUE(third);
  EXPECT_EQ(third->how, How::NotStarted);
  EXPECT_EQ(third->reason, ex.Unusable());

  // A controller that does not answer.
  std::string conf = getenv("SLURM_CONF") ? getenv("SLURM_CONF") : "/etc/slurm/slurm.conf";
  std::string text = "SlurmctldPort=9\nMessageTimeout=1\n";
  std::string original = ReadFile(conf);
  for (size_t pos = 0, end; (end = original.find('\n', pos)) != std::string::npos; pos = end + 1) {
    std::string line = original.substr(pos, end + 1 - pos);
    if (line.rfind("SlurmctldPort", 0) != 0 && line.rfind("MessageTimeout", 0) != 0) text += line;
  }
  WriteFile(dir / "down.conf", text);
  const char* saved = getenv("SLURM_CONF");
  std::string saved_conf = saved ? saved : "";
  setenv("SLURM_CONF", (dir / "down.conf").c_str(), 1);
  SlurmExecutor down({}, -1, {});
  down.Start(Shell(1, "exit 0", dir.path()));
  std::optional<CalculationEnd> refused = down.WaitAny();
  saved ? setenv("SLURM_CONF", saved_conf.c_str(), 1) : unsetenv("SLURM_CONF");
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->how, How::NotStarted);
  EXPECT_NE(refused->reason.find("Unable to contact slurm controller"), std::string::npos) << refused->reason;
  EXPECT_EQ(down.Unusable(), refused->reason);
}

}  // namespace
}  // namespace corvala4::cli
