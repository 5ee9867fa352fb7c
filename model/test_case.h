// One case of the definition file: where its data lies, how its working folder
// is prepared, and whether it has passed.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "corvala4/test_case.h"
#include "foundation/windows_api.h"

namespace corvala4 {

class RunContext;
class OutputFiles;
class TestCaseStatus;

class CORVALA4_WINDOWS_API TestCaseImpl : public TestCase {
 public:
  TestCaseImpl();
  ~TestCaseImpl() override;

  // The host's view.
  bool Success() const override { return success_; }
  void SetSuccess(bool value) override { success_ = value; }
  std::string Caption() const override { return caption_; }
  std::string ProjectFile() const override;
  std::string ProjectFileName() const override { return project_file_name_; }
  int16_t FuncNum() const override;
  std::string TestCaseFolder() const override;
  void RemoveTestFolder() override;

  // Filled by the loaders.
  void SetCaption(std::string v) { caption_ = std::move(v); }
  const std::string& Folder() const { return folder_; }
  void SetFolder(std::string v) { folder_ = std::move(v); }
  void SetProjectFileName(std::string v) { project_file_name_ = std::move(v); }
  std::string FuncNumText() const { return func_num_text_; }
  void SetFuncNumText(std::string v) { func_num_text_ = std::move(v); }
  bool Mandatory() const { return mandatory_; }
  void SetMandatory(bool v) { mandatory_ = v; }

  /// The declared output files, in definition order; created empty on first use.
  std::shared_ptr<corvala4::OutputFiles> OutputFiles();

  /// The standard directory of the owner's context joined with Folder.
  std::string StandardFolder() const;
  bool StandardFolderExists() const;
  /// "%0_%1_%2_Passed.txt" (host, project, function code) in the standard folder.
  std::string PassMarkerFile() const;

  /// Whether the pass marker exists; writing false removes it, true writes it.
  bool Passed();
  void SetPassed(bool value);
  /// Compares every output file; with record, writes or removes the pass marker.
  void UpdateStatus(bool record);

  /// Caption, then "(必测)", "(通过)" and "(缺失)" as they apply.
  std::string DisplayCaption();
  /// Copies the standard folder over the working folder and deletes the outputs
  /// the calculation must produce anew.
  void PrepareTestFolder();
  /// The working folder first, the standard folder second, to the external compare program.
  void CompareWithTool();

  void Attach(RunContext& tester);
  /// Clears the output files and unbinds the pass record, so no reference cycle stays.
  void Detach();
  RunContext* Owner() const { return owner_; }
  /// The context of the tester the case belongs to; error 91 once it has been detached.
  RunContext& Context() const;

 private:
  TestCaseStatus& Status();

  bool success_ = true;
  std::shared_ptr<corvala4::OutputFiles> output_files_;
  std::unique_ptr<TestCaseStatus> status_;
  RunContext* owner_ = nullptr;
  std::string caption_;
  std::string folder_;
  std::string project_file_name_;
  std::string func_num_text_;
  bool mandatory_ = false;
};

/// The function code as the scripting runtime reads a number from text, rounded
/// half to even; error 6 when it does not fit 16 bits.
int16_t ReadFuncNum(std::string_view text);

}  // namespace corvala4
