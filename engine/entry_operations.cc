#include "corvala4/user_interface.h"
#include "engine/tester_core.h"
#include "foundation/errors.h"
#include "foundation/globals.h"

namespace corvala4 {

template <typename Fn>
void TesterCore::RunEntry(bool showUI, Fn&& body) {
  try {
    show_ui_ = showUI;
    if (G().TestRunning) {
      ShowMessage("测试已经在执行了!", kOkOnly | kCritical);
      return;
    }
    G().TestRunning = true;
    OpenContext();
    body();
    CloseContext();
    G().TestRunning = false;
  } catch (...) {
    // The context stays as it is: the next entry operation opens it afresh.
    G().TestRunning = false;
    try {
      ShowMessage(ErrDetailText(ToError(std::current_exception())), kOkOnly | kCritical);
    } catch (...) {
      // Reporting must never throw into the host.
    }
  }
}

void TesterCore::PromptTest() {
  RunEntry(true, [] {});
}

void TesterCore::Launch() {
  RunEntry(true, [this] { CurrentUserInterface().ShowTestWindow(facade_); });
}

void TesterCore::LaunchNoUI() {
  RunEntry(false, [] {});
}

void TesterCore::IUnitTest_Launch() { CurrentUserInterface().ShowUnitRunner(facade_); }

}  // namespace corvala4
