// `corvala4 approve`: produced outputs become the standard, only from a calculation
// that succeeded and only when every declared output is there.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "tests/program_support.h"

namespace corvala4::testing {
namespace {

class ApproveCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    h.AddCase("changed", "echo result > r.out\n", true, "old result\n");
    h.AddCase("silent", "true\n", false);
    h.AddCase("broken", "echo result > r.out\nexit 4\n", false);
    h.AddCase("never", ScriptHost::kOk, false);
    h.Write();
  }
  std::string Log() const { return ReadFile(h.folder + "/TestData/corvala4-approvals.txt"); }

  TempDir dir;
  ScriptHost h{dir};
};

TEST_F(ApproveCommand, ApprovedOutputsMakeTheNextRunPass) {
  EXPECT_EQ(RunProgram({"run", h.host, "--cases", "changed", "silent", "broken"}, dir).status, 1);
  EXPECT_FALSE(h.Marker("changed"));

  ProgramRun run = RunProgram({"approve", h.host, "changed", "--reason", "new load\tcombination"}, dir);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(h.Standard("changed") + "/r.out"), "result\n");
  std::string log = Log();
  ASSERT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
  std::vector<std::string> fields;
  for (size_t pos = 0, tab; pos < log.size(); pos = tab + 1) {
    tab = log.find_first_of("\t\n", pos);
    fields.push_back(log.substr(pos, tab - pos));
  }
  ASSERT_EQ(fields.size(), 6u) << log;
  EXPECT_EQ(fields[2], "changed [changed]");
  EXPECT_EQ(fields[3], "r.out");
  EXPECT_EQ(fields[4], "new load combination");
  EXPECT_EQ(fields[5].rfind(h.host + " (", 0), 0u) << fields[5];
  EXPECT_NE(fields[5].find("sha256 "), std::string::npos);
  EXPECT_EQ(std::filesystem::directory_iterator(h.Standard("changed"))->path().string().find(".corvala4-"),
            std::string::npos);

  run = RunProgram({"run", h.host, "--cases", "changed"}, dir);
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_TRUE(h.Marker("changed"));
  EXPECT_FALSE(h.Record().empty());

  // Approving what is already the standard changes nothing and logs nothing.
  EXPECT_EQ(RunProgram({"approve", h.host, "changed", "--reason", "again"}, dir).status, 0);
  EXPECT_EQ(Log(), log);
}

