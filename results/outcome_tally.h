// How many cases of a run ended each way: the one count that the JUnit report, the HTML
// report and the runner's summary line all say.
#pragma once

#include <vector>

#include "results/run_report.h"

namespace corvala4 {

/// What an outcome counts as in every report: JUnit's four kinds, the HTML page's colours.
enum class OutcomeKind {
  Passed,
  Failure,  // calculated, an output differs
  Error,    // not calculated, a step failed, or stopped while calculated
  Skipped,  // no case folder, or never started
};

OutcomeKind KindOf(CaseOutcome outcome);

struct OutcomeTally {
  int cases = 0;
  // Each outcome.
  int passed = 0;
  int not_passed = 0;
  int calculation_failed = 0;
  int folder_missing = 0;
  int step_failed = 0;  // CaseOutcome::Error
  int stopped = 0;
  int not_run = 0;
  // Each kind (passed as above).
  int failures = 0;
  int errors = 0;
  int skipped = 0;
  // Of the cases run, not of the whole definition.
  int mandatory = 0;
  int mandatory_passed = 0;

  /// Counts one more case, so that a run can be told as it goes by the same count.
  void Add(const CaseResult& c);
};

OutcomeTally Tally(const std::vector<CaseResult>& cases);

}  // namespace corvala4
