#include "results/test_case_status.h"

#include <sys/stat.h>

#include "foundation/detailed_fso.h"
#include "foundation/errors.h"
#include "foundation/globals.h"
#include "model/path_guard.h"
#include "model/test_case.h"
#include "results/output_files.h"

namespace corvala4 {

namespace {

constexpr const char* kMarkerText = "This Case Passed!";

}  // namespace

TestCaseImpl& TestCaseStatus::Owner() const {
  if (!owner_) Raise(err::ObjectNotSet);
  return *owner_;
}

std::string TestCaseStatus::PassMarkerFile() const { return Owner().PassMarkerFile(); }

bool TestCaseStatus::Passed() const {
  // Only a file of the case's own counts: a link in the marker's place is no pass.
  struct stat st {};
  return lstat(PassMarkerFile().c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void TestCaseStatus::SetPassed(bool value) {
  if (value)
    WriteMarker();
  else
    DeleteMarker();
}

void TestCaseStatus::RequireSafeFolder(const std::string& marker) const {
  if (!StaysInside(Owner().Folder())) RaiseUnsafePath(marker);
}

void TestCaseStatus::WriteMarker() {
  std::string marker = PassMarkerFile();
  if (Passed()) return;
  RequireSafeFolder(marker);
  // A link in the marker's place would have the marker written where it leads: it is
  // replaced by the marker itself (it holds nothing a marker would not).
  struct stat st {};
  if (lstat(marker.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) FSO().DeleteFile(marker, true);
  std::unique_ptr<TextStream> stream = FSO().OpenTextFile(marker, ForWriting, true, TristateFalse);
  stream->Write(kMarkerText);
  stream->Close();
}

void TestCaseStatus::DeleteMarker() {
  std::string marker = PassMarkerFile();
  if (!FSO().FileExists(marker)) return;
  RequireSafeFolder(marker);
  FSO().DeleteFile(marker, true);
}

void TestCaseStatus::UpdateStatus(bool record) {
  TestCaseImpl& tc = Owner();
  OutputFiles& files = *tc.OutputFiles();
  int32_t same = 0;
  for (const std::shared_ptr<OutputFile>& file : files) {
    file->Compare();
    if (file->IsSame()) ++same;
  }
  if (!record) return;
  SetPassed(same == files.Count() && tc.Success());
}

}  // namespace corvala4
