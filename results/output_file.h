// One declared output file of a case, and how it compares with its standard file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "foundation/windows_api.h"

namespace corvala4 {

class TestCaseImpl;
class OutputFile;
struct FileRule;

/// The six comparison states.
enum OutputFileState : int32_t {
  NotCompared = 0,
  OutputMissing = 1,
  StandardMissing = 2,
  LengthDiffers = 3,
  ContentDiffers = 4,
  Same = 5,
};

/// The display text of a state ("未知" for a value outside the six).
CORVALA4_WINDOWS_API std::string OutputFileStateText(OutputFileState state);
/// The display text with how a rule decided it, when it says: "相同 (数值容差内, ...)".
std::string ExplainedStateText(OutputFileState state, const std::string& detail);

/// The comparison state of one output file, and the comparison itself.
class OutputFileStatus {
 public:
  void Attach(OutputFile& outputFile) { owner_ = &outputFile; }
  void Detach() { owner_ = nullptr; }
  /// Decides the state anew; on failure the state keeps its previous value.
  void Refresh();
  OutputFileState State() const { return state_; }
  bool IsSame() const { return state_ == Same; }
  std::string Text() const { return OutputFileStateText(state_); }
  /// How a rule decided the state (largest difference, first pair outside tolerance, the
  /// checker's verdict); empty for a file that no rule governs.
  const std::string& Detail() const { return detail_; }
  /// The text and, when there is one, the detail in brackets: "相同 (数值容差内, ...)".
  CORVALA4_WINDOWS_API std::string ExplainedText() const;

  std::string StandardPath() const;
  std::string OutputPath() const;
  bool SameLength() const;
  /// Only for two existing files of the same size.
  bool SameContent() const;

 private:
  const OutputFile& Owner() const;
  /// Both files lie in the test data, whatever links lead to them.
  bool InsideTestData() const;
  /// The state under a rule, and its detail.
  OutputFileState RefreshUnderRule(const FileRule& rule, std::string& detail) const;

  OutputFile* owner_ = nullptr;
  OutputFileState state_ = NotCompared;
  std::string detail_;
};

class CORVALA4_WINDOWS_API OutputFile {
 public:
  OutputFile();
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  /// From an item of a TXT output list: "<name>" marks a file the calculation keeps.
  void InitFromText(TestCaseImpl& testCase, const std::string& item);
  /// From an XML output element: the name is trimmed, brackets stay.
  void Init(TestCaseImpl& testCase, const std::string& name, bool kept);

  std::string Name() const { return name_; }
  bool Keep() const { return keep_; }
  TestCaseImpl* Owner() const { return owner_; }

  /// The case's standard folder joined with Name.
  std::string StandardPath() const;
  /// The case's working folder joined with Name.
  std::string OutputPath() const;

  void Compare() { Status().Refresh(); }
  bool IsSame() const { return status_ && status_->IsSame(); }
  OutputFileState State() const { return status_ ? status_->State() : NotCompared; }
  std::string StatusText() const { return OutputFileStateText(State()); }
  /// The state text with how a rule decided it.
  std::string ExplainedStatusText() const { return status_ ? status_->ExplainedText() : StatusText(); }
  /// The comparison rule that governs this file, or none.
  const FileRule* Rule() const;
  OutputFileStatus& Status();

  /// Deletes the produced file when it is there; refuses a name that leaves the test data.
  void DeleteOutput();
  /// Hands the produced file and then the standard file to the external compare program.
  void CompareWithTool();
  /// Drops the status's reference to this file, then this file's reference to its case.
  void Detach();

 private:
  TestCaseImpl& RequireOwner() const;
  void SetOwner(TestCaseImpl& testCase);

  TestCaseImpl* owner_ = nullptr;
  std::string name_;
  bool keep_ = false;
  std::unique_ptr<OutputFileStatus> status_;
};

}  // namespace corvala4
