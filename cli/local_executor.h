// Calculations as local processes, each in a process group of its own, so that a
// time-out or a stop ends the calculation with everything it started.
#pragma once

#include <chrono>
#include <deque>
#include <memory>
#include <vector>

#include "cli/executor.h"

namespace corvala4::cli {

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
  CalculationEnd Finish(Process& p, int status);

  int wake_fd_;
  Clock::duration grace_;
  std::vector<std::unique_ptr<Process>> procs_;
  std::deque<CalculationEnd> ended_;
};

}  // namespace corvala4::cli
