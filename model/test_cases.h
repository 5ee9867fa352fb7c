// The ordered collection of cases, with the counts the run driver and the window ask for.
#pragma once

#include <memory>
#include <vector>

#include "corvala4/test_cases.h"
#include "foundation/windows_api.h"
#include "model/test_case.h"

namespace corvala4 {

class CORVALA4_WINDOWS_API TestCasesImpl : public TestCases {
 public:
  int32_t Count() const override { return static_cast<int32_t>(cases_.size()); }
  std::shared_ptr<TestCase> Item(int32_t Index) const override;
  std::shared_ptr<TestCase> Item(std::string_view Index) const override;
  /// The internal view of the case at a 1-based position (error 9 out of range).
  std::shared_ptr<TestCaseImpl> At(int32_t index) const;

  /// Appends; no key, no duplicate check.
  void Add(std::shared_ptr<TestCaseImpl> tc) { cases_.push_back(std::move(tc)); }
  /// Detaches and removes every case, first to last.
  void Clear();

  /// Cases that must be tested (error 6 beyond 32767 cases).
  int32_t MandatoryCount() const;
  /// Cases whose pass marker exists.
  int32_t PassedCount() const;
  /// No mandatory case is without its pass marker; true when empty.
  bool AllMandatoryPassed() const;

  /// The cases in order, for the module's own loops.
  const std::vector<std::shared_ptr<TestCaseImpl>>& Cases() const { return cases_; }

 private:
  std::vector<std::shared_ptr<TestCaseImpl>> cases_;
};

}  // namespace corvala4
