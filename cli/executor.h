// How `corvala4 run` has one case calculated: the seam between the runner, which
// prepares, compares and marks every case on the main thread, and whatever runs the
// calculations side by side (local processes, jobs of a batch system).
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace corvala4 {
struct RulePattern;
}

namespace corvala4::cli {

/// One case's calculation: a command, run without a shell in the case's working folder.
struct Calculation {
  int id = 0;                     // the runner's number for the case, handed back in its end
  std::vector<std::string> argv;  // the program and its arguments
  std::string folder;             // the case's working folder
  std::string name;               // the case's caption, for names the executor gives
  double timeout = 0;             // seconds; 0 for none
  /// Lines of its output that mean it failed, whatever its exit status; none to look for.
  const std::vector<RulePattern>* fail_when = nullptr;
};

/// How a calculation ended.
struct CalculationEnd {
  /// Cancelled: the batch system ended it (a node failed, someone cancelled the job).
  enum class How { Exited, Signaled, TimedOut, Stopped, NotStarted, Cancelled };
  int id = 0;
  How how = How::NotStarted;
  int code = 0;        // the exit status, or the signal's number
  double seconds = 0;  // wall time from start to end
  std::string reason;  // for people: "exit status 1", "killed by signal 9 (Killed)", ...
  std::string output;  // the last part of what it printed, standard output and error together
  /// The first line of its output that one of the calculation's failure patterns matched.
  std::optional<std::string> failure_line;
  /// What the executor knows of where it ran (a process id, a job id and node), for the reports.
  std::vector<std::pair<std::string, std::string>> facts;

  /// The host calculated: it exited with status 0 and its output did not say it failed.
  bool Succeeded() const { return how == How::Exited && code == 0 && !failure_line; }
};

/// Runs calculations side by side. Used from one thread.
class Executor {
 public:
  virtual ~Executor();
  /// Starts a calculation and returns at once; one that cannot start ends at once as
  /// NotStarted, with the reason, and WaitAny hands that end out like any other.
  virtual void Start(const Calculation& calc) = 0;
  /// Waits until one calculation has ended and returns its end. Returns nothing when
  /// none is running, or when a stop was asked for (the wake descriptor became readable).
  virtual std::optional<CalculationEnd> WaitAny() = 0;
  /// Stops every calculation still running, all it started included, waits until they
  /// have ended, and returns their ends (Stopped).
  virtual std::vector<CalculationEnd> StopAll() = 0;
  /// Why no calculation can be started here (the batch system's own message), once the
  /// executor has found out; empty while it is usable. Every Start after that ends at once.
  virtual std::string Unusable() const;
  /// Seconds to keep looking for an output that a calculation which succeeded should have
  /// written before it counts as missing: a shared file system may show another machine's
  /// new files late. 0 where the calculations run on this machine.
  virtual double OutputLookupSeconds() const;
};

/// The reason text of an exit status or a signal: "exit status 1", "killed by signal 9 (Killed)".
std::string ExitReason(CalculationEnd::How how, int code);

}  // namespace corvala4::cli
