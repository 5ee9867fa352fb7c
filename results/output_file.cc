#include "results/output_file.h"

#include "foundation/detailed_fso.h"
#include "foundation/errors.h"
#include "foundation/globals.h"
#include "foundation/run_context.h"
#include "foundation/text.h"
#include "model/path_guard.h"
#include "model/test_case.h"
#include "results/line_compare.h"
#include "settings/global_setting.h"

namespace corvala4 {

namespace {

}  // namespace

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
  OutputFileState state;
  if (!FSO().FileExists(StandardPath()))
    state = StandardMissing;
  else if (!FSO().FileExists(OutputPath()))
    state = OutputMissing;
  else if (!SameLength())
    state = LengthDiffers;
  else if (!SameContent())
    state = ContentDiffers;
  else
    state = Same;
  state_ = state;
}

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

void OutputFile::CompareWithTool() { Setting().RunCompareTool(OutputPath(), StandardPath()); }

void OutputFile::Detach() {
  if (status_) status_->Detach();
  owner_ = nullptr;
}

}  // namespace corvala4
