// Calculations as local processes, each in a process group of its own, so that a
// time-out or a stop ends the calculation with everything it started.
#pragma once

#include <chrono>
#include <deque>
#include <memory>
#include <vector>

#include "cli/executor.h"
#include "cli/orphan_guard.h"

namespace corvala4::cli {

/// Sees the first output of calculations whose process starts before they do (a batch
/// system's client waits for its job): their time-out counts from the start seen here.
class StartWatcher {
 public:
  virtual ~StartWatcher();
  /// Output of calculation `id` came before its start was seen: `kept` is all of it so far,
  /// which the watcher may rid of lines of its own. Returns true once the calculation started.
  virtual bool Output(int id, std::string& kept) = 0;
};

class LocalExecutor : public Executor {
 public:
  /// wakeFd becomes readable when the run is to stop (-1: never). A process that
  /// outlives SIGTERM by `grace` seconds gets SIGKILL.
  explicit LocalExecutor(int wakeFd = -1, double grace = 2.0);
  /// Stops whatever still runs: no calculation outlives the executor.
  ~LocalExecutor() override;

  void Start(const Calculation& calc) override;
  std::optional<CalculationEnd> WaitAny() override;
  std::vector<CalculationEnd> StopAll() override;

  /// With a watcher, a calculation's time-out counts from the start the watcher sees.
  void SetStartWatcher(StartWatcher* watcher) { watcher_ = watcher; }
  /// Its processes are a batch system's clients, which take their jobs along when sent
  /// SIGTERM: should the runner die, they are terminated first, killed only if that fails.
  void SetBatchClients() { batch_clients_ = true; }
  /// What ends with the runner should it die: more than the processes can be added to it.
  OrphanGuard& Orphans() { return orphans_; }

  /// Calculations started and not yet handed out by WaitAny.
  size_t Running() const { return procs_.size() + ended_.size(); }

  /// The last bytes of a calculation's output that are kept.
  static constexpr size_t kOutputTail = 64 * 1024;

 private:
  struct Process;
  using Clock = std::chrono::steady_clock;

  /// One wait on every process: reads output, reaps what ended, signals what ran out of time.
  /// Returns false when the wake descriptor is readable.
  bool Poll(Clock::time_point until);
  void Terminate(Process& p, Clock::time_point now);
  void Watch(Process& p, bool more);
  CalculationEnd Finish(Process& p, int status);

  int wake_fd_;
  Clock::duration grace_;
  StartWatcher* watcher_ = nullptr;
  bool batch_clients_ = false;
  std::vector<std::unique_ptr<Process>> procs_;
  std::deque<CalculationEnd> ended_;
  OrphanGuard orphans_;
};

}  // namespace corvala4::cli
