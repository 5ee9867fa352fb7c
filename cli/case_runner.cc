#include "cli/case_runner.h"

#include <string.h>
#include <time.h>

#include <chrono>
#include <filesystem>

#include "cli/calculation_record.h"
#include "cli/host_session.h"
#include "cli/output_lookup.h"
#include "cli/stop_signals.h"
#include "engine/run_driver.h"
#include "engine/tester_core.h"
#include "foundation/errors.h"
#include "foundation/platform/code_page.h"
#include "model/test_case.h"
#include "model/test_cases.h"
#include "results/compare_rules.h"
#include "results/junit_report.h"
#include "results/output_files.h"
#include "results/reporter.h"
#include "results/tester_status.h"

namespace corvala4::cli {

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

double ThreadCpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

/// The working folder's place below the work directory, for telling which cases share one.
std::string FolderKey(const std::string& folder) {
  std::string key = std::filesystem::path(folder).lexically_normal().generic_string();
  while (!key.empty() && key.back() == '/') key.pop_back();
  return key == "." ? "" : key;
}

/// One folder is the other or lies inside it: their cases must not run at once.
bool Overlap(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty() || a == b) return true;
  const std::string& shorter = a.size() < b.size() ? a : b;
  const std::string& longer = a.size() < b.size() ? b : a;
  return longer.compare(0, shorter.size(), shorter) == 0 && longer[shorter.size()] == '/';
}

}  // namespace

RunObserver::~RunObserver() = default;
void RunObserver::Lines(const std::vector<std::string>&) {}
void RunObserver::CaseEnded(const CaseResult&) {}
void RunObserver::Counts(const OutcomeTally&, int, int) {}
void RunObserver::Unusable(const std::string&) {}

std::string SignalName(int signal) {
  const char* abbrev = sigabbrev_np(signal);
  return abbrev ? std::string("SIG") + abbrev : "signal " + std::to_string(signal);
}

/// Takes the reporter's lines into whichever list the runner names.
class CaseRunner::LineCollector : public ProgressEvents {
 public:
  explicit LineCollector(std::vector<std::string>*& target) : target_(target) {}
  void AddMsg(const std::string& msg) override {
    if (target_) target_->push_back(msg);
  }

 private:
  std::vector<std::string>*& target_;
};

struct CaseRunner::Slot {
  enum class State { Waiting, Running, Done } state = State::Waiting;
  std::shared_ptr<TestCaseImpl> tc;
  CaseResult result;
  std::string key;
  std::string folder;  // the working folder, once prepared
  Clock::time_point start;
  std::vector<std::string> lines;
};

CaseRunner::CaseRunner(HostSession& session, Executor& executor, const CommandTemplate& command,
                       RunSettings settings)
    : session_(session),
      executor_(executor),
      command_(command),
      settings_(settings),
      collector_(std::make_unique<LineCollector>(lines_)) {
  if (settings_.jobs < 1) settings_.jobs = 1;
}

CaseRunner::~CaseRunner() = default;

void CaseRunner::Flush(Slot& slot, bool last) {
  // One calculation at a time cannot interleave: its lines go out as they come.
  if ((last || settings_.jobs == 1) && !slot.lines.empty()) {
    if (observer_) observer_->Lines(slot.lines);
    slot.lines.clear();
  }
}

void CaseRunner::Done(Slot& slot) {
  slot.state = Slot::State::Done;
  slot.result.seconds = Since(slot.start);
  done_.Add(slot.result);
  Flush(slot, true);
  if (observer_) {
    observer_->CaseEnded(slot.result);
    observer_->Counts(done_, running_, static_cast<int>(slots_.size()));
  }
}

int CaseRunner::NextStartable() const {
  for (size_t k = 0; k < slots_.size(); ++k) {
    if (slots_[k].state != Slot::State::Waiting) continue;
    bool blocked = false;
    // A case waits for every case before it that shares its working folder, and for any
    // running one that does: they would prepare the same folder under each other.
    for (size_t i = 0; i < slots_.size() && !blocked; ++i) {
      if (i == k || slots_[i].state == Slot::State::Done) continue;
      if (slots_[i].state == Slot::State::Waiting && i > k) continue;
      blocked = Overlap(slots_[i].key, slots_[k].key);
    }
    if (!blocked) return static_cast<int>(k);
  }
  return -1;
}

