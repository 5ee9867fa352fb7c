// Ctrl-C and SIGTERM during a run: instead of ending the program at once, the signal
// is noted and wakes the executor, so that the runner can stop every calculation,
// leave no pass marker for an unfinished case and record nothing.
#pragma once

#include "foundation/platform/descriptor.h"

namespace corvala4::cli {

class StopSignals {
 public:
  /// Catches SIGINT, SIGTERM and SIGHUP until destroyed (one object at a time).
  StopSignals();
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  /// Readable once a stop signal has arrived.
  int WakeFd() const;
  /// The first stop signal that arrived, 0 for none.
  int Received() const;
  /// Ends the program by the signal it received, with the default action, so that the
  /// shell that started it sees it was interrupted.
  [[noreturn]] void EndByReceivedSignal();

 private:
  Fd read_, write_;  // the pipe that wakes the wait
};

}  // namespace corvala4::cli
