// Extension: the progress lines of a run, for hosts that show them themselves
// (the status window receives the same lines).
#pragma once

#include <string>

#include "corvala4/export.h"

namespace corvala4 {

/// Subscribe with Tester::SubscribeProgress; lines arrive synchronously during a run.
class CORVALA4_API ProgressEvents {
 public:
  virtual ~ProgressEvents();
  /// One more line of progress.
  virtual void AddMsg(const std::string& msg);
  /// The display is to be emptied (a new run starts).
  virtual void Clear();
};

}  // namespace corvala4
