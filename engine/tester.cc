#include "corvala4/tester.h"

#include "engine/tester_core.h"
#include "foundation/startup.h"
#include "model/test_cases.h"
#include "results/reporter.h"

namespace corvala4 {

IUnitTest::~IUnitTest() = default;

Tester::Tester() : unit_test_(*this) {
  EnsureStarted();
  core_ = std::make_shared<TesterCore>(*this);
}

Tester::~Tester() = default;

std::string Tester::HostEXE() const { return core_->HostEXE(); }
void Tester::SetHostEXE(std::string value) { core_->SetHostEXE(std::move(value)); }
std::shared_ptr<corvala4::TestCases> Tester::TestCases() { return core_->TestCases(); }
std::shared_ptr<corvala4::TestCases> Tester::SelectedCases() const { return core_->Driver().SelectedCases(); }
std::shared_ptr<TestCase> Tester::ActiveCase() const { return core_->Driver().ActiveCase(); }
void Tester::PromptTest() { core_->PromptTest(); }
void Tester::Launch() { core_->Launch(); }
void Tester::LaunchNoUI() { core_->LaunchNoUI(); }
void Tester::IUnitTest_Launch() { core_->IUnitTest_Launch(); }
IUnitTest& Tester::UnitTest() { return unit_test_; }
void Tester::Subscribe(TesterEvents& handler) { core_->Subscribe(handler); }
void Tester::Unsubscribe(TesterEvents& handler) { core_->Unsubscribe(handler); }
void Tester::SubscribeProgress(ProgressEvents& handler) { core_->GetReporter().Subscribe(handler); }
void Tester::UnsubscribeProgress(ProgressEvents& handler) { core_->GetReporter().Unsubscribe(handler); }
void Tester::SetJUnitReport(std::string path) { core_->SetJUnitReport(std::move(path)); }
std::string Tester::JUnitReport() const { return core_->JUnitReport(); }

}  // namespace corvala4
