#include "cli/commands.h"

#include <string.h>
#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <thread>

#include "cli/approval.h"
#include "cli/build_identity.h"
#include "cli/case_runner.h"
#include "cli/host_session.h"
#include "cli/local_executor.h"
#include "cli/progress_display.h"
#include "cli/stop_signals.h"
#include "cli/terminal.h"
#include "engine/tester_core.h"
#include "foundation/errors.h"
#include "foundation/platform/code_page.h"
#include "foundation/platform/run_lock.h"
#include "model/path_guard.h"
#include "model/test_case.h"
#include "model/test_cases.h"
#include "results/compare_rules.h"
#include "results/html_report.h"
#include "results/junit_report.h"
#include "results/outcome_tally.h"
#include "results/output_files.h"
#include "results/tester_status.h"

namespace corvala4::cli {

namespace {

/// The text the test window adds to a kept output.
constexpr const char* kKeptMark = " (计算时需保留)";

std::string OutputsText(TestCaseImpl& tc) {
  std::string text;
  for (const std::shared_ptr<OutputFile>& f : *tc.OutputFiles())
    text += (text.empty() ? "" : ", ") + f->Name() + (f->Keep() ? kKeptMark : "");
  return text;
}

/// A path as the user would type it from here: relative when it lies below the current folder.
std::string Shown(const std::string& path) {
  char cwd[4096];
  if (!getcwd(cwd, sizeof cwd)) return path;
  std::string prefix = std::string(cwd) + "/";
  return path.compare(0, prefix.size(), prefix) == 0 ? path.substr(prefix.size()) : path;
}

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
}

/// A report of an earlier run goes when a run starts, so that one that never ends leaves none.
void RemoveReport(const std::string& path) {
  if (!path.empty()) unlink(path.c_str());
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
               "corvala4: -j %d is more than the open-file limit allows (%lld descriptors): %ld at once\n", jobs,
               static_cast<long long>(limit.rlim_cur), allowed);
  return static_cast<int>(allowed);
}

/// Takes the run lock of the host's test data, saying so while it waits; exit 2 without waiting.
void TakeRunLock(RunLock& lock, HostSession& session, bool wait, std::FILE* err) {
  std::string why;
  auto tell = [err](const std::string& text) {
    std::fprintf(err, "corvala4: %s\n", text.c_str());
    std::fflush(err);
  };
  if (!lock.Acquire(session.Core().StandardFolder(), Shown(session.Host()), wait, tell, why))
    throw CommandError(2, why + "; --no-wait does not wait for it");
  if (!why.empty()) tell(why);
}

