// The entry operations of a Tester: each guards against re-entry, opens a context,
// does its work and closes the context; whatever fails is reported, never passed on.
#include <unistd.h>

#include <optional>

#include "corvala4/user_interface.h"
#include "engine/run_recorder.h"
#include "engine/tester_core.h"
#include "engine/txt_loader.h"
#include "engine/xml_loader.h"
#include "foundation/detailed_fso.h"
#include "foundation/errors.h"
#include "foundation/format_msg.h"
#include "foundation/globals.h"
#include "model/test_cases.h"
#include "results/compare_rules.h"
#include "results/junit_report.h"
#include "results/tester_status.h"
#include "settings/global_setting.h"

namespace corvala4 {

namespace {

const char* const kNoDefinitionFile =
    "未找到正确性自测试算例的定义文件'%0',系统现在未经过测试就设置程序正确了.";
const char* const kNoValidCase =
    "在自测试算例的定义文件'%0'中,未找到任何合法的算例信息,系统现在未经过测试就设置程序正确了.";

/// Tells the user interface that an entry operation which shows it runs, from the guard
/// to the last message, so that its windows need not start anew for every message.
class ShownOperation {
 public:
  explicit ShownOperation(bool shown) : shown_(shown && Begin()) {}
  ~ShownOperation() {
    if (!shown_) return;
    try {
      CurrentUserInterface().EndOperation();
    } catch (...) {
    }
  }
  ShownOperation(const ShownOperation&) = delete;
  ShownOperation& operator=(const ShownOperation&) = delete;

 private:
  static bool Begin() {
    try {
      CurrentUserInterface().BeginOperation();
      return true;
    } catch (...) {
      return false;
    }
  }
  bool shown_;
};

}  // namespace

template <typename Fn>
EntryOutcome TesterCore::RunEntry(bool showUI, Fn&& body) {
  ShownOperation operation(showUI && !G().TestRunning);
  EntryOutcome outcome;
  try {
    if (G().TestRunning) {
      // The refusal speaks in this call's own mode, but an operation of this tester
      // that is in progress keeps the mode it was started with.
      // A refusal that cannot be shown is dropped: it must not reach the handler below,
      // which would clear the guard of the operation that is still running.
      bool running_mode = show_ui_;
      show_ui_ = showUI;
      try {
        ShowMessage("测试已经在执行了!", kOkOnly | kCritical);
      } catch (...) {
      }
      show_ui_ = running_mode;
      outcome.refused = true;
      return outcome;
    }
    show_ui_ = showUI;
    G().TestRunning = true;
    OpenContext();
    body();
    CloseContext();
    G().TestRunning = false;
  } catch (...) {
    // The context stays as it is: the next entry operation opens it afresh.
    G().TestRunning = false;
    try {
      outcome.failure = ToError(std::current_exception());
      ShowMessage(ErrDetailText(*outcome.failure), kOkOnly | kCritical);
    } catch (...) {
      // Reporting must never throw into the host.
    }
  }
  return outcome;
}

EntryOutcome TesterCore::PromptTest() {
  return RunEntry(true, [this] {
    if (VersionRecord().VersionPassed()) return;
    int answer = ShowMessage("提醒：本EXE版本没有经过全部正确性“必测”测试，是否立即开始测试？",
                             kOkCancel | kQuestion, "提示");
    if (answer == kOk) ShowTestWindow();
  });
}

EntryOutcome TesterCore::Launch() {
  return RunEntry(true, [this] { ShowTestWindow(); });
}

EntryOutcome TesterCore::LaunchNoUI() {
  return RunEntry(false, [this] {
    // A report is written whatever happens, so that CI never reads the one of an earlier run.
    std::string report = RunRecorder::ReportPath(*this);
    std::optional<RunRecorder> recorder;
    if (!report.empty()) {
      // An earlier run's report never stands for this one, even if this one never ends.
      unlink(report.c_str());
      recorder.emplace(*this);
    }
    auto write_report = [&] {
      if (!recorder) return;
      try {
        WriteJUnitReport(recorder->Result(), report);
      } catch (...) {
        // The run itself stands: the report's failure is told like any other.
        ShowMessage(ErrDetailText(ToError(std::current_exception())), kOkOnly | kCritical);
      }
    };
    try {
      if (FSO().FileExists(definition_file_)) {
        LoadDefinition();
        driver_.RunCases(TestCases(), true);
      } else {
        VersionRecord().RecordVersionPassed();
      }
    } catch (...) {
      if (recorder) recorder->Failed(ErrSummaryText(ToError(std::current_exception())));
      write_report();
      throw;
    }
    write_report();
  });
}

void TesterCore::IUnitTest_Launch() { CurrentUserInterface().ShowUnitRunner(facade_); }

void TesterCore::LoadDefinition() {
  LoadCases();
  LoadComparisonRules();
}

void TesterCore::LoadCases() {
  rules_.reset();
  if (is_xml_definition_)
    LoadXmlDefinition(*this);
  else
    LoadTxtDefinition(*this);
}

void TesterCore::LoadComparisonRules() {
  rules_.reset();
  try {
    rules_ = CompareRules::LoadFor(standard_folder_);
  } catch (...) {
    TestCases()->Clear();
    throw;
  }
}

void TesterCore::ShowTestWindow() {
  if (!FSO().FileExists(definition_file_)) {
    ShowMessage(FormatMsg(kNoDefinitionFile, definition_file_), kOkOnly | kCritical);
    VersionRecord().RecordVersionPassed();
    return;
  }
  // Cases left by an operation that failed after loading are shown as they are.
  if (TestCases()->Count() == 0) LoadDefinition();
  if (TestCases()->Count() == 0) {
    ShowMessage(FormatMsg(kNoValidCase, definition_file_), kOkOnly | kCritical);
    VersionRecord().RecordVersionPassed();
    return;
  }
  CurrentUserInterface().ShowTestWindow(facade_);
}

void TesterCore::CompareFoldersWithTool() { Setting().RunCompareTool(WorkFolder(), StandardFolder()); }

}  // namespace corvala4
