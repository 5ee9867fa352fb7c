// The run driver lives in TesterCore (RunCases); this header only names the
// status-window feed it installs.
#pragma once

#include <string>

#include "corvala4/progress_events.h"

namespace corvala4 {

/// Passes every progress line of the reporter on to the status window of the
/// user-interface seam; the window itself need not listen to the reporter.
class StatusWindowFeed : public ProgressEvents {
 public:
  void AddMsg(const std::string& msg) override;
};

}  // namespace corvala4
