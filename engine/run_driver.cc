// The run driver: the events of a run, the preparation, comparison and record of
// each case, the messages, and the record of the build when every mandatory case passed.
#include "engine/run_driver.h"

#include <vector>

#include "corvala4/user_interface.h"
#include "engine/tester_core.h"
#include "foundation/errors.h"
#include "foundation/format_msg.h"
#include "model/test_case.h"
#include "model/test_cases.h"
#include "results/reporter.h"
#include "results/tester_status.h"

namespace corvala4 {

void StatusWindowFeed::AddMsg(const std::string& msg) { CurrentUserInterface().StatusLine(msg); }

namespace {

/// Shows what a failed step raised (a host's own exception included) and lets the
/// run go on with the next step; reporting itself never ends the run.
void Report() {
  try {
    ShowError(ToError(std::current_exception()));
  } catch (...) {
  }
}

template <typename Fn>
void Step(Fn&& fn) {
  try {
    fn();
  } catch (...) {
    Report();
  }
}

}  // namespace

void TesterCore::ShowStatusWindow() {
  if (!status_feed_) {
    status_feed_ = std::make_unique<StatusWindowFeed>();
    // Bound once: the window keeps showing the lines of later runs while it stays open.
    GetReporter().Subscribe(*status_feed_);
  }
  CurrentUserInterface().ShowStatusWindow(facade_);
}

void TesterCore::RunCases(std::shared_ptr<TestCasesImpl> cases, bool autoMode) {
  auto_mode_ = autoMode;
  int32_t count = 0;
  try {
    count = cases ? cases->Count() : 0;
  } catch (...) {
    Report();
  }
  if (count == 0) return;

  try {
    if (show_ui_ && StatWindowEnabled()) ShowStatusWindow();
  } catch (...) {
    // The status window is a convenience: a run never fails for it.
  }

  selected_cases_ = cases;
  Step([&] { RaiseBeforeAllTest(*cases); });
  Step([&] { RaiseCheckCancel(); });

  // The cases as they stand now, so that nothing a handler does to the collection
  // can make the loop skip or repeat one.
  std::vector<std::shared_ptr<TestCaseImpl>> list;
  Step([&] {
    for (int32_t i = 1; i <= cases->Count(); ++i) list.push_back(cases->At(i));
  });
  for (const std::shared_ptr<TestCaseImpl>& tc : list) {
    Step([&] { CurrentUserInterface().DoEvents(); });
    Step([&] { RunOneCase(tc); });
  }

  Step([&] { RaiseAfterAllTest(*cases); });
  selected_cases_ = nullptr;
  if (auto_mode_) Step([&] { ShowMessage("全部选定自测试算例执行完成!", kOkOnly | kInformation); });

  // A failure while deciding counts as "not all passed": the build is never
  // recorded on a doubt.
  bool all_passed = false;
  Step([&] { all_passed = TestCases()->AllMandatoryPassed(); });
  if (all_passed) {
    Step([&] {
      ShowMessage(std::string("祝贺您！本版本已经通过了全部必测算例。") + "\r\n" +
                      "今后，您可以放心使用此版本程序了！",
                  kOkOnly | kInformation);
    });
    Step([&] { VersionRecord().RecordVersionPassed(); });
  }
}

void TesterCore::RunOneCase(const std::shared_ptr<TestCaseImpl>& tc) {
  // A failure anywhere here ends the case: the rest of its steps, ActiveCase's reset
  // included, are skipped, and RunCases goes on with the next case.
  active_case_ = tc;
  RaiseBeforeOneTest(*tc);
  RaiseCheckCancel();
  tc->PrepareTestFolder();
  RaiseDoTest(*tc);
  tc->UpdateStatus(true);
  if (!auto_mode_) {
    std::string caption = tc->Caption();
    if (!tc->Success()) {
      ShowMessage(FormatMsg("算例'%0'计算失败!", caption), kOkOnly | kCritical);
    } else if (tc->Passed()) {
      ShowMessage(FormatMsg("算例'%0'通过了正确性自测试!", caption), kOkOnly | kInformation);
    } else {
      int answer =
          ShowMessage(FormatMsg("算例'%0'未通过,是否查看测试结果?", caption), kYesNoCancel | kCritical);
      if (answer == kYes)
        CurrentUserInterface().ShowCompareWindow(*tc);
      else if (answer == kCancel)
        throw Error(CancelError, "", "");
    }
  }
  RaiseAfterOneTest(*tc);
  RaiseCheckCancel();
  active_case_ = nullptr;
}

}  // namespace corvala4
