#include "corvala4/tester_events.h"

namespace corvala4 {

TesterEvents::~TesterEvents() = default;
void TesterEvents::CheckCancel(bool&) {}
void TesterEvents::BeforeAllTest(TestCases&) {}
void TesterEvents::BeforeOneTest(TestCase&) {}
void TesterEvents::DoTest(TestCase&) {}
void TesterEvents::AfterOneTest(TestCase&) {}
void TesterEvents::AfterAllTest(TestCases&) {}

}  // namespace corvala4
