// `corvala4 list`, `status` and `diff` on a shell-script host.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/program_support.h"

namespace corvala4::testing {
namespace {

TEST(Commands, ListShowsEveryCaseAsTheTestWindowDoes) {
  TempDir dir;
  ScriptHost h(dir);
  h.AddCase("A", ScriptHost::kOk);
  h.AddCase("B", ScriptHost::kOk, false);
  h.AddCase("C \"quoted\"", ScriptHost::kOk, false);
  h.Write();
  WriteFile(h.Standard("A") + "/calc_p_1_Passed.txt", "x");
  std::filesystem::remove_all(h.Standard("B"));

  ProgramRun run = RunProgram({"list", h.host}, dir);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("\nA(必测)(通过)\n    folder A, project p.prj, function 1\n    outputs: r.out\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("\nB(缺失)\n"), std::string::npos) << run.out;

  run = RunProgram({"list", h.host, "--json"}, dir);
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(
      run.out.find(
          R"x({"caption": "A", "display_caption": "A(必测)(通过)", "folder": "A", "project": "p.prj", )x"
          R"x("function": "1", "mandatory": true, "passed": true, "missing": false, )x"
          R"x("outputs": [{"name": "r.out", "keep": false, "rule": null}]})x"),
      std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find(R"("caption": "C \"quoted\"")"), std::string::npos) << run.out;
}

TEST(Commands, StatusTellsWhetherThisBuildHasPassed) {
  TempDir dir;
  ScriptHost h(dir);
  h.AddCase("A", ScriptHost::kOk);
  h.Write();
  ProgramRun run = RunProgram({"status", h.host}, dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("passed:   no"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("host:     " + h.host + "\n"), std::string::npos) << run.out;
  // The digest of "#!/bin/sh ..." as sha256sum gives it.
  std::string sum = RunProgram({"status", h.host}, dir).out;
  size_t at = sum.find("sha256:   ");
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(sum.find('\n', at) - at - 10, 64u);

  EXPECT_EQ(RunProgram({"run", h.host}, dir).status, 0);
  run = RunProgram({"status", h.host}, dir);
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.out.find("passed:   yes"), std::string::npos) << run.out;
  EXPECT_EQ(h.Record().size(), ReadFile(h.folder + "/calc_Test_Ver.txt").size());  // status records nothing
}

TEST(Commands, DiffShowsEachOutputWithToleratedDateLinesMarked) {
  TempDir dir;
  ScriptHost h(dir);
  std::string standard = "title\n计算日期: 2026年1月2日\n";
  for (int i = 1; i <= 30; ++i) standard += "value " + std::to_string(i) + "\n";
  std::string produced =
      "printf 'title\\n计算日期: 2026年9月9日\\n' > r.out\n"
      "i=1; while [ $i -le 30 ]; do if [ $i = 5 ] || [ $i -ge 20 ]; then echo \"value x$i\"; "
      "else echo \"value $i\"; fi; i=$((i+1)); done >> r.out\n";
  h.AddCase("A", produced, true, standard);
  h.AddCase("B", ScriptHost::kOk);
  h.Write();
  EXPECT_EQ(RunProgram({"run", h.host}, dir).status, 1);

  ProgramRun run = RunProgram({"diff", h.host, "A", "--max-lines", "3"}, dir);
  EXPECT_EQ(run.status, 1);
  std::string expected =
      "== r.out: 长度不同\n"
      "--- " +
      h.Standard("A") +
      "/r.out\n"
      "+++ " +
      h.Work("A") +
      "/r.out\n"
      "@@ -1,10 +1,10 @@\n"
      " title\n"
      "-计算日期: 2026年1月2日\n"
      "+计算日期: 2026年9月9日\n"
      "\\ tolerated: a date line (年…月…日) matches any line\n"
      " value 1\n value 2\n value 3\n value 4\n"
      "-value 5\n+value x5\n"
      " value 6\n value 7\n value 8\n"
      "@@ -19,4 +19,4 @@\n"
      " value 17\n value 18\n value 19\n"
      "-value 20\n+value x20\n"
      "... 10 more changed lines not shown (12 differ, 1 tolerated in all); --max-lines shows more\n";
  EXPECT_EQ(run.out, expected);

  run = RunProgram({"diff", h.host, "B"}, dir);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "== r.out: 相同\n");
  EXPECT_EQ(RunProgram({"diff", h.host, "A", "other.out"}, dir).status, 2);
  EXPECT_EQ(RunProgram({"diff", h.host, "Z"}, dir).status, 2);
}

}  // namespace
}  // namespace corvala4::testing
