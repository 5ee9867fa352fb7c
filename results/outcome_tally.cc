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

void OutcomeTally::Add(const CaseResult& c) {
  ++cases;
  switch (c.outcome) {
    case CaseOutcome::Passed: ++passed; break;
    case CaseOutcome::NotPassed: ++not_passed; break;
    case CaseOutcome::CalculationFailed: ++calculation_failed; break;
    case CaseOutcome::FolderMissing: ++folder_missing; break;
    case CaseOutcome::Error: ++step_failed; break;
    case CaseOutcome::Stopped: ++stopped; break;
    case CaseOutcome::NotRun: ++not_run; break;
  }
  switch (KindOf(c.outcome)) {
    case OutcomeKind::Passed: break;
    case OutcomeKind::Failure: ++failures; break;
    case OutcomeKind::Error: ++errors; break;
    case OutcomeKind::Skipped: ++skipped; break;
  }
  mandatory += c.mandatory;
  mandatory_passed += c.mandatory && c.outcome == CaseOutcome::Passed;
}

OutcomeTally Tally(const std::vector<CaseResult>& cases) {
  OutcomeTally t;
  for (const CaseResult& c : cases) t.Add(c);
  return t;
}

}  // namespace corvala4