std::string Plural(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::string JsonString(const std::string& raw) {
  std::string text = ScalarValuesOnly(raw);
  std::string out = "\"";
  for (unsigned char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

int ListCommand(const std::string& host, bool json, std::FILE* out) {
  HostSession session(host);
  TesterCore& core = session.Core();
  const auto& cases = session.Cases()->Cases();
  if (!json) {
    std::fprintf(out, "%s: %zu cases, standard results in %s\n", core.DefinitionFile().c_str(), cases.size(),
                 core.StandardFolder().c_str());
    if (core.ComparisonRules())
      std::fprintf(out, "comparison rules: %s\n", core.ComparisonRules()->Path().c_str());
    for (const std::shared_ptr<TestCaseImpl>& tc : cases) {
      std::fprintf(out, "%s\n", tc->DisplayCaption().c_str());
      std::fprintf(out, "    folder %s, project %s, function %s\n", tc->Folder().c_str(),
                   tc->ProjectFileName().c_str(), tc->FuncNumText().c_str());
      std::fprintf(out, "    outputs: %s\n", OutputsText(*tc).c_str());
      for (const std::shared_ptr<OutputFile>& f : *tc->OutputFiles())
        if (const FileRule* rule = f->Rule())
          std::fprintf(out, "    %s: rule %s: %s\n", f->Name().c_str(), rule->Name().c_str(),
                       rule->Summary().c_str());
    }
    return 0;
  }
  std::string text =
      "{\n  \"host\": " + JsonString(session.Host()) +
      ",\n  \"definition_file\": " + JsonString(core.DefinitionFile()) +
      ",\n  \"standard_folder\": " + JsonString(core.StandardFolder()) +
      ",\n  \"work_folder\": " + JsonString(core.StandardFolder() + "_make") + ",\n  \"comparison_rules\": " +
      (core.ComparisonRules() ? JsonString(core.ComparisonRules()->Path()) : std::string("null")) +
      ",\n  \"cases\": [";
  bool first = true;
  for (const std::shared_ptr<TestCaseImpl>& tc : cases) {
    text += std::string(first ? "" : ",") + "\n    {\"caption\": " + JsonString(tc->Caption()) +
            ", \"display_caption\": " + JsonString(tc->DisplayCaption()) +
            ", \"folder\": " + JsonString(tc->Folder()) +
            ", \"project\": " + JsonString(tc->ProjectFileName()) +
            ", \"function\": " + JsonString(tc->FuncNumText()) +
            ", \"mandatory\": " + (tc->Mandatory() ? "true" : "false") +
            ", \"passed\": " + (tc->Passed() ? "true" : "false") +
            ", \"missing\": " + (tc->StandardFolderExists() ? "false" : "true") + ", \"outputs\": [";
    bool first_file = true;
    for (const std::shared_ptr<OutputFile>& f : *tc->OutputFiles()) {
      const FileRule* rule = f->Rule();
      text += std::string(first_file ? "" : ", ") + "{\"name\": " + JsonString(f->Name()) +
              ", \"keep\": " + (f->Keep() ? "true" : "false") + ", \"rule\": " +
              (rule ? "{\"name\": " + JsonString(rule->Name()) +
                          ", \"does\": " + JsonString(rule->Summary()) + "}"
                    : std::string("null")) +
              "}";
      first_file = false;
    }
    text += "]}";
    first = false;
  }
  text += "\n  ]\n}\n";
  std::fputs(text.c_str(), out);
  return 0;
}

int StatusCommand(const std::string& host, std::FILE* out) {
  HostSession session(host);
  BuildIdentity build = IdentifyBuild(session.Host());
  TesterStatus& record = session.Core().VersionRecord();
  bool passed = record.VersionPassed();
  std::fprintf(out, "host:     %s\n", build.path.c_str());
  std::fprintf(out, "size:     %lld bytes\n", static_cast<long long>(build.size));
  std::fprintf(out, "modified: %s\n", LocalTimeText(build.modified).c_str());
  std::fprintf(out, "sha256:   %s\n", build.sha256.c_str());
  std::fprintf(out, "record:   %s\n", Shown(record.RecordPath()).c_str());
  std::fprintf(out, "passed:   %s\n",
               passed ? "yes, this build has passed every mandatory case"
                      : "no, this build has not passed every mandatory case");
  return passed ? 0 : 1;
}

int DiffCommand(const std::string& host, const std::string& caseName, const std::string& file,
                const DiffLimits& limits, std::FILE* out) {
  HostSession session(host);
  std::vector<std::shared_ptr<TestCaseImpl>> found = session.Named({caseName});
  if (found.size() > 1)
    throw CommandError(2, "'" + caseName + "' names " + std::to_string(found.size()) +
                              " cases; name one by its caption or folder");
  TestCaseImpl& tc = *found.front();
  TesterCore& core = session.Core();
  bool any = false, all_same = true;
  try {
    // Compared as the compare window compares: states only, no marker touched.
    tc.UpdateStatus(false);
  } catch (...) {
    throw CommandError(
        2, "cannot compare the outputs of '" + tc.Caption() + "': " + OneLine(std::current_exception()));
  }
  for (const std::shared_ptr<OutputFile>& f : *tc.OutputFiles()) {
    if (!file.empty() && f->Name() != file) continue;
    any = true;
    std::fprintf(out, "== %s: %s\n", f->Name().c_str(), f->ExplainedStatusText().c_str());
    if (const FileRule* rule = f->Rule())
      std::fprintf(out, "   rule %s: %s\n", rule->Name().c_str(), rule->Summary().c_str());
    if (!f->IsSame()) all_same = false;
    if (f->State() != LengthDiffers && f->State() != ContentDiffers && f->State() != Same) continue;
    // Never shown through a link that leads out of the test data.
    std::string outside;
    for (const std::string& path : {f->StandardPath(), f->OutputPath()})
      if (!LeadsInto(path, core.StandardFolder(), core.WorkFolder())) outside = path;
    if (!outside.empty()) {
      std::fprintf(out, "'%s' is a link that leads out of the test data: not shown\n", Shown(outside).c_str());
      all_same = false;
      continue;
    }
    DiffCounts counts;
    try {
      counts = WriteUnifiedDiff(f->StandardPath(), f->OutputPath(), limits, out, Shown(f->StandardPath()),
                                Shown(f->OutputPath()), f->Rule());
    } catch (...) {
      throw CommandError(2, OneLine(std::current_exception()));
    }
    if (counts.hidden > 0)
      std::fprintf(out,
                   "... %lld more changed lines not shown (%lld differ, %lld tolerated in all); "
                   "--max-lines shows more\n",
                   static_cast<long long>(counts.hidden), static_cast<long long>(counts.differing),
                   static_cast<long long>(counts.tolerated));
    if (!f->IsSame() && counts.differing == 0)
      std::fprintf(out, "every line matches: the files differ in their line ends%s\n",
                   counts.tolerated ? ", or in the length of a tolerated date line" : "");
  }
  if (!any) throw CommandError(2, "the case '" + tc.Caption() + "' declares no output named '" + file + "'");
  return all_same ? 0 : 1;
}

namespace {

/// A CI job that approved whatever it produced would make every change pass unseen.
bool InContinuousIntegration() {
  const char* ci = std::getenv("CI");
  return ci && *ci && std::string(ci) != "0" && std::string(ci) != "false";
}

/// The cases an approval takes: those named, and with --failed every case without a pass
/// marker whose own last calculation succeeded; in definition order.
std::vector<std::shared_ptr<TestCaseImpl>> ApprovalCases(HostSession& session, const ApproveOptions& o) {
  std::vector<std::shared_ptr<TestCaseImpl>> named;
  if (!o.cases.empty()) named = session.Named(o.cases);
  if (!o.failed) return named;
  std::vector<std::shared_ptr<TestCaseImpl>> chosen;
  for (const std::shared_ptr<TestCaseImpl>& tc : session.Cases()->Cases()) {
    bool is_named = std::find(named.begin(), named.end(), tc) != named.end();
    bool take = is_named;
    if (!take) {
      try {
        take = !tc->Passed() && CalculationSucceeded(*tc);
      } catch (...) {
        take = false;  // a case that cannot be read is not one that calculated
      }
    }
    if (take) chosen.push_back(tc);
  }
  return chosen;
}

/// Long lines of a changed file are shown in part.
std::string ShownLine(const std::string& line) {
  constexpr size_t kShown = 160;
  std::string text = ScalarValuesOnly(line);
  if (text.size() <= kShown) return text;
  size_t cut = kShown;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return text.substr(0, cut) + "...";
}

void PrintChange(const StandardChange& c, std::FILE* out) {
  if (c.standard_size < 0) {
    std::fprintf(out, "    %s: new, %lld bytes\n", c.name.c_str(), static_cast<long long>(c.output_size));
    return;
  }
  std::fprintf(out, "    %s: %lld bytes become %lld; ", c.name.c_str(),
               static_cast<long long>(c.standard_size), static_cast<long long>(c.output_size));
  if (c.line < 0)
    std::fprintf(out, "cannot be read: %s\n", c.standard_line.c_str());
  else if (c.line == 0)
    std::fprintf(out, "every line the same, the line ends differ\n");
  else
    std::fprintf(out, "%s on line %lld\n      - %s\n      + %s\n",
                 c.tolerated ? "only tolerated lines differ, the first" : "first difference",
                 static_cast<long long>(c.line), ShownLine(c.standard_line).c_str(),
                 ShownLine(c.output_line).c_str());
}

}  // namespace

int ApproveCommand(const ApproveOptions& o, std::FILE* out, std::FILE* err) {
  if (o.cases.empty() && !o.failed) throw CommandError(2, "approve needs the cases: CASE... or --failed");
  if (!o.dry_run && o.reason.find_first_not_of(" \t\r\n") == std::string::npos)
    throw CommandError(2, "approve needs a reason: --reason TEXT");
  if (!o.dry_run && !o.yes && InContinuousIntegration())
    throw CommandError(
        1,
        "CI is set: approve changes standard files there only with --yes (--dry-run shows what it "
        "would change)");
  HostSession session(o.host);
  std::vector<std::shared_ptr<TestCaseImpl>> cases = ApprovalCases(session, o);
  if (cases.empty()) {
    std::fprintf(out, "no case to approve: every case has passed or has no successful calculation\n");
    return 0;
  }
  const char* refused_word = o.dry_run ? "would not approve" : "not approved";
  auto report = [&](const Approvals& done) {
    for (const Approval& a : done.cases) {
      if (a.refused) {
        std::fprintf(err, "corvala4: %s: %s: %s\n", refused_word, a.caption.c_str(), a.message.c_str());
        continue;
      }
      std::fprintf(out, "%s: %s\n", a.caption.c_str(), a.message.c_str());
      for (const StandardChange& c : a.changes) PrintChange(c, out);
    }
    if (!done.failure.empty()) std::fprintf(err, "corvala4: %s\n", done.failure.c_str());
  };
  if (o.dry_run) {
    // Reads only, and takes no lock: the lock's file would be a write.
    Approvals preview = PreviewApproval(cases, session.Core().StandardFolder());
    report(preview);
    std::fprintf(out, "a dry run: nothing was written\n");
    return preview.approved ? 0 : 1;
  }
  RunLock lock;
  TakeRunLock(lock, session, o.wait, err);
  // Ctrl-C while the files are copied undoes the approval; once its log line is written, it
  // is finished first.
  StopSignals stop;
  Approvals done = ApproveCases(
      cases, o.reason, session.Core().StandardFolder(), [&stop] { return stop.Received() != 0; },
      session.ApprovalFolder());
  report(done);
  if (stop.Received()) {
    std::fflush(out);
    std::fflush(err);
    stop.EndByReceivedSignal();
  }
  return done.approved && done.failure.empty() ? 0 : 1;
}

int RunCommand(const RunOptions& o, std::FILE* out, std::FILE* err) {
  CommandTemplate command = [&] {
    try {
      return CommandTemplate(o.exec.empty() ? CommandTemplate::kDefault : o.exec);
    } catch (const std::invalid_argument& e) {
      throw CommandError(2, std::string("--exec: ") + e.what());
    }
  }();
  RequireWritableReport("--junit", o.junit);
  RequireWritableReport("--html", o.html);
  if (!o.junit.empty() && o.junit == o.html) throw CommandError(2, "--junit and --html name the same file");
  // Gone before anything else, so that a run killed at any moment leaves no earlier run's report.
  RemoveReport(o.junit);
  RemoveReport(o.html);
  HostSession session(o.host);
  TesterCore& core = session.Core();
  // Taken before the signals are caught: Ctrl-C while it waits ends the program at once.
  RunLock lock;
  TakeRunLock(lock, session, o.wait, err);
  std::vector<std::shared_ptr<TestCaseImpl>> cases =
      o.cases.empty() ? session.Cases()->Cases() : session.Named(o.cases);
  if (o.mandatory) std::erase_if(cases, [](const auto& tc) { return !tc->Mandatory(); });
  if (o.failed) std::erase_if(cases, [](const auto& tc) { return tc->Passed(); });
  if (cases.empty()) {
    bool passed = core.VersionRecord().VersionPassed();
    std::fprintf(out, "no case to run%s; this build %s\n", o.failed ? ": every chosen case has passed" : "",
                 passed ? "has passed every mandatory case" : "has not passed every mandatory case");
    return passed ? 0 : 1;
  }
  BuildIdentity build = IdentifyBuild(session.Host());

  StopSignals stop;
  ProgressDisplay display(out, LiveLineAllowed(out), err, o.color);
  std::unique_ptr<Executor> executor;
  int jobs = o.jobs;
  if (o.executor == "slurm") {
    executor = std::make_unique<SlurmExecutor>(
        o.slurm, stop.WakeFd(), [&display](const std::string& text) { display.Warning(text); });
    // The scheduler queues what the cluster cannot run yet.
    if (jobs < 1) jobs = static_cast<int>(cases.size());
  } else {
    executor = std::make_unique<LocalExecutor>(stop.WakeFd());
    if (jobs < 1) jobs = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  }
  jobs = WithinOpenFileLimit(jobs, err);
  CaseRunner runner(session, *executor, command, {jobs, o.timeout, o.fresh});
  runner.SetObserver(&display);
  RunResult run = runner.Run(cases, build, &stop);
  display.Finish();

  // Both are tried: one that cannot be written does not keep the other away.
  std::string report_error;
  if (!o.junit.empty()) {
    try {
      WriteJUnitReport(run, o.junit);
    } catch (...) {
      report_error = "cannot write the JUnit report: " + OneLine(std::current_exception());
    }
  }
  if (!o.html.empty()) {
    try {
      WriteHtmlReport(run, o.html);
    } catch (...) {
      if (report_error.empty())
        report_error = "cannot write the HTML report: " + OneLine(std::current_exception());
    }
  }
  if (!report_error.empty()) throw CommandError(2, report_error);

  OutcomeTally tally = Tally(run.cases);
  std::string summary = "summary: " + Plural(tally.cases, "case", "cases") + ", " +
                        std::to_string(tally.passed) + " passed, " + std::to_string(tally.not_passed) +
                        " not passed, " + std::to_string(tally.calculation_failed) + " failed to calculate";
  if (tally.folder_missing) summary += ", " + std::to_string(tally.folder_missing) + " without a case folder";
  if (int other = tally.step_failed + tally.stopped)
    summary += ", " + std::to_string(other) + " with errors or stopped";
  if (tally.not_run) summary += ", " + std::to_string(tally.not_run) + " not run";
  summary += "; in " + std::to_string(static_cast<long>(run.seconds + 0.5)) + " s";
  std::fprintf(out, "%s\n", summary.c_str());

  if (!run.interrupted.empty()) {
    std::string stopped, not_run;
    for (const CaseResult& c : run.cases) {
      if (c.outcome == CaseOutcome::Stopped) stopped += (stopped.empty() ? "" : ", ") + c.caption;
      if (c.outcome == CaseOutcome::NotRun) not_run += (not_run.empty() ? "" : ", ") + c.caption;
    }
    std::fprintf(err,
                 "corvala4: stopped by %s: calculations stopped: %s; not run: %s. Nothing is recorded; "
                 "the working folders stay in %s_make\n",
                 run.interrupted.c_str(), stopped.empty() ? "none" : stopped.c_str(),
                 not_run.empty() ? "none" : not_run.c_str(), Shown(core.StandardFolder()).c_str());
    std::fflush(out);
    std::fflush(err);
    stop.EndByReceivedSignal();
  }
  std::string record = Shown(core.VersionRecord().RecordPath());
  // A set-up that cannot calculate says nothing of the build.
  if (!executor->Unusable().empty()) {
    std::fprintf(out, "the calculations could not run on the %s executor (see above): nothing recorded\n",
                 o.executor.c_str());
    return 2;
  }
  if (run.all_mandatory_passed)
    std::fprintf(out, "every mandatory case (%d) has passed: %s%s\n", run.mandatory_in_collection,
                 Paint("this build is correct", kGreen, o.color).c_str(),
                 run.recorded ? (", recorded in " + record).c_str() : ", but it could not be recorded");
  else
    std::fprintf(out, "not every mandatory case has passed: %s, nothing recorded\n",
                 Paint("this build is NOT correct", kRed, o.color).c_str());
  return run.all_mandatory_passed && run.recorded ? 0 : 1;
}

}  // namespace corvala4::cli
