// What `corvala4 run` prints while it runs. Without a terminal: the module's progress
// lines, as a linking host's quiet run prints them, each case's lines together, with
// why a case did not pass. On a terminal: one live line (done, running, not passed,
// time left) and a line for each case that did not pass.
#pragma once

#include <chrono>
#include <cstdio>

#include "cli/case_runner.h"

namespace corvala4::cli {

/// How the cases that did not pass ended, each way that any did, as the live line and the
/// summary line both say it: "1 not passed, 2 failed to calculate, 1 without a case folder".
/// "failed to calculate" is said at 0 too when `every` (the summary line).
std::string NotPassedCounts(const OutcomeTally& t, bool every);

class ProgressDisplay : public RunObserver {
 public:
  /// Warnings and what keeps the run from calculating go to `err`. `terminal`: a live line is
  /// drawn (cut to the terminal's width); `color`: a case that did not pass is told in red.
  ProgressDisplay(std::FILE* out, bool terminal, std::FILE* err = stderr, bool color = false);

  void Lines(const std::vector<std::string>& lines) override;
  void CaseEnded(const CaseResult& c) override;
  void Counts(const OutcomeTally& done, int running, int total) override;
  void Unusable(const std::string& why) override;
  /// A warning for the user, once, between the lines of the run.
  void Warning(const std::string& text);
  /// Clears the live line before the closing words.
  void Finish();

  /// Why a case did not pass, as indented lines (empty for a case that passed); a failure
  /// that only repeats why the executor is unusable is told in a word. How a file's rule
  /// decided goes on a line of its own, cut to `width` columns when `width` is above 0.
  static std::vector<std::string> Explanation(const CaseResult& c, const std::string& unusable = "",
                                              int width = 0);

 private:
  void ClearLive();
  void DrawLive();

  std::FILE* out_;
  bool terminal_;
  std::FILE* err_;
  bool color_;
  std::string unusable_;
  bool live_shown_ = false;
  OutcomeTally done_;
  int running_ = 0, total_ = 0;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace corvala4::cli
