// The run driver: runs a collection of cases for one tester. It raises the events in
// which the host calculates each case, prepares each working folder, has the outputs
// compared and the pass marker written, tells the user how each case went, and records
// the build when every mandatory case has passed.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "corvala4/error.h"
#include "corvala4/progress_events.h"
#include "foundation/windows_api.h"

namespace corvala4 {

class TesterCore;
class TestCaseImpl;
class TestCasesImpl;

/// Passes the reporter's events on to the status window of the user-interface seam;
/// the window itself need not know the reporter, nor outlive the tester.
class StatusWindowFeed : public ProgressEvents {
 public:
  void AddMsg(const std::string& msg) override;
  void Clear() override;
};

class CORVALA4_WINDOWS_API RunDriver {
 public:
  explicit RunDriver(TesterCore& tester);
  ~RunDriver();
  RunDriver(const RunDriver&) = delete;
  RunDriver& operator=(const RunDriver&) = delete;

  /// Runs every case of `cases` in order, yielding to the message loop before each one.
  /// Reports each failure itself and goes on with the next step; never raises.
  void RunCases(std::shared_ptr<TestCasesImpl> cases, bool autoMode);

  // The steps of RunCases, for a caller that has the calculations done elsewhere (side by
  // side) and does the rest itself, on one thread. Each step reports its own failure and
  // then returns false; after a case step has failed, that case is over.

  /// AutoMode, the status window, SelectedCases, BeforeAllTest and CheckCancel. False, with
  /// nothing raised, when there is no case to run.
  bool BeginRun(const std::shared_ptr<TestCasesImpl>& cases, bool autoMode);
  /// ActiveCase, BeforeOneTest, CheckCancel, and the working folder prepared for the calculation.
  bool PrepareCase(const std::shared_ptr<TestCaseImpl>& tc);
  /// DoTest: the host calculates the case.
  bool CalculateCase(const std::shared_ptr<TestCaseImpl>& tc);
  /// The outputs compared and the pass marker written or removed, the message of the case
  /// unless AutoMode, AfterOneTest and CheckCancel; then ActiveCase is none.
  bool FinishCase(const std::shared_ptr<TestCaseImpl>& tc);
  /// AfterAllTest, the closing message in AutoMode, and the congratulation and the version
  /// record when every mandatory case of the tester's whole collection has passed. True
  /// exactly when the build was recorded.
  bool EndRun(const std::shared_ptr<TestCasesImpl>& cases);

  /// The cases of the run in progress, or none.
  std::shared_ptr<TestCasesImpl> SelectedCases() const { return selected_cases_; }
  /// The case being run, or none. A case that failed stays here until the next one starts.
  std::shared_ptr<TestCaseImpl> ActiveCase() const { return active_case_; }
  /// True: no message after each case, one closing message after the run. Kept from the last run.
  bool AutoMode() const { return auto_mode_; }
  /// What the last step that failed reported, for a caller that reports it elsewhere too.
  const std::optional<Error>& LastFailure() const { return last_failure_; }

 private:
  void ShowStatusWindow();
  /// Runs one step; what it raises is shown (and kept as LastFailure) and the caller goes on.
  template <typename Fn>
  bool Step(Fn&& fn);

  TesterCore& tester_;
  std::shared_ptr<TestCasesImpl> selected_cases_;
  std::shared_ptr<TestCaseImpl> active_case_;
  bool auto_mode_ = false;
  std::optional<Error> last_failure_;
  /// Subscribed to the reporter once the status window has been shown.
  std::unique_ptr<StatusWindowFeed> status_feed_;
};

}  // namespace corvala4
