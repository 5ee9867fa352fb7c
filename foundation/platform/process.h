// Starting another program, with or without waiting: an argument array, never a shell.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace corvala4 {

class ProcessLauncher {
 public:
  virtual ~ProcessLauncher();
  /// Starts argv[0] with the arguments exactly as given. commandText is the same call as one
  /// line, as a user reads it in a log; it is never run. Failure to start raises an Error.
  virtual void Start(const std::vector<std::string>& argv, const std::string& commandText) = 0;
  /// Runs argv[0] with its output and errors discarded, waits for it and returns its exit
  /// status (-1 when a signal ended it). Failure to start raises an Error.
  virtual int Run(const std::vector<std::string>& argv, const std::string& commandText) = 0;
};

/// The launcher in use: Spawn (spawn.h), the child reaped so that no zombie stays.
ProcessLauncher& CurrentProcessLauncher();
/// Installs a launcher (tests capture command lines with it); none restores the default.
void SetProcessLauncher(std::shared_ptr<ProcessLauncher> launcher);

}  // namespace corvala4
