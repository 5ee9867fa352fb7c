#include "results/run_report.h"

#include "corvala4/test_case.h"
#include "foundation/errors.h"
#include "foundation/run_context.h"
#include "model/path_guard.h"
#include "model/test_case.h"
#include "results/output_files.h"
#include "results/report_text.h"

namespace corvala4 {

std::string OutcomeText(CaseOutcome outcome) {
  switch (outcome) {
    case CaseOutcome::Passed: return "通过";
    case CaseOutcome::NotPassed: return "未通过";
    case CaseOutcome::CalculationFailed: return "失败";
    case CaseOutcome::FolderMissing: return "缺失";
    case CaseOutcome::Error: return "出错";
    case CaseOutcome::Stopped: return "已停止";
    case CaseOutcome::NotRun: return "未运行";
  }
  return {};
}

std::string LocalTimeText(std::time_t t, const char* format) {
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[64];
  std::strftime(buf, sizeof buf, format, &tm);
  return buf;
}

void DecideCompared(CaseResult& r, TestCase& tc) {
  bool passed = false;
  try {
    passed = tc.Passed();
  } catch (...) {
    // A marker that cannot be looked at is no pass.
  }
  r.outcome = passed ? CaseOutcome::Passed : CaseOutcome::NotPassed;
  if (!passed) r.reason = FailureSummary(r);
}

std::vector<FileResult> DescribeOutputs(TestCaseImpl& tc, int differences) {
  std::vector<FileResult> files;
  for (const std::shared_ptr<OutputFile>& file : *tc.OutputFiles()) {
    FileResult r;
    r.name = file->Name();
    r.keep = file->Keep();
    r.state = file->State();
    bool inside = true;
    r.detail = file->Status().Detail();
    if (r.state == LengthDiffers || r.state == ContentDiffers) {
      // What a link leading out of the test data holds is no one's business in a report.
      const RunContext& context = tc.Context();
      for (const std::string& path : {file->StandardPath(), file->OutputPath()})
        if (!LeadsInto(path, context.StandardFolder(), context.WorkFolder())) {
          r.problem = "'" + path + "' is a link that leads out of the test data: not shown";
          inside = false;
        }
    }
    if (inside && (r.state == LengthDiffers || r.state == ContentDiffers)) {
      try {
        LinePairs pairs(file->StandardPath(), file->OutputPath(), file->Rule());
        LinePair pair;
        while (static_cast<int>(r.differences.size()) < differences && pairs.Next(pair))
          if (pair.Differs()) r.differences.push_back(pair);
      } catch (...) {
        r.problem = ErrSummaryText(ToError(std::current_exception()));
      }
    }
    files.push_back(std::move(r));
  }
  return files;
}

CaseResult CaseOf(TestCaseImpl& tc) {
  CaseResult r;
  r.caption = tc.Caption();
  r.folder = tc.Folder();
  r.project = tc.ProjectFileName();
  r.func = tc.FuncNumText();
  r.mandatory = tc.Mandatory();
  return r;
}

}  // namespace corvala4
