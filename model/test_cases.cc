#include "model/test_cases.h"

#include "foundation/errors.h"
#include "foundation/owned_items.h"

namespace corvala4 {

TestCases::~TestCases() = default;

std::shared_ptr<TestCase> TestCasesImpl::Item(int32_t Index) const { return At(Index); }

std::shared_ptr<TestCase> TestCasesImpl::Item(std::string_view) const {
  // Cases never get keys, so no text can name one.
  Raise(err::SubscriptOutOfRange);
}

std::shared_ptr<TestCaseImpl> TestCasesImpl::At(int32_t index) const { return ItemAt(cases_, index); }

void TestCasesImpl::Clear() { DetachAll(cases_); }

// Counted wider than the original's 16 bits: a suite of more than 32767 cases counts right.
int32_t TestCasesImpl::MandatoryCount() const {
  int32_t count = 0;
  for (const auto& tc : cases_)
    if (tc->Mandatory()) ++count;
  return count;
}

int32_t TestCasesImpl::PassedCount() const {
  int32_t count = 0;
  for (const auto& tc : cases_)
    if (tc->Passed()) ++count;
  return count;
}

bool TestCasesImpl::AllMandatoryPassed() const {
  for (const auto& tc : cases_)
    if (tc->Mandatory() && !tc->Passed()) return false;
  return true;
}

}  // namespace corvala4
