// One run at a time on a set of test data. Every run (a linking host's, `corvala4
// run`) and every command that writes into the test data (`corvala4 approve`) takes an
// advisory lock on a file in the standard directory, so that two of them never prepare,
// compare or approve the same folders under each other. Readers take none.
#pragma once

#include <functional>
#include <string>

#include "foundation/windows_api.h"

namespace corvala4 {

class CORVALA4_WINDOWS_API RunLock {
 public:
  /// Told when another process holds the lock and the caller waits for it, and what was done
  /// about an approval that a killed process left half done.
  using WaitNotice = std::function<void(const std::string& text)>;

  RunLock() = default;
  ~RunLock();
  RunLock(const RunLock&) = delete;
  RunLock& operator=(const RunLock&) = delete;

  /// The lock file of a standard directory.
  static std::string FileOf(const std::string& standardDirectory);

  /// Takes the lock of the test data in `standardDirectory`, for `what` (the host, said to
  /// a process that waits). Waits for another process's run unless `wait` is false, then
  /// returns false with `why` naming it. A standard directory that does not exist needs no
  /// lock (nothing of it can be prepared); one whose lock file cannot be made (a read-only
  /// folder) is run without one, `why` saying so. The lock is shared by every RunLock of
  /// this process, which takes it once.
  bool Acquire(const std::string& standardDirectory, const std::string& what, bool wait,
               const WaitNotice& notice, std::string& why);
  /// Gives it up (also on destruction).
  void Release();
  bool Held() const { return !key_.empty(); }

 private:
  std::string key_;
};

}  // namespace corvala4
