#include "model/test_case.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "foundation/globals.h"
#include "foundation/platform/process.h"
#include "model/path_guard.h"
#include "settings/global_setting.h"
#include "tests/case_fixture.h"

namespace corvala4 {
namespace {

using testing::CaseFixture;
using testing::CaughtError;
using testing::ErrorOf;
using testing::Exists;
using testing::ReadFile;
using testing::WriteFile;

class TestCaseTest : public CaseFixture {};

TEST_F(TestCaseTest, PathsComeFromTheOpenContext) {
  auto tc = MakeCase("Beam01", {}, "beam.prj", "12");
  EXPECT_EQ(Std("Beam01"), tc->StandardFolder());
  EXPECT_EQ(Work("Beam01"), tc->TestCaseFolder());
  EXPECT_EQ(Work("Beam01/beam.prj"), tc->ProjectFile());
  EXPECT_EQ(Std("Beam01/calc_beam_12_Passed.txt"), tc->PassMarkerFile());
  EXPECT_TRUE(Exists(WorkDir()));  // reading the working folder creates the work directory

  // A host that keeps a case after the entry operation cannot use its paths.
  core().CloseContext();
  EXPECT_EQ(err::ObjectNotSet, ErrorOf([&] { tc->StandardFolder(); }));
  EXPECT_EQ(err::ObjectNotSet, ErrorOf([&] { tc->TestCaseFolder(); }));
  EXPECT_EQ(err::ObjectNotSet, ErrorOf([&] { tc->ProjectFile(); }));
  EXPECT_EQ(err::ObjectNotSet, ErrorOf([&] { tc->RemoveTestFolder(); }));
  EXPECT_EQ("Beam01", tc->Caption());
  core().OpenContext();
}

TEST_F(TestCaseTest, ACaseKeepsTheFoldersOfItsOwnTester) {
  auto tc = MakeCase("Beam01", {}, "beam.prj", "12");
  // Another tester opens its context while this one's is still open, as after an entry
  // operation of this tester that failed: the case still answers with its own tester's data.
  Tester other;
  other.SetHostEXE(Host("other"));
  TesterCore::Of(other).OpenContext();
  TesterCore::Of(other).SetStandardFolder(env.dir() / "Elsewhere");
  EXPECT_EQ(Std("Beam01"), tc->StandardFolder());
  EXPECT_EQ(Work("Beam01/beam.prj"), tc->ProjectFile());
  EXPECT_EQ(Std("Beam01/calc_beam_12_Passed.txt"), tc->PassMarkerFile());
  TesterCore::Of(other).CloseContext();
}

TEST(FuncNum, ReadsNumbersAsTheRuntimeDoes) {
  struct {
    const char* text;
    int value;
  } cases[] = {
      {"12", 12},         {" 7x", 7},           {"1 2", 12},   {"abc", 0},    {"", 0},
      {"2.5", 2},         {"3.5", 4},           {"-2.5", -2},  {"12\r", 12},  {"\t\n3", 3},
      {"+7", 7},          {"--7", 0},           {"- 7", -7},   {".5", 0},     {"1.5.5", 2},
      {"1E3", 1000},      {"1e+2", 100},        {"2D1", 20},   {"1E", 1},     {"1E-", 1},
      {"5E-1", 0},        {"1.5E1", 15},        {"&H1F", 31},  {"&h 1f", 31}, {"&HFFFF", -1},
      {"&H8000", -32768}, {"&O17", 15},         {"&HG", 0},    {"&", 0},      {"32767", 32767},
      {"-32768", -32768}, {"-32768.5", -32768}, {"1E-400", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(c.value, ReadFuncNum(c.text)) << "[" << c.text << "]";
  for (const char* text : {"32768", "-32769", "32767.5", "1E400", "&H10000", "&H123456789", "99999"})
    EXPECT_EQ(err::Overflow, ErrorOf([&] { ReadFuncNum(text); })) << text;
}

TEST_F(TestCaseTest, DisplayCaptionAddsItsMarks) {
  auto tc = MakeCase("Beam01");
  tc->SetCaption("梁");
  EXPECT_EQ("梁(缺失)", tc->DisplayCaption());
  tc->SetMandatory(true);
  WriteFile(Std("Beam01/beam.prj"), "p");
  tc->SetPassed(true);
  EXPECT_EQ("梁(必测)(通过)", tc->DisplayCaption());
}

TEST_F(TestCaseTest, MissingStandardFolderFailsWithBothLines) {
  auto tc = MakeCase("Beam01");
  Error e = CaughtError([&] { tc->PrepareTestFolder(); });
  EXPECT_EQ(CaseFolderMissingError, e.Number());
  EXPECT_EQ("", e.Source());
  EXPECT_EQ("算例文件夹'" + Std("Beam01") + "'不存在!\r\n请检查此文件夹与'" + core().DefinitionFile() +
                "'中的算例文件夹是否对应.",
            e.Description());
  EXPECT_FALSE(Exists(Work("Beam01")));

  // A standard directory that does not exist at all: the same message, and no work directory is made.
  core().SetStandardFolder(env.dir() / "nowhere/TestData");
  EXPECT_EQ(CaseFolderMissingError, ErrorOf([&] { tc->PrepareTestFolder(); }));
  EXPECT_FALSE(Exists(env.dir() / "nowhere"));
  core().SetStandardFolder(StandardDir());

  // Folders named with placeholders appear in the message as they are.
  core().CloseContext();
  tester.SetHostEXE(env.dir() / "h%0/calc");
  core().OpenContext();
  core().SetStandardFolder(env.dir() / "T%1");
  tc = MakeCase("Beam01");
  e = CaughtError([&] { tc->PrepareTestFolder(); });
  EXPECT_EQ("算例文件夹'" + env.dir() / "T%1/Beam01" + "'不存在!\r\n请检查此文件夹与'" + env.dir() / "h%0" +
                "/CALC_TEST_DAT.TXT'中的算例文件夹是否对应.",
            e.Description());
  tc->SetFolder("../x");
  e = CaughtError([&] { tc->PrepareTestFolder(); });
  EXPECT_EQ(UnsafePathError, e.Number());
  EXPECT_NE(std::string::npos, e.Description().find("请检查'" + env.dir() / "h%0/CALC_TEST_DAT.TXT'"));
}

TEST_F(TestCaseTest, PrepareCopiesOverAndDeletesOutputsToProduce) {
  WriteFile(Std("Beam01/beam.prj"), "project");
  WriteFile(Std("Beam01/beam.out"), "standard out");
  WriteFile(Std("Beam01/beam.dat"), "kept input");
  WriteFile(Std("Beam01/sub/deep.out"), "deep");
  WriteFile(Work("Beam01/beam.prj"), "stale project");
  WriteFile(Work("Beam01/extra.txt"), "extra");
  auto tc = MakeCase("Beam01", {"beam.out", "<beam.dat>", "sub/deep.out", "never.out"});
  tc->PrepareTestFolder();
  EXPECT_EQ("project", ReadFile(Work("Beam01/beam.prj")));
  EXPECT_EQ("extra", ReadFile(Work("Beam01/extra.txt")));
  EXPECT_EQ("kept input", ReadFile(Work("Beam01/beam.dat")));
  EXPECT_FALSE(Exists(Work("Beam01/beam.out")));
  EXPECT_FALSE(Exists(Work("Beam01/sub/deep.out")));
  EXPECT_TRUE(Exists(Std("Beam01/beam.out")));
}

TEST_F(TestCaseTest, RemoveTestFolderTakesEverythingButNeverFollowsLinks) {
  auto tc = MakeCase("Beam01");
  tc->RemoveTestFolder();  // missing: nothing happens
  WriteFile(env.dir() / "outside/keep.txt", "keep");
  WriteFile(Work("Beam01/a.txt"), "a");
  WriteFile(Work("Beam01/sub/b.txt"), "b");
  chmod(Work("Beam01/a.txt").c_str(), 0444);
  chmod(Work("Beam01/sub/b.txt").c_str(), 0444);
  chmod(Work("Beam01/sub").c_str(), 0555);
  ASSERT_EQ(0, symlink((env.dir() / "outside").c_str(), Work("Beam01/link").c_str()));
  tc->RemoveTestFolder();
  EXPECT_FALSE(Exists(Work("Beam01")));
  EXPECT_EQ("keep", ReadFile(env.dir() / "outside/keep.txt"));

  // A working folder that is itself a link: the link goes, its target stays.
  ASSERT_EQ(0, symlink((env.dir() / "outside").c_str(), Work("Beam01").c_str()));
  tc->RemoveTestFolder();
  EXPECT_FALSE(Exists(Work("Beam01")));
  EXPECT_EQ("keep", ReadFile(env.dir() / "outside/keep.txt"));
}

TEST_F(TestCaseTest, FoldersLeavingTheTestDataAreRefused) {
  // The standard directory's parent holds the host and more: a folder ".." must not
  // have it copied over or deleted.
  WriteFile(env.dir() / "precious.txt", "keep");
  WriteFile(Std("Beam01/beam.prj"), "p");
  WriteFile(env.dir() / "abs/beam.prj", "p");
  for (const std::string& folder :
       std::vector<std::string>{"..", "../TestData", "Beam01/../..", env.dir() / "abs", "../../x"}) {
    auto tc = MakeCase(folder, {"beam.prj"});
    for (auto op : {&TestCaseImpl::PrepareTestFolder, &TestCaseImpl::RemoveTestFolder}) {
      Error e = CaughtError([&] { ((*tc).*op)(); });
      EXPECT_EQ(UnsafePathError, e.Number()) << folder;
      EXPECT_NE(std::string::npos, e.Description().find(core().DefinitionFile())) << e.Description();
    }
    EXPECT_EQ(UnsafePathError, ErrorOf([&] { tc->SetPassed(true); })) << folder;
    EXPECT_NO_THROW(tc->DisplayCaption());  // still listed
  }
  EXPECT_EQ("keep", ReadFile(env.dir() / "precious.txt"));
  EXPECT_TRUE(Exists(env.dir() / "abs/beam.prj"));
  EXPECT_TRUE(Exists(Std("Beam01/beam.prj")));
  EXPECT_FALSE(Exists(env.dir() / "TestData_make/TestData"));

  // Climbing back down stays inside, and a working folder linked out of the work directory is refused.
  EXPECT_TRUE(StaysInside("x/../Beam01"));
  EXPECT_TRUE(StaysInside("./a//b/.."));
  EXPECT_FALSE(StaysInside("x/../../Beam01"));
  EXPECT_FALSE(StaysInside("/Beam01"));
  auto inside = MakeCase("./Beam01");
  inside->PrepareTestFolder();
  EXPECT_TRUE(Exists(Work("Beam01/beam.prj")));
  ASSERT_EQ(0, symlink((env.dir() / "abs").c_str(), Work("Linked").c_str()));
  WriteFile(Std("Linked/beam.prj"), "p");
  auto linked = MakeCase("Linked");
  EXPECT_EQ(UnsafePathError, ErrorOf([&] { linked->PrepareTestFolder(); }));
  EXPECT_EQ("p", ReadFile(env.dir() / "abs/beam.prj"));
}

TEST_F(TestCaseTest, HostsKeepSeparateMarkers) {
  WriteFile(Std("Beam01/beam.prj"), "p");
  auto tc = MakeCase("Beam01", {}, "in/beam.prj", "12.5");
  tc->SetPassed(true);
  EXPECT_TRUE(Exists(Std("Beam01/calc_beam_12_Passed.txt")));
  tester.SetHostEXE(Host("calc2.bin"));
  EXPECT_EQ(Std("Beam01/calc2_beam_12_Passed.txt"), tc->PassMarkerFile());
  EXPECT_FALSE(tc->Passed());
}

TEST_F(TestCaseTest, CompareWithToolGetsTheWorkingFolderFirst) {
  testing::ScopedCapturingLauncher launcher;
  WriteFile(env.dir() / "tool/compare", "");
  Setting().SetExternalToolEnabled(true);
  Setting().SetExternalToolPath(env.dir() / "tool/compare");
  auto tc = MakeCase("Beam01", {"beam.out"});
  tc->CompareWithTool();
  tc->OutputFiles()->Item(1)->CompareWithTool();
  ASSERT_EQ(2u, launcher->calls.size());
  ASSERT_EQ(3u, launcher->calls[0].size());
  EXPECT_EQ(Work("Beam01"), launcher->calls[0][1]);
  EXPECT_EQ(Std("Beam01"), launcher->calls[0][2]);
  EXPECT_EQ(Work("Beam01/beam.out"), launcher->calls[1][1]);
  EXPECT_EQ(Std("Beam01/beam.out"), launcher->calls[1][2]);
}

TEST_F(TestCaseTest, DetachBreaksTheReferences) {
  auto tc = MakeCase("Beam01", {"a.out"});
  auto file = tc->OutputFiles()->Item(1);
  EXPECT_EQ(&core(), tc->Owner());
  tc->Detach();
  EXPECT_EQ(nullptr, tc->Owner());
  EXPECT_EQ(0, tc->OutputFiles()->Count());
  EXPECT_EQ(nullptr, file->Owner());
  EXPECT_EQ(err::ObjectNotSet, ErrorOf([&] { tc->Passed(); }));
  tc->Attach(core());
  EXPECT_FALSE(tc->Passed());
}

}  // namespace
}  // namespace corvala4
