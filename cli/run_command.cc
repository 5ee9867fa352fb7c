#include "cli/run_command.h"

#include <dirent.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <thread>

#include "cli/build_identity.h"
#include "cli/case_runner.h"
#include "cli/command_support.h"
#include "cli/host_session.h"
#include "cli/local_executor.h"
#include "cli/progress_display.h"
#include "cli/stop_signals.h"
#include "cli/terminal.h"
#include "engine/tester_core.h"
#include "foundation/platform/run_lock.h"
#include "model/test_case.h"
#include "model/test_cases.h"
#include "results/html_report.h"
#include "results/junit_report.h"
#include "results/outcome_tally.h"
#include "results/tester_status.h"

namespace corvala4::cli {

namespace {

/// A report must be writable where it is to go: said before a long run, not after it.
void RequireWritableReport(const std::string& option, const std::string& path) {
  if (path.empty()) return;
  struct stat st {};
  if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
    throw CommandError(2, option + ": '" + path + "' is a folder; name the report's file");
  if (lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode))
    throw CommandError(2, option + ": '" + path + "' is not a regular file");
  size_t slash = path.find_last_of('/');
  std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  if (access(folder.c_str(), W_OK | X_OK) != 0)
    throw CommandError(2, option + ": cannot write into the folder '" + folder + "': " + strerror(errno));
  if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    throw CommandError(2, option + ": '" + folder + "' is not a folder");
}

/// A report of an earlier run goes when a run starts, so that one that never ends leaves none
/// for a reader to take as this run's.
void RemoveReport(const std::string& option, const std::string& path) {
  if (!path.empty() && unlink(path.c_str()) != 0 && errno != ENOENT)
    throw CommandError(2, option + ": cannot remove the earlier report '" + path + "': " + strerror(errno));
}

/// Both reports checked and the earlier ones removed, before anything else is done.
void PrepareReports(const RunOptions& o) {
  RequireWritableReport("--junit", o.junit);
  RequireWritableReport("--html", o.html);
  if (!o.junit.empty() && o.junit == o.html) throw CommandError(2, "--junit and --html name the same file");
  RemoveReport("--junit", o.junit);
  RemoveReport("--html", o.html);
}

/// Both are tried: one that cannot be written does not keep the other away. The first failure, or empty.
std::string WriteReports(const RunResult& run, const RunOptions& o) {
  std::string error;
  if (!o.junit.empty()) {
    try {
      WriteJUnitReport(run, o.junit);
    } catch (...) {
      error = "cannot write the JUnit report: " + OneLine(std::current_exception());
    }
  }
  if (!o.html.empty()) {
    try {
      WriteHtmlReport(run, o.html);
    } catch (...) {
      if (error.empty()) error = "cannot write the HTML report: " + OneLine(std::current_exception());
    }
  }
  return error;
}

/// As many calculations at once as the descriptors allow (each holds a pipe and a process
/// descriptor, and takes a third while it starts): more would fail for want of them.
int WithinOpenFileLimit(int jobs, std::FILE* err) {
  struct rlimit limit {};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return jobs;
  long open_now = 0;
  if (DIR* d = opendir("/proc/self/fd")) {
    while (readdir(d)) ++open_now;
    closedir(d);
  }
  constexpr long kReserve = 64;  // the comparison's files, the log, the reports, the lock
  long allowed = (static_cast<long>(std::min<rlim_t>(limit.rlim_cur, 1 << 30)) - open_now - kReserve) / 3;
  if (allowed < 1) allowed = 1;
  if (jobs <= allowed) return jobs;
  std::fprintf(err,
               "corvala4: -j %d is more than the open-file limit allows (%lld descriptors): %ld at once\n",
               jobs, static_cast<long long>(limit.rlim_cur), allowed);
  return static_cast<int>(allowed);
}

std::string Plural(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

/// The cases the options choose, in definition order.
std::vector<std::shared_ptr<TestCaseImpl>> ChosenCases(HostSession& session, const RunOptions& o) {
  std::vector<std::shared_ptr<TestCaseImpl>> cases = o.cases.empty() ? session.Cases()->Cases()
                                                                     : session.Named(o.cases);
  if (o.mandatory) std::erase_if(cases, [](const auto& tc) { return !tc->Mandatory(); });
  if (o.failed) std::erase_if(cases, [](const auto& tc) { return tc->Passed(); });
  return cases;
}

/// The executor asked for, woken by `stop`; `jobs` becomes what it runs at once when 0 was asked.
std::unique_ptr<Executor> MakeExecutor(const RunOptions& o, StopSignals& stop, ProgressDisplay& display,
                                       size_t cases, int& jobs) {
  jobs = o.jobs;
  if (o.executor == "slurm") {
    // The scheduler queues what the cluster cannot run yet.
    if (jobs < 1) jobs = static_cast<int>(cases);
    return std::make_unique<SlurmExecutor>(o.slurm, stop.WakeFd(),
                                           [&display](const std::string& text) { display.Warning(text); });
  }
  if (jobs < 1) jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  return std::make_unique<LocalExecutor>(stop.WakeFd());
}

std::string SummaryLine(const RunResult& run) {
  OutcomeTally tally = Tally(run.cases);
  return "summary: " + Plural(tally.cases, "case", "cases") + ", " + std::to_string(tally.passed) + " passed, " +
         NotPassedCounts(tally, true) + "; in " + std::to_string(static_cast<long>(run.seconds + 0.5)) + " s";
}

/// What a stop left: the calculations it stopped, the cases it kept from starting, and where
/// their working folders stay.
void SayStopped(const RunResult& run, const std::string& standard_folder, std::FILE* err) {
  std::string stopped, not_run;
  for (const CaseResult& c : run.cases) {
    if (c.outcome == CaseOutcome::Stopped) stopped += (stopped.empty() ? "" : ", ") + c.caption;
    if (c.outcome == CaseOutcome::NotRun) not_run += (not_run.empty() ? "" : ", ") + c.caption;
  }
  std::fprintf(err,
               "corvala4: stopped by %s: calculations stopped: %s; not run: %s. Nothing is recorded; "
               "the working folders stay in %s_make\n",
               run.interrupted.c_str(), stopped.empty() ? "none" : stopped.c_str(),
               not_run.empty() ? "none" : not_run.c_str(), Shown(standard_folder).c_str());
}

}  // namespace

int RunCommand(const RunOptions& o, std::FILE* out, std::FILE* err) {
  CommandTemplate command = [&] {
    try {
      return CommandTemplate(o.exec.empty() ? CommandTemplate::kDefault : o.exec);
    } catch (const std::invalid_argument& e) {
      throw CommandError(2, std::string("--exec: ") + e.what());
    }
  }();
  // Before anything else, so that a run killed at any moment leaves no earlier run's report.
  PrepareReports(o);
  HostSession session(o.host);
  TesterCore& core = session.Core();
  // Taken before the signals are caught: Ctrl-C while it waits ends the program at once.
  RunLock lock;
  TakeRunLock(lock, session, o.wait, err);
  std::vector<std::shared_ptr<TestCaseImpl>> cases = ChosenCases(session, o);
  if (cases.empty()) {
    bool passed = core.VersionRecord().VersionPassed();
    std::fprintf(out, "no case to run%s; this build %s\n", o.failed ? ": every chosen case has passed" : "",
                 passed ? "has passed every mandatory case" : "has not passed every mandatory case");
    return passed ? 0 : 1;
  }
  BuildIdentity build = IdentifyBuild(session.Host());

  StopSignals stop;
  ProgressDisplay display(out, LiveLineAllowed(out), err, o.color);
  int jobs = 0;
  std::unique_ptr<Executor> executor = MakeExecutor(o, stop, display, cases.size(), jobs);
  jobs = WithinOpenFileLimit(jobs, err);
  CaseRunner runner(session, *executor, command, {jobs, o.timeout, o.fresh});
  runner.SetObserver(&display);
  RunResult run = runner.Run(cases, build, &stop);
  display.Finish();

  std::string report_error = WriteReports(run, o);
  if (!report_error.empty()) throw CommandError(2, report_error);
  std::fprintf(out, "%s\n", SummaryLine(run).c_str());
  if (!run.interrupted.empty()) {
    SayStopped(run, core.StandardFolder(), err);
    std::fflush(out);
    std::fflush(err);
    stop.EndByReceivedSignal();
  }
  // A set-up that cannot calculate says nothing of the build.
  if (!executor->Unusable().empty()) {
    std::fprintf(out, "the calculations could not run on the %s executor (see above): nothing recorded\n",
                 o.executor.c_str());
    return 2;
  }
  if (run.all_mandatory_passed)
    std::fprintf(out, "every mandatory case (%d) has passed: %s%s\n", run.mandatory_in_collection,
                 Paint("this build is correct", kGreen, o.color).c_str(),
                 run.recorded ? (", recorded in " + Shown(core.VersionRecord().RecordPath())).c_str()
                              : ", but it could not be recorded");
  else
    std::fprintf(out, "not every mandatory case has passed: %s, nothing recorded\n",
                 Paint("this build is NOT correct", kRed, o.color).c_str());
  return run.all_mandatory_passed && run.recorded ? 0 : 1;
}

Command SetUpRunCommand(CLI::App& app, ProgramOptions& program) {
  auto o = std::make_shared<RunOptions>();
  CLI::App* sub = app.add_subcommand(
      "run", "calculates and compares the cases, records the build when every mandatory case passed");
  sub->add_option("HOST", o->host, kHostHelp)->type_name("")->required();
  sub->add_option(
         "--exec", o->exec,
         std::string(
             "the calculation of a case, run in its working folder without a shell; "
             "placeholders {host} {project} {func} {folder} {caption} {stem} {project_stem}, {{ and }} "
             "for braces (default \"") +
             CommandTemplate::kDefault + "\")")
      ->type_name("COMMAND");
  sub->add_option("-j,--jobs", o->jobs,
                  "cases calculated at once (default: the number of cores; with --executor slurm, every "
                  "case: the scheduler queues them)")
      ->type_name("N")
      ->check(WholeNumber(1, kMaxJobs));
  sub->add_option("--timeout", o->timeout, "seconds a calculation may take (default: no limit)")
      ->type_name("SECONDS")
      ->check(Seconds(kMaxTimeoutSeconds));
  sub->add_option("--cases", o->cases, "only these cases, by caption or folder")
      ->type_name("NAME")
      ->expected(1, -1);
  sub->add_flag("--mandatory", o->mandatory, "only the mandatory cases");
  sub->add_flag("--failed", o->failed, "only the cases without a pass marker");
  sub->add_flag("--fresh", o->fresh,
                "remove each case's working folder before it is prepared, so that nothing of an earlier "
                "run survives (inside the test data only; a link is removed, never followed)");
  sub->add_flag("!--no-wait", o->wait,
                "fail (exit 2) instead of waiting while another run or approval holds the test data");
  sub->add_option("--junit", o->junit, "write a JUnit XML report to FILE")->type_name("FILE");
  sub->add_option("--html", o->html, "write an HTML report to FILE")->type_name("FILE");
  sub->add_option("--executor", o->executor,
                  "where the calculations run: local (processes on this machine, the default) or slurm (each "
                  "case one Slurm job through srun; the test data must lie on a file system the nodes share)")
      ->type_name("NAME")
      ->check(CLI::IsMember({"local", "slurm"}));
  CLI::Option* partition =
      sub->add_option("--partition", o->slurm.partition, "slurm: the partition (default: the cluster's)")
          ->type_name("NAME");
  CLI::Option* cpus =
      sub->add_option("--cpus-per-case", o->slurm.cpus,
                      "slurm: CPUs of each case's job (default " + std::to_string(SlurmOptions{}.cpus) + ")")
          ->type_name("N")
          ->check(WholeNumber(1, kMaxJobs));
  CLI::Option* slurm_args =
      sub->add_option("--slurm-arg", o->slurm.args,
                      "slurm: one more option for srun, as --slurm-arg=--mem=4G; may be repeated")
          ->type_name("OPTION")
          ->allow_extra_args(false);
  sub->footer(
      "Exit status: 0 every mandatory case passed and the build is recorded, 1 a mandatory case did not pass "
      "(or the build could not be recorded), 2 bad usage, a definition file that cannot be used, or "
      "calculations that cannot run at all. A run stopped by a signal ends by that signal.");
  AddDefinitionOption(sub, program);
  return {sub, [o, &program, partition, cpus, slurm_args]() -> int {
            if (o->executor != "slurm" && (*partition || *cpus || *slurm_args))
              throw CommandError(2, "--partition, --cpus-per-case and --slurm-arg need --executor slurm");
            o->color = UseColor(program.Color(), stdout);
            return RunCommand(*o, stdout, stderr);
          }};
}

}  // namespace corvala4::cli