void CaseRunner::StartCase(int k) {
  Slot& slot = slots_[k];
  TestCaseImpl& tc = *slot.tc;
  RunDriver& driver = session_.Core().Driver();
  double cpu = ThreadCpuSeconds();
  slot.start = Clock::now();
  bool prepared = true;
  // Once per folder: a case that shares it with an earlier one finds what that one left, as
  // without --fresh. The removal takes links as links and refuses a way out of the test data.
  if (settings_.fresh && removed_.insert(slot.key).second) {
    try {
      if (slot.key.empty())
        throw std::runtime_error("it is the whole work directory; --fresh removes only a case's own folder");
      tc.RemoveTestFolder();
    } catch (...) {
      prepared = false;
      slot.result.outcome = CaseOutcome::Error;
      slot.result.reason = "cannot remove the working folder: " + OneLine(std::current_exception());
    }
  }
  if (prepared) {
    lines_ = &slot.lines;
    prepared = driver.PrepareCase(slot.tc);
    lines_ = nullptr;
  }
  Calculation calc;
  if (prepared) {
    try {
      calc.id = k;
      calc.folder = tc.TestCaseFolder();
      calc.name = tc.Caption();
      calc.timeout = settings_.timeout;
      if (const CompareRules* rules = session_.Core().ComparisonRules())
        calc.fail_when = &rules->FailWhenOutputMatches();
      calc.argv = command_.Expand(
          {session_.Host(), tc.ProjectFile(), std::to_string(tc.FuncNum()), calc.folder, tc.Caption()});
      slot.folder = calc.folder;
      ClearCalculationRecord(calc.folder);
    } catch (...) {
      prepared = false;
      slot.result.outcome = CaseOutcome::Error;
      slot.result.reason = OneLine(std::current_exception());
    }
  } else if (slot.result.reason.empty()) {
    const std::optional<Error>& failure = driver.LastFailure();
    bool missing = failure && failure->Number() == CaseFolderMissingError;
    slot.result.outcome = missing ? CaseOutcome::FolderMissing : CaseOutcome::Error;
    slot.result.reason = failure ? OneLine(std::make_exception_ptr(*failure)) : "the preparation failed";
  }
  engine_seconds_ += Since(slot.start);
  engine_cpu_seconds_ += ThreadCpuSeconds() - cpu;
  if (!prepared) {
    Done(slot);
    return;
  }
  Flush(slot, false);
  slot.state = Slot::State::Running;
  ++running_;
  executor_.Start(calc);
  if (observer_) observer_->Counts(done_, running_, static_cast<int>(slots_.size()));
}

void CaseRunner::FinishCase(int k, const CalculationEnd& end) {
  Slot& slot = slots_[k];
  TestCaseImpl& tc = *slot.tc;
  --running_;
  if (end.how == CalculationEnd::How::NotStarted && !unusable_told_ && !executor_.Unusable().empty()) {
    unusable_told_ = true;
    if (observer_) observer_->Unusable(executor_.Unusable());
  }
  // An output written on another machine may show here late: looked for again before the comparison.
  std::string seen;
  if (end.Succeeded() && executor_.OutputLookupSeconds() > 0) {
    std::vector<std::pair<std::string, std::string>> files;
    try {
      for (const std::shared_ptr<OutputFile>& f : *tc.OutputFiles())
        files.emplace_back(f->Name(), f->OutputPath());
    } catch (...) {
    }
    seen = AwaitFiles(files, executor_.OutputLookupSeconds());
  }
  double cpu = ThreadCpuSeconds();
  Clock::time_point t0 = Clock::now();
  tc.SetSuccess(end.Succeeded());
  lines_ = &slot.lines;
  bool compared = session_.Core().Driver().FinishCase(slot.tc);
  lines_ = nullptr;
  CaseResult& r = slot.result;
  r.output = FromCodePage(end.output);
  r.facts = end.facts;
  if (!seen.empty()) r.facts.emplace_back("outputs", seen);
  try {
    r.files = DescribeOutputs(tc);
  } catch (...) {
  }
  if (!compared) {
    const std::optional<Error>& failure = session_.Core().Driver().LastFailure();
    r.outcome = CaseOutcome::Error;
    r.reason = failure ? OneLine(std::make_exception_ptr(*failure)) : "the comparison failed";
  } else if (!end.Succeeded()) {
    r.outcome = CaseOutcome::CalculationFailed;
    r.reason = end.failure_line && end.how == CalculationEnd::How::Exited && end.code == 0
                   ? "its output says it failed: " + *end.failure_line
                   : end.reason;
  } else {
    DecideCompared(r, tc);
  }
  WriteCalculationRecord(slot.folder, {tc.Caption(), tc.FuncNumText(), end.Succeeded(),
                                       r.outcome == CaseOutcome::CalculationFailed ? r.reason : end.reason,
                                       build_, std::time(nullptr)});
  engine_seconds_ += Since(t0);
  engine_cpu_seconds_ += ThreadCpuSeconds() - cpu;
  Done(slot);
}

