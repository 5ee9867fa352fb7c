// What `corvala4 run` prints while it runs. Without a terminal: the module's progress
// lines, as a linking host's quiet run prints them, each case's lines together, with
// why a case did not pass. On a terminal: one live line (done, running, not passed,
// time left) and a line for each case that did not pass.
#pragma once

#include <chrono>
#include <cstdio>

#include "cli/case_runner.h"

namespace corvala4::cli {

class ProgressDisplay : public RunObserver {
 public:
  ProgressDisplay(std::FILE* out, bool terminal);

  void Lines(const std::vector<std::string>& lines) override;
  void CaseEnded(const CaseResult& c) override;
  void Counts(int done, int running, int failed, int total) override;
  /// Clears the live line before the closing words.
  void Finish();

  /// Why a case did not pass, as indented lines (empty for a case that passed).
  static std::vector<std::string> Explanation(const CaseResult& c);

 private:
  void ClearLive();
  void DrawLive();

  std::FILE* out_;
  bool terminal_;
  bool live_shown_ = false;
  int done_ = 0, running_ = 0, failed_ = 0, total_ = 0;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace corvala4::cli
