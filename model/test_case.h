// One case of the definition file: where its data lies, how its working folder
// is prepared, and whether it has passed.
#pragma once

#include <memory>
#include <string>

#include "corvala4/test_case.h"

namespace corvala4 {

class TesterCore;

class TestCaseImpl : public TestCase {
 public:
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
  std::string Folder() const { return folder_; }
  void SetFolder(std::string v) { folder_ = std::move(v); }
  void SetProjectFileName(std::string v) { project_file_name_ = std::move(v); }
  std::string FuncNumText() const { return func_num_text_; }
  void SetFuncNumText(std::string v) { func_num_text_ = std::move(v); }
  bool Mandatory() const { return mandatory_; }
  void SetMandatory(bool v) { mandatory_ = v; }

  /// CurrentTester's standard directory joined with Folder.
  std::string StandardFolder() const;
  bool StandardFolderExists() const;

  void Attach(TesterCore& tester);
  void Detach();
  TesterCore* Owner() const { return owner_; }

 private:
  bool success_ = true;
  TesterCore* owner_ = nullptr;
  std::string caption_;
  std::string folder_;
  std::string project_file_name_;
  std::string func_num_text_;
  bool mandatory_ = false;
};

}  // namespace corvala4
