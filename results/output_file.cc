#include "results/output_file.h"

#include <map>
#include <vector>

#include "foundation/detailed_fso.h"
#include "foundation/errors.h"
#include "foundation/globals.h"
#include "foundation/run_context.h"
#include "foundation/text.h"
#include "model/path_guard.h"
#include "model/test_case.h"
#include "results/compare_rules.h"
#include "results/line_compare.h"
#include "results/output_checker.h"
#include "results/rule_compare.h"
#include "settings/global_setting.h"

namespace corvala4 {

std::string OutputFileStateText(OutputFileState state) {
  switch (state) {
    case OutputMissing:
      return "未找到输出文件";
    case StandardMissing:
      return "未找到标准文件";
    case LengthDiffers:
      return "长度不同";
    case ContentDiffers:
      return "内容不同";
    case Same:
      return "相同";
    case NotCompared:
      break;
  }
  return "未知";
}

std::string ExplainedStateText(OutputFileState state, const std::string& detail) {
  return OutputFileStateText(state) + (detail.empty() ? "" : " (" + detail + ")");
}

// OutputFileStatus

const OutputFile& OutputFileStatus::Owner() const {
  if (!owner_) Raise(err::ObjectNotSet);
  return *owner_;
}

std::string OutputFileStatus::StandardPath() const { return Owner().StandardPath(); }

std::string OutputFileStatus::OutputPath() const { return Owner().OutputPath(); }

bool OutputFileStatus::SameLength() const {
  return FSO().GetFile(StandardPath()).Size == FSO().GetFile(OutputPath()).Size;
}

bool OutputFileStatus::SameContent() const { return SameLines(StandardPath(), OutputPath()); }

void OutputFileStatus::Refresh() {
  // Decide first, store last: a failure leaves the previous state.
  const FileRule* rule = Owner().Rule();
  OutputFileState state;
  std::string detail;
  if (!FSO().FileExists(StandardPath()))
    state = StandardMissing;
  else if (!FSO().FileExists(OutputPath()))
    state = OutputMissing;
  else if (!InsideTestData()) {
    // What a link leading elsewhere holds vouches for nothing: it never passes.
    state = ContentDiffers;
    detail = "输出文件或标准文件是指向测试数据之外的链接, 未比较";
  } else if (rule)
    state = RefreshUnderRule(*rule, detail);
  else if (!SameLength())
    state = LengthDiffers;
  else if (!SameContent())
    state = ContentDiffers;
  else
    state = Same;
  state_ = state;
  detail_ = std::move(detail);
}

bool OutputFileStatus::InsideTestData() const {
  const TestCaseImpl* tc = Owner().Owner();
  if (!tc || !tc->Owner()) return true;
  const RunContext& context = tc->Context();
  std::string work = context.StandardFolder() + "_make";
  return LeadsInto(StandardPath(), context.StandardFolder(), work) &&
         LeadsInto(OutputPath(), context.StandardFolder(), work);
}

OutputFileState OutputFileStatus::RefreshUnderRule(const FileRule& rule, std::string& detail) const {
  RuleOutcome outcome = CompareUnderRule(rule, StandardPath(), OutputPath());
  detail = ExplainOutcome(outcome, rule);
  if (outcome.state == Same || rule.check.empty()) return outcome.state;
  // The checker decides what the lines could not.
  const OutputFile& file = Owner();
  const TestCaseImpl& tc = *file.Owner();
  auto stem = [](const std::string& name) {
    size_t slash = name.rfind('/');
    size_t dot = name.rfind('.');
    return dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == 0 ||
                   (slash != std::string::npos && dot == slash + 1)
               ? name
               : name.substr(0, dot);
  };
  const std::string filled[] = {
      StandardPath(), OutputPath(),      tc.StandardFolder(),  tc.TestCaseFolder(),
      file.Name(),    stem(file.Name()), tc.ProjectFileName(), stem(tc.ProjectFileName())};
  static_assert(std::size(filled) == std::size(kCheckerPlaceholders));
  std::map<std::string, std::string> values;
  for (size_t k = 0; k < std::size(filled); ++k) values[kCheckerPlaceholders[k]] = filled[k];
  CheckerResult checked = RunChecker(FillPlaceholders(rule.check, values), tc.TestCaseFolder());
  // Its last few lines on one line, for the state column and the reports.
  std::vector<std::string> lines;
  size_t from = 0;
  const std::string& text = checked.last_lines;
  while (from < text.size()) {
    size_t end = text.find('\n', from);
    std::string line = Trim(text.substr(from, end == std::string::npos ? std::string::npos : end - from));
    if (!line.empty()) lines.push_back(line);
    if (end == std::string::npos) break;
    from = end + 1;
  }
  std::string said;
  for (size_t i = lines.size() > 5 ? lines.size() - 5 : 0; i < lines.size(); ++i)
    said += (said.empty() ? "" : " | ") + lines[i];
  detail = (checked.same ? "检查程序判定相同" : "检查程序判定不同") + std::string(" (") + rule.check.front() +
           ": " + checked.verdict + ")" + (said.empty() ? "" : ": " + said) +
           (detail.empty() ? "" : "; " + detail);
  return checked.same ? Same : ContentDiffers;
}

std::string OutputFileStatus::ExplainedText() const { return ExplainedStateText(state_, detail_); }

// OutputFile

OutputFile::OutputFile() = default;
OutputFile::~OutputFile() = default;

OutputFileStatus& OutputFile::Status() {
  if (!status_) {
    status_ = std::make_unique<OutputFileStatus>();
    status_->Attach(*this);
  }
  return *status_;
}

void OutputFile::SetOwner(TestCaseImpl& testCase) {
  owner_ = &testCase;
  Status().Attach(*this);
}

void OutputFile::InitFromText(TestCaseImpl& testCase, const std::string& item) {
  SetOwner(testCase);
  std::string text = Trim(item);
  keep_ = text.size() >= 2 && text.front() == '<' && text.back() == '>';
  name_ = keep_ ? text.substr(1, text.size() - 2) : text;
}

void OutputFile::Init(TestCaseImpl& testCase, const std::string& name, bool kept) {
  SetOwner(testCase);
  name_ = Trim(name);
  keep_ = kept;
}

TestCaseImpl& OutputFile::RequireOwner() const {
  if (!owner_) Raise(err::ObjectNotSet);
  return *owner_;
}

std::string OutputFile::StandardPath() const {
  return FSO().BuildPath(RequireOwner().StandardFolder(), name_);
}

std::string OutputFile::OutputPath() const { return FSO().BuildPath(RequireOwner().TestCaseFolder(), name_); }

void OutputFile::DeleteOutput() {
  std::string path = OutputPath();
  // The name is joined textually, so an absolute one would land inside the case
  // folder: it is refused all the same, since it was meant to lie elsewhere.
  if (!name_.empty() && name_.front() == '/') RaiseUnsafePath(path);
  TestCaseImpl& tc = RequireOwner();
  const std::string& folder = tc.Folder();
  RequireInside(tc.Context().WorkFolder(), folder.empty() ? name_ : folder + "/" + name_, path, false);
  if (FSO().FileExists(path)) FSO().DeleteFile(path, true);
}

const FileRule* OutputFile::Rule() const {
  if (!owner_ || !owner_->Owner()) return nullptr;
  const CompareRules* rules = owner_->Context().ComparisonRules();
  return rules ? rules->Find(owner_->Folder(), name_) : nullptr;
}

void OutputFile::CompareWithTool() { Setting().RunCompareTool(OutputPath(), StandardPath()); }

void OutputFile::Detach() {
  if (status_) status_->Detach();
  owner_ = nullptr;
}

}  // namespace corvala4
