// The one tally every report says: each outcome counted once, under the one kind JUnit
// and the HTML page show it as.
#include "results/outcome_tally.h"

#include <gtest/gtest.h>

namespace corvala4 {
namespace {

TEST(OutcomeTally, EveryOutcomeOnceAndEachUnderOneKind) {
  std::vector<CaseResult> cases;
  for (CaseOutcome o : {CaseOutcome::Passed, CaseOutcome::Passed, CaseOutcome::NotPassed,
                        CaseOutcome::CalculationFailed, CaseOutcome::FolderMissing, CaseOutcome::Error,
                        CaseOutcome::Stopped, CaseOutcome::NotRun, CaseOutcome::NotRun}) {
    CaseResult c;
    c.outcome = o;
    cases.push_back(c);
  }
  cases[0].mandatory = cases[2].mandatory = cases[7].mandatory = true;
  OutcomeTally t = Tally(cases);
  EXPECT_EQ(t.cases, 9);
  EXPECT_EQ(t.passed, 2);
  EXPECT_EQ(t.not_passed, 1);
  EXPECT_EQ(t.calculation_failed, 1);
  EXPECT_EQ(t.folder_missing, 1);
  EXPECT_EQ(t.step_failed, 1);
  EXPECT_EQ(t.stopped, 1);
  EXPECT_EQ(t.not_run, 2);
  // A case never started is skipped, as a case without its folder: no error of the build.
  EXPECT_EQ(t.failures, 1);
  EXPECT_EQ(t.errors, 3);
  EXPECT_EQ(t.skipped, 3);
  EXPECT_EQ(t.passed + t.failures + t.errors + t.skipped, t.cases);
  EXPECT_EQ(t.mandatory, 3);
  EXPECT_EQ(t.mandatory_passed, 1);
  EXPECT_EQ(Tally({}).cases, 0);
}

}  // namespace
}  // namespace corvala4
