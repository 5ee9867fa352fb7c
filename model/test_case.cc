#include "model/test_case.h"

#include <cstdint>

#include "foundation/conversions.h"
#include "foundation/detailed_fso.h"
#include "foundation/errors.h"
#include "foundation/format_msg.h"
#include "foundation/globals.h"
#include "foundation/run_context.h"
#include "model/path_guard.h"
#include "results/output_files.h"
#include "results/test_case_status.h"
#include "settings/global_setting.h"

namespace corvala4 {

TestCase::~TestCase() = default;

int16_t ReadFuncNum(std::string_view text) {
  std::optional<int64_t> code = RoundToInteger(Val(text), INT16_MIN, INT16_MAX);
  if (!code) Raise(err::Overflow);
  return static_cast<int16_t>(*code);
}

TestCaseImpl::TestCaseImpl() = default;
TestCaseImpl::~TestCaseImpl() = default;

int16_t TestCaseImpl::FuncNum() const { return ReadFuncNum(func_num_text_); }

std::shared_ptr<OutputFiles> TestCaseImpl::OutputFiles() {
  if (!output_files_) output_files_ = std::make_shared<corvala4::OutputFiles>();
  return output_files_;
}

TestCaseStatus& TestCaseImpl::Status() {
  if (!status_) {
    status_ = std::make_unique<TestCaseStatus>();
    status_->Attach(*this);
  }
  return *status_;
}

RunContext& TestCaseImpl::Context() const {
  if (!owner_) Raise(err::ObjectNotSet);
  return *owner_;
}

std::string TestCaseImpl::StandardFolder() const {
  return FSO().BuildPath(Context().StandardFolder(), folder_);
}

bool TestCaseImpl::StandardFolderExists() const { return FSO().FolderExists(StandardFolder()); }

std::string TestCaseImpl::TestCaseFolder() const { return FSO().BuildPath(Context().WorkFolder(), folder_); }

std::string TestCaseImpl::ProjectFile() const {
  return FSO().BuildPath(TestCaseFolder(), project_file_name_);
}

std::string TestCaseImpl::PassMarkerFile() const {
  std::string name = FormatText("%0_%1_%2_Passed.txt", FSO().GetBaseName(Context().HostEXE()),
                               FSO().GetBaseName(project_file_name_), FuncNum());
  return FSO().BuildPath(StandardFolder(), name);
}

bool TestCaseImpl::Passed() { return Status().Passed(); }

void TestCaseImpl::SetPassed(bool value) { Status().SetPassed(value); }

void TestCaseImpl::UpdateStatus(bool record) { Status().UpdateStatus(record); }

std::string TestCaseImpl::DisplayCaption() {
  std::string text = caption_;
  if (mandatory_) text += "(必测)";
  if (Passed()) text += "(通过)";
  if (!StandardFolderExists()) text += "(缺失)";
  return text;
}

void TestCaseImpl::PrepareTestFolder() {
  std::string standard = StandardFolder();
  // Copying writes into the working folder: it must not lead out of the working directory.
  if (!StaysInside(folder_)) RaiseUnsafePath(FSO().BuildPath(Context().StandardFolder() + "_make", folder_));
  // A missing case folder is told as such before anything is created: making the work
  // directory first would report a standard directory that does not exist as its own failure.
  if (!FSO().FolderExists(standard)) {
    throw Error(CaseFolderMissingError, "",
                FormatText("算例文件夹'%0'不存在!\r\n请检查此文件夹与'%1'中的算例文件夹是否对应.", standard,
                          Context().DefinitionFile()));
  }
  std::string work = Context().WorkFolder();
  std::string target = FSO().BuildPath(work, folder_);
  RequireInside(work, folder_, target, true);
  FSO().CopyFolder(standard, target, true);
  for (const std::shared_ptr<OutputFile>& file : *OutputFiles())
    if (!file->Keep()) file->DeleteOutput();
}

void TestCaseImpl::RemoveTestFolder() {
  std::string work = Context().WorkFolder();
  std::string path = FSO().BuildPath(work, folder_);
  RequireInside(work, folder_, path, false);
  // The facade's forced delete goes depth first, takes read-only entries too, and
  // removes a link (the folder itself included) as a link, never what it points to.
  if (FSO().FolderExists(path)) FSO().DeleteFolder(path, true);
}

void TestCaseImpl::CompareWithTool() { Setting().RunCompareTool(TestCaseFolder(), StandardFolder()); }

void TestCaseImpl::Attach(RunContext& tester) {
  owner_ = &tester;
  Status();
  status_->Attach(*this);
}

void TestCaseImpl::Detach() {
  if (output_files_) output_files_->Clear();
  if (status_) status_->Detach();
  owner_ = nullptr;
}

}  // namespace corvala4