TEST_F(ApproveCommand, FailedCasesInBulkADryRunWritesNothingAndCiNeedsYes) {
  EXPECT_EQ(RunProgram({"run", h.host}, dir).status, 1);
  // Every file of the standard tree by its checksum, the approval log and markers included.
  auto tree = [&] {
    return Capture("cd " + h.folder + "/TestData && find . -type f | sort | xargs sha256sum").out;
  };
  std::string before = tree();

  // Without a pass marker and with a successful calculation: "changed", and "silent", which
  // wrote nothing and is refused; "broken" failed and "never" passed, so neither is taken.
  ProgramRun run = RunProgram({"approve", h.host, "--failed", "--dry-run"}, dir);
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.out,
            "changed: would approve r.out\n"
            "    r.out: 11 bytes become 7; first difference on line 1\n"
            "      - old result\n"
            "      + result\n"
            "a dry run: nothing was written\n");
  EXPECT_EQ(run.err, "corvala4: would not approve: silent: its outputs are missing in '" + h.Work("silent") +
                         "': r.out\ncorvala4: the cases are approved together or not at all: while one of "
                         "them is refused, none would be\n");
  EXPECT_EQ(tree(), before);

  // Together or not at all, also when --failed chose them.
  run = RunProgram({"approve", h.host, "--failed", "--reason", "new loads"}, dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err,
            "corvala4: not approved: changed: its outputs could be approved, but another case was "
            "refused\ncorvala4: not approved: silent: its outputs are missing in '" +
                h.Work("silent") +
                "': r.out\ncorvala4: the cases are approved together or not at all, and one of them "
                "was refused: none was\n");
  EXPECT_EQ(tree(), before);

  // Under CI nothing is approved without --yes; a dry run is, without a reason.
  run = RunProgram({"approve", h.host, "changed", "--reason", "r"}, dir, {}, {"CI=true"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(
      run.err,
      "corvala4: CI is set: approve changes standard files there only with --yes (--dry-run shows what it "
      "would change)\n");
  run = RunProgram({"approve", h.host, "changed", "--dry-run"}, dir, {}, {"CI=true"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("changed: would approve r.out"), std::string::npos) << run.out;
  EXPECT_EQ(tree(), before);

  run = RunProgram({"approve", h.host, "changed", "--reason", "new loads", "--yes"}, dir, {}, {"CI=true"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(h.Standard("changed") + "/r.out"), "result\n");
  std::string log = Log();
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 1) << log;
  EXPECT_NE(log.find("\tchanged [changed]\tr.out\tnew loads\t"), std::string::npos) << log;

  // A case whose outputs are its standard already would change nothing.
  run = RunProgram({"approve", h.host, "changed", "--dry-run"}, dir);
  EXPECT_EQ(run.out,
            "changed: its outputs are the same as its standard files already; nothing would change\n"
            "a dry run: nothing was written\n");
  EXPECT_EQ(RunProgram({"approve", h.host}, dir).status, 2);
}

TEST(ApproveDryRun, ShowsTheFirstLineTheComparisonDoesNotAccept) {
  TempDir dir;
  ScriptHost h(dir);
  std::string produced = "printf '计算日期: 2026年12月08日\\nvalue 2\\n' > r.out\n";
  h.AddCase("dated", produced, true, "计算日期: 2026年11月20日\nvalue 1\n");
  h.AddCase("noise", produced, true, "计算日期: 2026年11月20日\nvalue 2\n");
  h.Write();
  EXPECT_EQ(RunProgram({"run", h.host}, dir).status, 1);
  ProgramRun run = RunProgram({"approve", h.host, "dated", "noise", "--dry-run"}, dir);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out,
            "dated: would approve r.out\n"
            "    r.out: 40 bytes become 40; first difference on line 2\n"
            "      - value 1\n"
            "      + value 2\n"
            "noise: would approve r.out\n"
            "    r.out: 40 bytes become 40; only tolerated lines differ, the first on line 1\n"
            "      - 计算日期: 2026年11月20日\n"
            "      + 计算日期: 2026年12月08日\n"
            "a dry run: nothing was written\n");
}

TEST_F(ApproveCommand, RefusesWhatItCannotVouchForAndChangesNothing) {
  EXPECT_EQ(RunProgram({"run", h.host, "--cases", "silent", "broken"}, dir).status, 1);

  ProgramRun run = RunProgram({"approve", h.host, "silent", "--reason", "r"}, dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("silent: its outputs are missing in '" + h.Work("silent") + "': r.out"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(ReadFile(h.Standard("silent") + "/r.out"), "result\n");

  run = RunProgram({"approve", h.host, "broken", "--reason", "r"}, dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("did not succeed (exit status 4)"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(h.Standard("broken") + "/r.out"), "result\n");

  run = RunProgram({"approve", h.host, "never", "--reason", "r"}, dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("does not exist: run the case first"), std::string::npos) << run.err;

  // A working folder made by a linking host's run, without a calculation of this program.
  std::filesystem::create_directories(h.Work("never"));
  WriteFile(h.Work("never") + "/r.out", "other\n");
  run = RunProgram({"approve", h.host, "never", "--reason", "r"}, dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("no calculation by `corvala4 run` is recorded"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(h.Standard("never") + "/r.out"), "result\n");

  // Outputs written after the recorded calculation are not the outputs it vouches for.
  RunProgram({"run", h.host, "--cases", "never"}, dir);
  EXPECT_TRUE(h.Marker("never"));
  WriteFile(h.Work("never") + "/r.out", "edited by hand\n");
  // Later than the record, whatever the file system's clock tick.
  std::filesystem::last_write_time(
      h.Work("never") + "/r.out",
      std::filesystem::last_write_time(h.Work("never") + "/.corvala4-calculation") + std::chrono::seconds(1));
  run = RunProgram({"approve", h.host, "never", "--reason", "r"}, dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("changed after its last calculation"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(h.Standard("never") + "/r.out"), "result\n");
  EXPECT_EQ(Log(), "");

  EXPECT_EQ(RunProgram({"approve", h.host, "never"}, dir).status, 2);
  EXPECT_EQ(RunProgram({"approve", h.host, "never", "--reason", " "}, dir).status, 2);
  EXPECT_EQ(RunProgram({"approve", h.host, "nosuch", "--reason", "r"}, dir).status, 2);
}

TEST_F(ApproveCommand, NamedCasesAreApprovedTogetherOrNotAtAll) {
  EXPECT_EQ(RunProgram({"run", h.host, "--cases", "changed", "silent"}, dir).status, 1);
  // One refused case keeps the other from being approved.
  ProgramRun run = RunProgram({"approve", h.host, "changed", "silent", "--reason", "r"}, dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("silent: its outputs are missing"), std::string::npos) << run.err;
  EXPECT_NE(
      run.err.find("not approved: changed: its outputs could be approved, but another case was refused\n"),
      std::string::npos)
      << run.err;
  EXPECT_EQ(ReadFile(h.Standard("changed") + "/r.out"), "old result\n");
  EXPECT_EQ(Log(), "");

  // A log that cannot be written means nothing is approved.
  std::filesystem::create_directory(h.folder + "/TestData/corvala4-approvals.txt");
  run = RunProgram({"approve", h.host, "changed", "--reason", "r"}, dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("cannot append to the approval log"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(h.Standard("changed") + "/r.out"), "old result\n");
  std::filesystem::remove(h.folder + "/TestData/corvala4-approvals.txt");

  // Temporaries of an approval that was killed before its log line: removed by the next one
  // that takes the lock, never copied into a working folder.
  WriteFile(h.Standard("changed") + "/r.out.corvala4-new", "half");
  WriteFile(h.Standard("changed") + "/r.out.corvala4-Ab12Cd", "left by an older approval");
  auto field = [](const std::string& f) { return std::to_string(f.size()) + ":" + f + "\n"; };
  WriteFile(h.folder + "/TestData/.corvala4-journal",
            "corvala4 replacement 1\n" + field("1") + field(h.Standard("changed") + "/r.out.corvala4-new") +
                field(h.Standard("changed") + "/r.out") + field("prepare") + field("end"));
  run = RunProgram({"run", h.host, "--cases", "changed"}, dir);
  EXPECT_NE(run.err.find("undid an approval"), std::string::npos) << run.err;
  EXPECT_FALSE(Exists(h.Standard("changed") + "/r.out.corvala4-new"));
  EXPECT_FALSE(Exists(h.folder + "/TestData/.corvala4-journal"));
  EXPECT_FALSE(Exists(h.Work("changed") + "/r.out.corvala4-Ab12Cd"));
  EXPECT_EQ(ReadFile(h.Standard("changed") + "/r.out"), "old result\n");

  EXPECT_EQ(RunProgram({"approve", h.host, "changed", "--reason", "r"}, dir).status, 0);
  EXPECT_EQ(ReadFile(h.Standard("changed") + "/r.out"), "result\n");
  EXPECT_FALSE(Exists(h.Standard("changed") + "/r.out.corvala4-Ab12Cd"));
}

TEST(ApproveShared, OnlyTheRecordOfTheCaseItselfVouchesForItsOutputs) {
  TempDir dir;
  ScriptHost h(dir);
  // Two cases in one working folder: X's calculation fails, Y's succeeds afterwards.
  WriteFile(h.Standard("shared") + "/p.prj",
            "if [ \"$2\" = 1 ]; then echo bad > r.out; exit 4; fi\necho fine > r.out\n");
  WriteFile(h.Standard("shared") + "/r.out", "result\n");
  WriteFile(h.folder + "/CALC_TEST_DAT.TXT",
            "TestData;standard results\nX,shared,p.prj,n,1,r.out;\n"
            "Y,shared,p.prj,n,2,r.out;\n");
  EXPECT_EQ(RunProgram({"run", h.host, "-j", "2"}, dir).status, 0);
  ProgramRun run = RunProgram({"approve", h.host, "X", "--reason", "r"}, dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("was of the case 'Y', not of this one"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(h.Standard("shared") + "/r.out"), "result\n");
  EXPECT_EQ(RunProgram({"approve", h.host, "Y", "--reason", "r"}, dir).status, 0);
  EXPECT_EQ(ReadFile(h.Standard("shared") + "/r.out"), "fine\n");
}

TEST(ApproveLinks, NeverReadsOrWritesThroughALinkLeadingOut) {
  TempDir dir;
  ScriptHost h(dir);
  WriteFile(dir / "outside/secret", "not test data\n");
  WriteFile(dir / "outside/r.out", "kept outside\n");
  h.AddCase("linked", "ln -s '" + (dir / "outside/secret") + "' r.out\n");
  h.AddCase("inner", "ln -s p.prj r.out\n");
  h.Write();
  EXPECT_EQ(RunProgram({"run", h.host}, dir).status, 1);
  ProgramRun run = RunProgram({"approve", h.host, "linked", "--reason", "r"}, dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("the output '" + h.Work("linked") + "/r.out' is a link that leads out"),
            std::string::npos)
      << run.err;
  EXPECT_EQ(ReadFile(h.Standard("linked") + "/r.out"), "result\n");
  // Neither the differences nor the reports show what it leads to.
  run = RunProgram({"diff", h.host, "linked"}, dir);
  EXPECT_EQ(run.out.find("not test data"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("is a link that leads out of the test data: not shown"), std::string::npos)
      << run.out;
  RunProgram({"run", h.host, "--cases", "linked", "--junit", dir / "r.xml", "--html", dir / "r.html"}, dir);
  EXPECT_EQ(ReadFile(dir / "r.xml").find("not test data"), std::string::npos);
  EXPECT_EQ(ReadFile(dir / "r.html").find("not test data"), std::string::npos);
  // A link that stays inside is read like the file it names.
  EXPECT_EQ(RunProgram({"approve", h.host, "inner", "--reason", "r"}, dir).status, 0);
  EXPECT_EQ(ReadFile(h.Standard("inner") + "/r.out"), "ln -s p.prj r.out\n");

  // A standard folder that holds a link to an outside folder with the output below it.
  WriteFile(h.Standard("deep") + "/p.prj", "mkdir -p sub && echo new > sub/r.out\n");
  std::filesystem::create_directory_symlink(dir / "outside", h.Standard("deep") + "/sub");
  WriteFile(h.folder + "/CALC_TEST_DAT.TXT", "TestData;standard results\ndeep,deep,p.prj,n,1,sub\\r.out;\n");
  WriteFile(h.Work("deep") + "/sub/r.out", "new\n");
  WriteFile(h.Work("deep") + "/.corvala4-calculation", "caption=deep\nfunction=1\nreason=\nsuccess=1\n");
  run = RunProgram({"approve", h.host, "deep", "--reason", "r"}, dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("lies below a link that leads out"), std::string::npos) << run.err;
  EXPECT_EQ(ReadFile(dir / "outside/r.out"), "kept outside\n");
}

}  // namespace
}  // namespace corvala4::testing