void CaseRunner::Stop(int signal, std::vector<CalculationEnd> ends) {
  std::string by = signal ? " by " + SignalName(signal) : "";
  for (const CalculationEnd& end : ends) {
    Slot& slot = slots_[end.id];
    --running_;
    slot.result.outcome = CaseOutcome::Stopped;
    // A calculation that happened to end just before the stop is unfinished all the same:
    // it was not compared.
    bool stopped = end.how == CalculationEnd::How::Stopped;
    slot.result.reason = "stopped" + by + (stopped ? "" : " (" + end.reason + ")");
    slot.result.output = FromCodePage(end.output);
    slot.result.facts = end.facts;
    // Its outputs were deleted for the calculation that did not end: it has not passed.
    try {
      slot.tc->SetPassed(false);
    } catch (...) {
    }
    WriteCalculationRecord(slot.folder, {slot.tc->Caption(), slot.tc->FuncNumText(), false,
                                         slot.result.reason, build_, std::time(nullptr)});
    Done(slot);
  }
  for (Slot& slot : slots_) {
    if (slot.state == Slot::State::Done) continue;
    slot.state = Slot::State::Done;
    slot.result.outcome = CaseOutcome::NotRun;
    slot.result.reason = "not run: the run was stopped" + by;
  }
}

RunResult CaseRunner::Run(const std::vector<std::shared_ptr<TestCaseImpl>>& cases, const BuildIdentity& build,
                          const StopSignals* stop) {
  Clock::time_point start = Clock::now();
  TesterCore& core = session_.Core();
  RunDriver& driver = core.Driver();
  build_ = build;
  RunResult run;
  run.host = session_.Host();
  run.definition_file = core.DefinitionFile();
  run.build = build;
  run.started = std::time(nullptr);

  auto selection = std::make_shared<TestCasesImpl>();
  slots_.clear();
  slots_.reserve(cases.size());
  for (const std::shared_ptr<TestCaseImpl>& tc : cases) {
    selection->Add(tc);
    Slot slot;
    slot.tc = tc;
    slot.result = CaseOf(*tc);
    slot.key = FolderKey(tc->Folder());
    slots_.push_back(std::move(slot));
  }
  running_ = 0;
  done_ = {};
  unusable_told_ = false;
  removed_.clear();

  Reporter& reporter = core.GetReporter();
  reporter.Subscribe(*collector_);
  std::vector<std::string> lines;
  lines_ = &lines;
  bool begun = driver.BeginRun(selection, true);
  lines_ = nullptr;
  if (observer_ && !lines.empty()) observer_->Lines(lines);

  int signal = 0;
  while (begun) {
    if (stop && stop->Received()) break;
    for (int k; running_ < settings_.jobs && (k = NextStartable()) >= 0;) StartCase(k);
    if (running_ == 0 && NextStartable() < 0) break;
    std::optional<CalculationEnd> end = executor_.WaitAny();
    if (!end) {
      if (running_ == 0) continue;
      break;  // a stop was asked for
    }
    FinishCase(end->id, *end);
  }
  if (stop) signal = stop->Received();
  if (begun && (signal || running_ > 0)) {
    Stop(signal, executor_.StopAll());
    run.interrupted = signal ? SignalName(signal) : "stopped";
  } else if (begun) {
    lines.clear();
    lines_ = &lines;
    run.recorded = driver.EndRun(selection);
    lines_ = nullptr;
    if (observer_ && !lines.empty()) observer_->Lines(lines);
  }
  reporter.Unsubscribe(*collector_);

  for (Slot& slot : slots_) run.cases.push_back(slot.result);
  try {
    run.mandatory_in_collection = core.TestCases()->MandatoryCount();
    run.all_mandatory_passed = core.TestCases()->AllMandatoryPassed();
  } catch (...) {
  }
  run.seconds = Since(start);
  return run;
}

}  // namespace corvala4::cli
