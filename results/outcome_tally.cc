#include "results/outcome_tally.h"

namespace corvala4 {

OutcomeKind KindOf(CaseOutcome outcome) {
  switch (outcome) {
    case CaseOutcome::Passed: return OutcomeKind::Passed;
    case CaseOutcome::NotPassed: return OutcomeKind::Failure;
    case CaseOutcome::CalculationFailed:
    case CaseOutcome::Error:
    case CaseOutcome::Stopped: return OutcomeKind::Error;
    case CaseOutcome::FolderMissing:
    case CaseOutcome::NotRun: return OutcomeKind::Skipped;
  }
  return OutcomeKind::Error;
}

OutcomeTally Tally(const std::vector<CaseResult>& cases) {
  OutcomeTally t;
  for (const CaseResult& c : cases) {
    ++t.cases;
    switch (c.outcome) {
      case CaseOutcome::Passed: ++t.passed; break;
      case CaseOutcome::NotPassed: ++t.not_passed; break;
      case CaseOutcome::CalculationFailed: ++t.calculation_failed; break;
      case CaseOutcome::FolderMissing: ++t.folder_missing; break;
      case CaseOutcome::Error: ++t.step_failed; break;
      case CaseOutcome::Stopped: ++t.stopped; break;
      case CaseOutcome::NotRun: ++t.not_run; break;
    }
    switch (KindOf(c.outcome)) {
      case OutcomeKind::Passed: break;
      case OutcomeKind::Failure: ++t.failures; break;
      case OutcomeKind::Error: ++t.errors; break;
      case OutcomeKind::Skipped: ++t.skipped; break;
    }
    t.mandatory += c.mandatory;
    t.mandatory_passed += c.mandatory && c.outcome == CaseOutcome::Passed;
  }
  return t;
}

}  // namespace corvala4
