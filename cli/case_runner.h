// `corvala4 run`: the cases of a host, their calculations side by side on an executor,
// with exactly the outcome of a sequential run. Preparation, comparison, pass markers
// and the version record are the run driver's steps, taken on this thread in the one
// context; only the calculations run elsewhere.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "cli/command_template.h"
#include "cli/executor.h"
#include "results/outcome_tally.h"
#include "results/run_report.h"

namespace corvala4::cli {

class HostSession;
class StopSignals;

/// What the runner tells while it runs (the console's display).
class RunObserver {
 public:
  virtual ~RunObserver();
  /// Progress lines of the module: the start of the run, a case's lines together, the end.
  virtual void Lines(const std::vector<std::string>& lines);
  /// A case is over; its lines have been handed out.
  virtual void CaseEnded(const CaseResult& c);
  /// How the cases done so far ended, how many are running, of how many.
  virtual void Counts(const OutcomeTally& done, int running, int total);
  /// The executor cannot start any calculation here: told once, before the first case it failed.
  virtual void Unusable(const std::string& why);
};

struct RunSettings {
  int jobs = 1;        // calculations at once
  double timeout = 0;  // seconds per calculation; 0 for none
  bool fresh = false;  // each working folder removed before its first case is prepared
};

class CaseRunner {
 public:
  CaseRunner(HostSession& session, Executor& executor, const CommandTemplate& command, RunSettings settings);
  ~CaseRunner();

  void SetObserver(RunObserver* observer) { observer_ = observer; }

  /// Runs the cases, given in definition order. When a stop signal arrives, every running
  /// calculation is stopped, a stopped case loses its pass marker, and nothing is recorded.
  RunResult Run(const std::vector<std::shared_ptr<TestCaseImpl>>& cases, const BuildIdentity& build,
                const StopSignals* stop);

  /// Seconds this thread spent on the module's steps of the cases (preparation,
  /// comparison, pass markers and the runner's own records), for the benchmark.
  double EngineSeconds() const { return engine_seconds_; }
  /// The same in this thread's CPU time, which other work on a busy machine does not distort.
  double EngineCpuSeconds() const { return engine_cpu_seconds_; }

 private:
  struct Slot;
  int NextStartable() const;
  void StartCase(int k);
  void FinishCase(int k, const CalculationEnd& end);
  void Stop(int signal, std::vector<CalculationEnd> ends);
  void Flush(Slot& slot, bool last);
  void Done(Slot& slot);

  HostSession& session_;
  Executor& executor_;
  const CommandTemplate& command_;
  RunSettings settings_;
  RunObserver* observer_ = nullptr;
  BuildIdentity build_;
  std::vector<Slot> slots_;
  int running_ = 0;
  OutcomeTally done_;
  bool unusable_told_ = false;
  std::set<std::string> removed_;  // the working folders --fresh has removed in this run
  double engine_seconds_ = 0;
  double engine_cpu_seconds_ = 0;
  /// Where the module's progress lines go now.
  std::vector<std::string>* lines_ = nullptr;
  class LineCollector;
  std::unique_ptr<LineCollector> collector_;
};

/// "SIGINT", "SIGTERM".
std::string SignalName(int signal);

}  // namespace corvala4::cli
