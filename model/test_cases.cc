#include "model/test_cases.h"

#include "foundation/errors.h"

namespace corvala4 {

TestCases::~TestCases() = default;

std::shared_ptr<TestCase> TestCasesImpl::Item(int32_t Index) const { return At(Index); }

std::shared_ptr<TestCase> TestCasesImpl::Item(std::string_view) const {
  // Cases never get keys, so no text can name one.
  Raise(err::SubscriptOutOfRange);
}

std::shared_ptr<TestCaseImpl> TestCasesImpl::At(int32_t Index) const {
  if (Index < 1 || Index > Count()) Raise(err::SubscriptOutOfRange);
  return cases_[static_cast<size_t>(Index - 1)];
}

void TestCasesImpl::Clear() {
  for (size_t n = cases_.size(); n > 0 && !cases_.empty(); --n) {
    std::shared_ptr<TestCaseImpl> first = cases_.front();
    first->Detach();
    cases_.erase(cases_.begin());
  }
}

}  // namespace corvala4
