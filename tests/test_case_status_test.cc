#include "results/test_case_status.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/case_fixture.h"

namespace corvala4 {
namespace {

using testing::CaseFixture;
using testing::ErrorOf;
using testing::Exists;
using testing::ReadFile;
using testing::WriteFile;

class TestCaseStatusTest : public CaseFixture {
 protected:
  std::string Marker() const { return Std("Beam01/calc_beam_12_Passed.txt"); }
  void SetUp() override {
    CaseFixture::SetUp();
    WriteFile(Std("Beam01/beam.prj"), "p");
  }
};

TEST_F(TestCaseStatusTest, ACaseWithoutOutputsPassesExactlyWhenSuccessful) {
  auto tc = MakeCase("Beam01");
  tc->UpdateStatus(true);
  EXPECT_TRUE(tc->Passed());
  EXPECT_EQ("This Case Passed!", ReadFile(Marker()));  // no line end
  tc->SetSuccess(false);
  tc->UpdateStatus(true);
  EXPECT_FALSE(tc->Passed());
  EXPECT_FALSE(Exists(Marker()));
}

TEST_F(TestCaseStatusTest, EveryFileIsComparedAndAllMustBeSame) {
  auto tc = MakeCase("Beam01", {"a.out", "b.out", "c.out"});
  for (const char* name : {"a.out", "b.out", "c.out"}) {
    WriteFile(Std(std::string("Beam01/") + name), "same\r\n");
    WriteFile(Work(std::string("Beam01/") + name), "same\r\n");
  }
  WriteFile(Work("Beam01/a.out"), "diff\r\n");
  tc->UpdateStatus(true);
  EXPECT_FALSE(tc->Passed());
  auto files = tc->OutputFiles();
  EXPECT_EQ(ContentDiffers, files->Item(1)->State());
  EXPECT_EQ(Same, files->Item(2)->State());  // compared after the difference all the same
  EXPECT_EQ(Same, files->Item(3)->State());

  WriteFile(Work("Beam01/a.out"), "same\r\n");
  tc->SetSuccess(false);
  tc->UpdateStatus(true);
  EXPECT_FALSE(tc->Passed());  // the host's failure wins over matching outputs
  tc->SetSuccess(true);
  tc->UpdateStatus(true);
  EXPECT_TRUE(tc->Passed());

  // Without recording only the states change.
  WriteFile(Work("Beam01/c.out"), "sane\r\n");
  tc->UpdateStatus(false);
  EXPECT_EQ(ContentDiffers, files->Item(3)->State());
  EXPECT_TRUE(tc->Passed());
  tc->SetPassed(false);
  WriteFile(Work("Beam01/c.out"), "same\r\n");
  tc->UpdateStatus(false);
  EXPECT_FALSE(tc->Passed());
}

TEST_F(TestCaseStatusTest, AnExistingMarkerIsLeftUntouched) {
  auto tc = MakeCase("Beam01");
  WriteFile(Marker(), "edited by hand\r\n");
  struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
  ASSERT_EQ(0, utimensat(AT_FDCWD, Marker().c_str(), old, 0));
  EXPECT_TRUE(tc->Passed());  // only its existence counts
  tc->UpdateStatus(true);
  struct stat st;
  ASSERT_EQ(0, stat(Marker().c_str(), &st));
  EXPECT_EQ(1000000000, st.st_mtim.tv_sec);
  EXPECT_EQ("edited by hand\r\n", ReadFile(Marker()));
}

TEST_F(TestCaseStatusTest, ResetWithoutMarkerAndSharedMarkers) {
  auto tc = MakeCase("Beam01");
  EXPECT_NO_THROW(tc->SetPassed(false));
  // Same folder, same project base name, same function number: one marker.
  auto twin = MakeCase("Beam01", {}, "other/beam.dat", "12.4");
  twin->SetPassed(true);
  EXPECT_TRUE(tc->Passed());
  tc->SetPassed(false);
  EXPECT_FALSE(twin->Passed());

  // A project named with a placeholder keeps its own marker: "p%0" is not "pcalc".
  auto odd = MakeCase("Beam01", {}, "p%0.prj");
  auto plain = MakeCase("Beam01", {}, "pcalc.prj");
  EXPECT_EQ(Std("Beam01/calc_p%0_12_Passed.txt"), odd->PassMarkerFile());
  odd->SetPassed(true);
  EXPECT_FALSE(plain->Passed());
}

TEST_F(TestCaseStatusTest, FailuresReachTheCallerAndLeaveTheMarker) {
  auto tc = MakeCase("Beam01", {"a.out"});
  tc->SetPassed(true);
  tc->SetFuncNumText("70000");
  EXPECT_EQ(err::Overflow, ErrorOf([&] { tc->UpdateStatus(true); }));
  tc->SetFuncNumText("12");
  EXPECT_TRUE(tc->Passed());
  // No standard folder: the marker cannot be written, and the facade says why.
  auto lost = MakeCase("Lost");
  EXPECT_NE(0, ErrorOf([&] { lost->SetPassed(true); }));
  TestCaseStatus unbound;
  EXPECT_EQ(err::ObjectNotSet, ErrorOf([&] { unbound.Passed(); }));
}

}  // namespace
}  // namespace corvala4
