// Turns a tester's run events into numbered progress lines with elapsed times,
// published to whatever displays them (the status window, a host's console).
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <string>

#include "corvala4/progress_events.h"
#include "corvala4/tester_events.h"
#include "foundation/subscribers.h"

namespace corvala4 {

class Reporter : public TesterEvents {
 public:
  void Subscribe(ProgressEvents& handler);
  void Unsubscribe(ProgressEvents& handler);

  /// "%0分%1秒" of the whole seconds between two times; no hour part.
  static std::string ElapsedText(std::time_t from, std::time_t to);

  // Handlers of the tester's events; CheckCancel and DoTest are not handled.
  void BeforeAllTest(TestCases& oc) override;
  void BeforeOneTest(TestCase& tc) override;
  void AfterOneTest(TestCase& tc) override;
  void AfterAllTest(TestCases& oc) override;

  /// The clock of the elapsed times; tests put their own in its place.
  std::function<std::time_t()> Now = [] { return std::time(nullptr); };

 private:
  void RaiseAddMsg(const std::string& msg);
  void RaiseClear();

  // Wider than the original's 16 bits: nothing but these lines reads them, and a suite of
  // more than 32767 cases must count right.
  int32_t total_ = 0;
  int32_t index_ = 0;
  std::time_t run_start_ = 0;
  std::time_t case_start_ = 0;
  /// The number and start of each case still running, so that cases that run side by
  /// side each end with their own.
  struct Started {
    int32_t index;
    std::time_t start;
  };
  std::map<const TestCase*, Started> running_;
  Subscribers<ProgressEvents> subscribers_;
};

}  // namespace corvala4
