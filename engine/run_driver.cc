#include "engine/run_driver.h"

#include <vector>

#include "corvala4/user_interface.h"
#include "engine/tester_core.h"
#include "foundation/errors.h"
#include "foundation/format_msg.h"
#include "foundation/platform/log.h"
#include "foundation/platform/run_lock.h"
#include "model/test_case.h"
#include "model/test_cases.h"
#include "results/reporter.h"
#include "results/tester_status.h"

namespace corvala4 {

void StatusWindowFeed::AddMsg(const std::string& msg) { CurrentUserInterface().StatusLine(msg); }
void StatusWindowFeed::Clear() { CurrentUserInterface().StatusClear(); }

RunDriver::RunDriver(TesterCore& tester) : tester_(tester) {}

// A host's own exception is reported like any other failure; reporting itself never ends the run.
template <typename Fn>
bool RunDriver::Step(Fn&& fn) {
  try {
    fn();
    return true;
  } catch (...) {
    try {
      last_failure_ = ToError(std::current_exception());
      ShowError(*last_failure_);
    } catch (...) {
    }
    return false;
  }
}

RunDriver::~RunDriver() = default;

void RunDriver::ShowStatusWindow() {
  if (!status_feed_) {
    status_feed_ = std::make_unique<StatusWindowFeed>();
    // Bound once: the window keeps showing the lines of later runs while it stays open.
    tester_.GetReporter().Subscribe(*status_feed_);
  }
  CurrentUserInterface().ShowStatusWindow(tester_.Facade(), auto_mode_);
}

void RunDriver::RunCases(std::shared_ptr<TestCasesImpl> cases, bool autoMode) {
  // Another run on the same test data (another host's, `corvala4 run`) would prepare and
  // compare the same folders under this one: it is waited for.
  RunLock lock;
  Step([&] {
    int32_t count = cases ? cases->Count() : 0;
    if (count == 0) return;
    std::string why;
    auto tell = [](const std::string& text) { WriteLog(LogEventType::Information, text); };
    lock.Acquire(tester_.StandardFolder(), tester_.HostEXE(), true, tell, why);
    if (!why.empty()) WriteLog(LogEventType::Warning, why);
  });
  if (!BeginRun(cases, autoMode)) return;
  // The cases as they stand now, so that nothing a handler does to the collection
  // can make the loop skip or repeat one.
  std::vector<std::shared_ptr<TestCaseImpl>> list;
  Step([&] {
    for (int32_t i = 1; i <= cases->Count(); ++i) list.push_back(cases->At(i));
  });
  for (const std::shared_ptr<TestCaseImpl>& tc : list) {
    Step([&] { CurrentUserInterface().DoEvents(); });
    // A failure anywhere ends the case: the rest of its steps, ActiveCase's reset
    // included, are skipped, and the run goes on with the next case.
    if (!PrepareCase(tc)) continue;
    if (CalculateCase(tc))
      FinishCase(tc);
    else
      // A calculation that failed must not leave the pass of an earlier run standing,
      // or the build would be recorded on it.
      Step([&] { tc->SetPassed(false); });
  }
  EndRun(cases);
}

bool RunDriver::BeginRun(const std::shared_ptr<TestCasesImpl>& cases, bool autoMode) {
  auto_mode_ = autoMode;
  int32_t count = 0;
  Step([&] { count = cases ? cases->Count() : 0; });
  if (count == 0) return false;

  try {
    if (tester_.ShowUI() && tester_.StatWindowEnabled()) ShowStatusWindow();
  } catch (...) {
    // The status window is a convenience: a run never fails for it.
  }

  selected_cases_ = cases;
  Step([&] { tester_.RaiseBeforeAllTest(*cases); });
  Step([&] { tester_.RaiseCheckCancel(); });
  return true;
}

bool RunDriver::PrepareCase(const std::shared_ptr<TestCaseImpl>& tc) {
  return Step([&] {
    active_case_ = tc;
    tester_.RaiseBeforeOneTest(*tc);
    tester_.RaiseCheckCancel();
    tc->PrepareTestFolder();
  });
}

bool RunDriver::CalculateCase(const std::shared_ptr<TestCaseImpl>& tc) {
  return Step([&] { tester_.RaiseDoTest(*tc); });
}

bool RunDriver::FinishCase(const std::shared_ptr<TestCaseImpl>& tc) {
  return Step([&] {
    active_case_ = tc;
    tc->UpdateStatus(true);
    if (!auto_mode_) {
      std::string caption = tc->Caption();
      if (!tc->Success()) {
        tester_.ShowMessage(FormatMsg("算例'%0'计算失败!", caption), kOkOnly | kCritical);
      } else if (tc->Passed()) {
        tester_.ShowMessage(FormatMsg("算例'%0'通过了正确性自测试!", caption), kOkOnly | kInformation);
      } else {
        int answer = tester_.ShowMessage(FormatMsg("算例'%0'未通过,是否查看测试结果?", caption),
                                         kYesNoCancel | kCritical);
        if (answer == kYes)
          CurrentUserInterface().ShowCompareWindow(*tc);
        else if (answer == kCancel)
          throw Error(CancelError, "", "");
      }
    }
    tester_.RaiseAfterOneTest(*tc);
    tester_.RaiseCheckCancel();
    active_case_ = nullptr;
  });
}

bool RunDriver::EndRun(const std::shared_ptr<TestCasesImpl>& cases) {
  Step([&] { tester_.RaiseAfterAllTest(*cases); });
  selected_cases_ = nullptr;
  if (auto_mode_) Step([&] { tester_.ShowMessage("全部选定自测试算例执行完成!", kOkOnly | kInformation); });

  // A failure while deciding counts as "not all passed": the build is never
  // recorded on a doubt.
  bool all_passed = false;
  Step([&] { all_passed = tester_.TestCases()->AllMandatoryPassed(); });
  if (!all_passed) return false;
  Step([&] {
    tester_.ShowMessage(std::string("祝贺您！本版本已经通过了全部必测算例。") + "\r\n" +
                            "今后，您可以放心使用此版本程序了！",
                        kOkOnly | kInformation);
  });
  return Step([&] { tester_.VersionRecord().RecordVersionPassed(); });
}

}  // namespace corvala4
