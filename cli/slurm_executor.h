// Calculations as Slurm jobs: each case's command runs as the one task of a job that
// `srun` submits from the case's working folder and waits for. srun starts a job step at
// once and returns its exit status (`sbatch --wait` would poll every few seconds), and it
// runs here as a local process, so time-outs, stops and output work as for local ones.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "cli/local_executor.h"

namespace corvala4::cli {

struct SlurmOptions {
  std::string partition;          // empty: the cluster's default
  int cpus = 1;                   // CPUs of each case's job
  std::vector<std::string> args;  // more options for srun, as given, after ours
};

/// What is known of the job that runs a calculation: from the wrapper's first line on the
/// node, or else from srun's own messages.
struct SlurmJob {
  std::string id;        // Slurm's job id, once known
  std::string step;      // the step's id, once the job started
  std::string node;      // the node's name in Slurm
  std::string machine;   // the node's host name, to tell another machine from this one
  bool started = false;  // the job's task began
};

class SlurmExecutor : public Executor, private StartWatcher {
 public:
  /// wakeFd as for LocalExecutor; `warn` is told, once, when the working folders seem not
  /// to be shared with the node a job runs on.
  SlurmExecutor(SlurmOptions options, int wakeFd, std::function<void(const std::string&)> warn,
                double grace = 2.0);
  ~SlurmExecutor() override;

  void Start(const Calculation& calc) override;
  std::optional<CalculationEnd> WaitAny() override;
  /// Cancels every job (scancel), then ends the srun processes that wait for them.
  std::vector<CalculationEnd> StopAll() override;
  std::string Unusable() const override { return unusable_; }
  double OutputLookupSeconds() const override { return 3; }

  /// The srun command line that runs a calculation as a job.
  std::vector<std::string> Command(const Calculation& calc) const;

  /// What the wrapper on the node writes first, before it becomes the calculation.
  static constexpr const char* kStartMark = "corvala4-job:";

 private:
  struct Job : SlurmJob {
    std::string folder;
    std::string name;
    std::string guarded;  // what the orphan guard is to cancel should the runner die
  };

  bool Output(int id, std::string& kept) override;
  CalculationEnd Translate(CalculationEnd srun);
  void CheckSharedFolder(const Job& job);
  /// Has the orphan guard cancel the job (or its step) once its id is known.
  void Guard(Job& job);
  /// What scancel takes to cancel the job: its id, or its step's; empty when not known.
  std::string Reference(const Job& job) const;
  /// Cancels jobs (or job steps) by id; waits for scancel unless told not to.
  void Cancel(const std::vector<std::string>& ids, bool wait);
  void ReapCancels(bool wait);
  /// Waits (up to 10 s) until squeue no longer lists the jobs.
  void AwaitGone(const std::vector<std::string>& ids);

  SlurmOptions options_;
  std::function<void(const std::string&)> warn_;
  LocalExecutor srun_;
  std::string this_machine_;
  std::string unusable_;
  bool warned_ = false;
  bool inside_allocation_ = false;
  std::map<int, Job> jobs_;
  std::deque<CalculationEnd> refused_;
  std::vector<int> cancels_;  // scancel processes not yet reaped
};

/// How a calculation that srun ran ended, from srun's own end and what srun and the job
/// step printed: the task's exit status or signal as for a local process, and the reason
/// Slurm gives when it ended the job (time limit, node failure, cancelled). What srun's
/// messages tell of the job is added to `job` (a task killed at once may take the wrapper's
/// first line with it). srun's lines that only repeat the status are dropped from the output.
CalculationEnd SlurmEnd(CalculationEnd srun, SlurmJob& job);

/// The name of the file system that holds `folder` when it is one of this machine's own
/// (a local disk, memory, a temporary folder), which other nodes cannot see; empty when it
/// may be shared.
std::string LocalFileSystem(const std::string& folder);

}  // namespace corvala4::cli
