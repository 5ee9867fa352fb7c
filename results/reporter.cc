#include "results/reporter.h"

#include "corvala4/test_case.h"
#include "corvala4/test_cases.h"
#include "foundation/errors.h"
#include "foundation/format_msg.h"

namespace corvala4 {

ProgressEvents::~ProgressEvents() = default;
void ProgressEvents::AddMsg(const std::string&) {}
void ProgressEvents::Clear() {}

void Reporter::Subscribe(ProgressEvents& handler) { subscribers_.Add(handler); }

void Reporter::Unsubscribe(ProgressEvents& handler) { subscribers_.Remove(handler); }

std::string Reporter::ElapsedText(std::time_t from, std::time_t to) {
  // Held wider than 16 bits, so a run of more than nine hours still reads right
  // (40000 seconds give 666分40秒); a clock set back reads as no time at all.
  long long seconds = static_cast<long long>(to) - static_cast<long long>(from);
  if (seconds < 0) seconds = 0;
  return FormatMsg("%0分%1秒", seconds / 60, seconds % 60);
}

void Reporter::BeforeAllTest(TestCases& oc) {
  total_ = oc.Count();
  index_ = 0;
  running_.clear();
  run_start_ = Now();
  RaiseClear();
  RaiseAddMsg(FormatMsg("[%0/%1]开始测试 ... .", index_, total_));
}

void Reporter::BeforeOneTest(TestCase& tc) {
  RaiseAddMsg("---");
  ++index_;
  RaiseAddMsg(FormatText("[%0/%1]开始测试算例'%2' ...", index_, total_, tc.Caption()));
  case_start_ = Now();
  running_[&tc] = {index_, case_start_};
}

void Reporter::AfterOneTest(TestCase& tc) {
  std::string word;
  if (!tc.Success())
    word = "失败";
  else
    word = tc.Passed() ? "通过" : "未通过";
  Started started{index_, case_start_};
  if (auto it = running_.find(&tc); it != running_.end()) {
    started = it->second;
    running_.erase(it);
  }
  RaiseAddMsg(
      FormatMsg("[%0/%1]测试<%2>,耗时%3.", started.index, total_, word, ElapsedText(started.start, Now())));
}

void Reporter::AfterAllTest(TestCases&) {
  RaiseAddMsg("---");
  RaiseAddMsg(FormatMsg("[%0/%1]测试结束,总共耗时%2.", index_, total_, ElapsedText(run_start_, Now())));
}

void Reporter::RaiseAddMsg(const std::string& msg) {
  subscribers_.Call([&](ProgressEvents& h) { h.AddMsg(msg); });
}

void Reporter::RaiseClear() {
  subscribers_.Call([](ProgressEvents& h) { h.Clear(); });
}

}  // namespace corvala4
