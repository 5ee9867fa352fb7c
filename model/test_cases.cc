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
  // First to last, as if each were taken from the front; one erase keeps it linear.
  std::vector<std::shared_ptr<TestCaseImpl>> taken;
  taken.swap(cases_);
  for (const std::shared_ptr<TestCaseImpl>& tc : taken) tc->Detach();
}

namespace {

void CountOne(int16_t& count) {
  if (count == INT16_MAX) Raise(err::Overflow);
  ++count;
}

}  // namespace

int16_t TestCasesImpl::MandatoryCount() const {
  int16_t count = 0;
  for (const auto& tc : cases_)
    if (tc->Mandatory()) CountOne(count);
  return count;
}

int16_t TestCasesImpl::PassedCount() const {
  int16_t count = 0;
  for (const auto& tc : cases_)
    if (tc->Passed()) CountOne(count);
  return count;
}

bool TestCasesImpl::AllMandatoryPassed() const {
  for (const auto& tc : cases_)
    if (tc->Mandatory() && !tc->Passed()) return false;
  return true;
}

}  // namespace corvala4
