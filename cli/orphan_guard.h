// No calculation outlives its runner: a small shell started beside the runner holds the
// process groups of the running calculations and the Slurm jobs that run them, and when
// the runner dies without saying goodbye (kill -9, a crash), the pipe between them closes
// and it ends every one.
#pragma once

#include <sys/types.h>

#include <string>

#include "foundation/platform/descriptor.h"

namespace corvala4::cli {

class OrphanGuard {
 public:
  OrphanGuard() = default;
  /// Lets the guard go without killing anything.
  ~OrphanGuard();
  OrphanGuard(const OrphanGuard&) = delete;
  OrphanGuard& operator=(const OrphanGuard&) = delete;

  /// The calculation's process group is to end with the runner (the guard starts at the
  /// first). A batch system's client (`terminateFirst`) is sent SIGTERM first, so that it
  /// takes its job along, and SIGKILL only when it has not ended after a while.
  void Add(pid_t group, bool terminateFirst = false);
  /// It has ended.
  void Remove(pid_t group, bool terminateFirst = false);
  /// The Slurm job or job step ("123", "123.4") is to be cancelled should the runner die;
  /// anything else is refused. Only after a group's Add.
  void AddJob(const std::string& id);
  /// It has ended.
  void RemoveJob(const std::string& id);

 private:
  void Send(const std::string& word);
  Fd pipe_;
  pid_t guard_ = -1;
};

}  // namespace corvala4::cli
