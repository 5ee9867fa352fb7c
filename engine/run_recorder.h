// What a quiet run did, case by case, taken from the tester's events while the host
// calculates each case itself: the JUnit report of LaunchNoUI.
#pragma once

#include <chrono>
#include <string>

#include "corvala4/tester_events.h"
#include "results/run_report.h"

namespace corvala4 {

class TesterCore;

class RunRecorder : public TesterEvents {
 public:
  /// Listens to the tester's events until destroyed.
  explicit RunRecorder(TesterCore& tester);
  ~RunRecorder() override;
  RunRecorder(const RunRecorder&) = delete;
  RunRecorder& operator=(const RunRecorder&) = delete;

  /// The report's file: CORVALA4_JUNIT when set, else the tester's JUnitReport; empty for none.
  static std::string ReportPath(const TesterCore& tester);

  void BeforeAllTest(TestCases& oc) override;
  void BeforeOneTest(TestCase& tc) override;
  void AfterOneTest(TestCase& tc) override;
  void AfterAllTest(TestCases& oc) override;

  /// The run as it stands, with the whole collection's mandatory state and whether
  /// the build was recorded since the recorder was made.
  RunResult Result();
  /// A failure that kept the run from starting (a definition file that cannot be read),
  /// reported as an error of the definition file.
  void Failed(const std::string& why);

 private:
  using Clock = std::chrono::steady_clock;
  /// A case that got no AfterOneTest: its preparation failed, or a cancel ended it.
  void CloseOpenCase();

  TesterCore& tester_;
  RunResult run_;
  TestCase* open_raw_ = nullptr;  // the case between BeforeOneTest and AfterOneTest
  Clock::time_point run_start_, case_start_;
  int64_t record_size_ = -1;
};

}  // namespace corvala4
