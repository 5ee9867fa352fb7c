#include "engine/run_recorder.h"

#include <sys/stat.h>

#include <cstdlib>

#include "engine/tester_core.h"
#include "foundation/errors.h"
#include "model/test_case.h"
#include "model/test_cases.h"
#include "results/junit_report.h"
#include "results/tester_status.h"

namespace corvala4 {

namespace {

int64_t FileSize(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

double Since(std::chrono::steady_clock::time_point t) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

TestCaseImpl* Impl(TestCase& tc) { return dynamic_cast<TestCaseImpl*>(&tc); }

}  // namespace

RunRecorder::RunRecorder(TesterCore& tester) : tester_(tester) {
  run_start_ = Clock::now();
  run_.started = std::time(nullptr);
  try {
    record_size_ = FileSize(tester_.VersionRecord().RecordPath());
  } catch (...) {
  }
  tester_.Subscribe(*this);
}

RunRecorder::~RunRecorder() { tester_.Unsubscribe(*this); }

std::string RunRecorder::ReportPath(const TesterCore& tester) {
  const char* env = std::getenv("CORVALA4_JUNIT");
  return env && *env ? env : tester.JUnitReport();
}

void RunRecorder::BeforeAllTest(TestCases&) {
  run_.cases.clear();
  open_raw_ = nullptr;
}

void RunRecorder::CloseOpenCase() {
  if (!open_raw_) return;
  CaseResult& r = run_.cases.back();
  r.seconds = Since(case_start_);
  const std::optional<Error>& failure = tester_.Driver().LastFailure();
  r.outcome = failure && failure->Number() == CaseFolderMissingError ? CaseOutcome::FolderMissing
                                                                     : CaseOutcome::Error;
  r.reason = failure && failure->Number() != CancelError ? ErrSummaryText(*failure) : "测试被取消";
  open_raw_ = nullptr;
}

void RunRecorder::BeforeOneTest(TestCase& tc) {
  CloseOpenCase();
  TestCaseImpl* impl = Impl(tc);
  run_.cases.push_back(impl ? CaseOf(*impl) : CaseResult{});
  if (!impl) run_.cases.back().caption = tc.Caption();
  open_raw_ = &tc;
  case_start_ = Clock::now();
}

void RunRecorder::AfterOneTest(TestCase& tc) {
  if (open_raw_ != &tc) return;
  CaseResult& r = run_.cases.back();
  r.seconds = Since(case_start_);
  open_raw_ = nullptr;
  if (TestCaseImpl* impl = Impl(tc)) {
    try {
      r.files = DescribeOutputs(*impl);
    } catch (...) {
    }
  }
  if (!tc.Success()) {
    r.outcome = CaseOutcome::CalculationFailed;
    r.reason = "主程序报告计算失败";
    return;
  }
  DecideCompared(r, tc);
}

void RunRecorder::AfterAllTest(TestCases&) { CloseOpenCase(); }

void RunRecorder::Failed(const std::string& why) {
  CaseResult r;
  r.caption = tester_.DefinitionFile();
  r.outcome = CaseOutcome::Error;
  r.reason = why;
  run_.cases.push_back(std::move(r));
}

RunResult RunRecorder::Result() {
  CloseOpenCase();
  RunResult run = run_;
  run.seconds = Since(run_start_);
  run.host = tester_.HostEXE();
  run.definition_file = tester_.DefinitionFile();
  run.build.path = run.host;
  struct stat st {};
  if (stat(run.host.c_str(), &st) == 0) {
    run.build.size = st.st_size;
    run.build.modified = st.st_mtime;
  }
  try {
    run.mandatory_in_collection = tester_.TestCases()->MandatoryCount();
    run.all_mandatory_passed = tester_.TestCases()->AllMandatoryPassed();
    int64_t size = FileSize(tester_.VersionRecord().RecordPath());
    run.recorded = size > 0 && size > record_size_;
  } catch (...) {
  }
  return run;
}

}  // namespace corvala4
