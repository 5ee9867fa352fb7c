// The pass record of one case: a marker file beside its standard results, present
// exactly when the case passed the last time it was evaluated with recording on.
#pragma once

#include <string>

namespace corvala4 {

class TestCaseImpl;

class TestCaseStatus {
 public:
  void Attach(TestCaseImpl& testCase) { owner_ = &testCase; }
  void Detach() { owner_ = nullptr; }

  std::string PassMarkerFile() const;
  /// The marker exists.
  bool Passed() const;
  /// Writes the marker (true) or deletes it (false).
  void SetPassed(bool value);
  /// Creates the marker; an existing one is left untouched.
  void WriteMarker();
  void DeleteMarker();
  /// Compares every output file; with record, writes the marker when all are the
  /// same and the host reported success, and deletes it otherwise.
  void UpdateStatus(bool record);

 private:
  TestCaseImpl& Owner() const;
  /// Markers are written only into standard folders that lie inside the standard directory.
  void RequireSafeFolder(const std::string& marker) const;

  TestCaseImpl* owner_ = nullptr;
};

}  // namespace corvala4
