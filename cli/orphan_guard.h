// No calculation outlives its runner: a small shell started beside the runner holds the
// process groups of the running calculations, and when the runner dies without saying
// goodbye (kill -9, a crash), the pipe between them closes and it kills every group.
#pragma once

#include <sys/types.h>

#include "foundation/platform/descriptor.h"

namespace corvala4::cli {

class OrphanGuard {
 public:
  OrphanGuard() = default;
  /// Lets the guard go without killing anything.
  ~OrphanGuard();
  OrphanGuard(const OrphanGuard&) = delete;
  OrphanGuard& operator=(const OrphanGuard&) = delete;

  /// The calculation's process group is to end with the runner (the guard starts at the first).
  void Add(pid_t group);
  /// It has ended.
  void Remove(pid_t group);

 private:
  void Send(int value);
  Fd pipe_;
  pid_t guard_ = -1;
};

}  // namespace corvala4::cli
