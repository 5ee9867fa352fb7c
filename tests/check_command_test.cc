// `corvala4 check`: every problem of a definition file at once, each with its line.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/program_support.h"

namespace corvala4::testing {
namespace {

std::vector<std::string> LinesOf(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t pos = 0, end; (end = text.find('\n', pos)) != std::string::npos; pos = end + 1)
    lines.push_back(text.substr(pos, end - pos));
  return lines;
}

TEST(CheckCommand, EveryKindOfProblemOfTheXmlFormAtOnce) {
  TempDir dir;
  ScriptHost h(dir);
  h.AddCase("ok", ScriptHost::kOk);
  h.AddCase("noproject", ScriptHost::kOk);
  std::filesystem::remove(h.Standard("noproject") + "/p.prj");
  h.AddCase("nostandard", ScriptHost::kOk);
  std::filesystem::remove(h.Standard("nostandard") + "/r.out");
  h.Write();
  std::filesystem::create_directories(dir / "elsewhere");
  std::filesystem::create_symlink(dir / "elsewhere", h.Standard("ok") + "/../link");
  std::string file = h.folder + "/CALC_TEST_DAT.XML";
  WriteFile(
      file,
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"                                              // 1
      "<自测试配置>\n"                                                                            // 2
      "  <自测试标准目录>TestData</自测试标准目录>\n"                                             // 3
      "  <自测试算例 名称=\"ok\" 目录=\"ok\" 工程文件=\"p.prj\" 必测=\"y\" 功能代号=\"1\">\n"     // 4
      "    <输出文件 保留=\"n\">r.out</输出文件>\n"                                               // 5
      "    <输出文件 保留=\"Y\">r.out</输出文件>\n"                                               // 6
      "  </自测试算例>\n"                                                                         // 7
      "  <自测试算例 名称=\"ok\" 目录=\"gone\" 工程文件=\"p.prj\" 必测=\"Y\" 功能代号=\"1\"/>\n"  // 8
      "  <自测试算例 名称=\"noproject\" 目录=\"noproject\" 工程文件=\"p.prj\" 必测=\"yes\" "
      "功能代号=\"99999\">\n"                                                                         // 9
      "    <输出文件>r.out</输出文件>\n"                                                              // 10
      "  </自测试算例>\n"                                                                             // 11
      "  <自测试算例 名称=\"nostandard\" 目录=\"nostandard\" 功能代号=\"1\">\n"                       // 12
      "    <输出文件 保留=\"n\">r.out</输出文件>\n"                                                   // 13
      "  </自测试算例>\n"                                                                             // 14
      "  <自测试算例 名称=\"out\" 目录=\"../x\" 工程文件=\"p.prj\" 必测=\"n\" 功能代号=\"1\"/>\n"     // 15
      "  <自测试算例 名称=\"linked\" 目录=\"link\" 工程文件=\"p.prj\" 必测=\"n\" 功能代号=\"1\"/>\n"  // 16
      "</自测试配置>\n");
  ProgramRun run = RunProgram({"check", h.host}, dir);
  EXPECT_EQ(run.status, 2) << run.out << run.err;
  std::string at = file + ":";
  std::vector<std::string> expected = {
      at +
          "6: warning: case 'ok': 保留 of 'r.out' is \"Y\": it counts as not kept, since only a lower-case y "
          "means kept",
      at + "6: warning: case 'ok': the output 'r.out' is declared twice",
      at +
          "8: warning: case 'ok': 必测 is \"Y\": it counts as not mandatory, since only a lower-case y means "
          "mandatory",
      at + "8: warning: case 'ok': another case has this caption: --cases and approve choose both",
      at + "8: warning: case 'ok': declares no output: it passes whenever its calculation succeeds",
      at + "8: error: case 'ok': the case folder '" + h.folder + "/TestData/gone' does not exist",
      at + "9: error: case 'noproject': 必测 is \"yes\": write y (mandatory) or n (not mandatory)",
      at + "9: error: case 'noproject': the function code '99999' does not fit from -32768 to 32767",
      at + "9: error: case 'noproject': the project file 'p.prj' is not in the case folder '" + h.folder +
          "/TestData/noproject'",
      at + "10: error: case 'noproject': the output 'r.out' has no attribute 保留 (y or n)",
      at + "12: error: case 'nostandard': the attributes 工程文件, 必测 are absent; every 自测试算例 needs "
           "名称, "
           "目录, 工程文件, 必测 and 功能代号",
      at + "13: error: case 'nostandard': the standard file of 'r.out' is missing in '" + h.folder +
          "/TestData/nostandard': the case can never pass",
      at + "15: warning: case 'out': declares no output: it passes whenever its calculation succeeds",
      at + "15: error: case 'out': the case folder '../x' lies outside the test data (absolute, or climbing "
           "out "
           "with ..)",
      at + "16: warning: case 'linked': declares no output: it passes whenever its calculation succeeds",
      at + "16: error: case 'linked': the case folder 'link' leads out of the test data through a symbolic "
           "link",
      file + ": 6 cases, 9 errors, 8 warnings",
  };
  std::vector<std::string> lines = LinesOf(run.out);
  // A TXT file beside the XML one is not read: said first, without a line.
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(),
            file +
                ": warning: a TXT definition file lies beside it too: it is not read while this "
                "one is there");
  lines.erase(lines.begin());
  EXPECT_EQ(lines, expected) << run.out;
}

TEST(CheckCommand, TheTxtFormItsLinesAndItsExitStatuses) {
  TempDir dir;
  ScriptHost h(dir);
  h.AddCase("A", ScriptHost::kOk);
  h.AddCase("B", ScriptHost::kOk);
  h.Write();
  ProgramRun run = RunProgram({"check", h.host}, dir);
  EXPECT_EQ(run.status, 0) << run.out;
  EXPECT_EQ(run.out, h.folder + "/CALC_TEST_DAT.TXT: 2 cases, no problem found\n");

  // Upper-case Y is mandatory in this form; "y " is not, and says so. Blank lines before a record count.
  WriteFile(h.folder + "/CALC_TEST_DAT.TXT",
            "TestData;standard results\n"
            "A,A,p.prj,Y,1,r.out;\n"
            "\n"
            "B,B,p.prj,y ,1,r.out, <in.dat>;\n");
  run = RunProgram({"check", h.host}, dir);
  EXPECT_EQ(run.status, 2) << run.out;
  std::string at = h.folder + "/CALC_TEST_DAT.TXT:";
  EXPECT_EQ(
      LinesOf(run.out),
      (std::vector<std::string>{
          at + "4: warning: case 'B': 必测 is \"y \" with blanks: it counts as not mandatory; write y alone",
          at + "4: error: case 'B': the kept file 'in.dat' is missing in '" + h.folder +
              "/TestData/B': the case can never pass",
          h.folder + "/CALC_TEST_DAT.TXT: 2 cases, 1 error, 1 warning"}))
      << run.out;

  WriteFile(h.folder + "/CALC_TEST_DAT.TXT", "TestData;standard results\nA,A,p.prj,y ,1,r.out;\n");
  EXPECT_EQ(RunProgram({"check", h.host}, dir).status, 1);
  WriteFile(h.folder + "/CALC_TEST_DAT.TXT", "/no directory line\nA,A,p.prj,y,1,r.out;\n");
  run = RunProgram({"check", h.host}, dir);
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.out.find("error: no standard-directory line"), std::string::npos) << run.out;
  std::filesystem::remove(h.folder + "/CALC_TEST_DAT.TXT");
  run = RunProgram({"check", h.host}, dir);
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("corvala4: no definition file beside the host"), std::string::npos) << run.err;
}

TEST(CheckCommand, TheComparisonRulesAreReadAsARunReadsThem) {
  TempDir dir;
  ScriptHost h(dir);
  h.AddCase("A", ScriptHost::kOk);
  h.Write();
  std::string rules = h.folder + "/TestData/corvala4-compare.toml";
  // A mistake a run would stop at, told at its line in the rules file.
  WriteFile(rules, "[[files]]\nmatch = \"*.out\"\nnumbers = { relative = 1e-5, absolut = 1e-12 }\n");
  ProgramRun run = RunProgram({"check", h.host}, dir);
  EXPECT_EQ(run.status, 2) << run.out;
  EXPECT_EQ(LinesOf(run.out).front().rfind(rules + ":3: error: key 'numbers.absolut'", 0), 0u) << run.out;

  // A table that fits no declared output (a typing error in its glob) leaves the files exact.
  WriteFile(rules,
            "[[files]]\nmatch = \"*.out\"\nnumbers = { relative = 1e-5 }\n\n"
            "[[files]]\nmatch = \"*.ot\"\nignore = \"^date\"\n");
  run = RunProgram({"check", h.host}, dir);
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_EQ(LinesOf(run.out), (std::vector<std::string>{
                                  rules + ":5: warning: [[files]] #2 (match *.ot, line 5) fits no declared "
                                          "output (an earlier table may take them): every file it names is "
                                          "compared exactly",
                                  h.folder + "/CALC_TEST_DAT.TXT: 1 case, 0 errors, 1 warning"}))
      << run.out;

  // A mistyped placeholder of a checker is named; an awk program's braces are its own.
  WriteFile(
      rules,
      "[[files]]\nmatch = \"*.out\"\n"
      "check = [\"awk\", \"{print $1} END {exit 0}\", \"{standard}\", \"{{outptu}}\", \"x{outptu}\"]\n");
  run = RunProgram({"check", h.host}, dir);
  EXPECT_EQ(run.status, 1) << run.out;
  EXPECT_EQ(LinesOf(run.out).front(),
            rules +
                ":1: warning: [[files]] #1 (match *.out, line 1): {outptu} in check is not a placeholder "
                "(known: {standard} {output} {standard_folder} {folder} {name} {stem} {project} "
                "{project_stem}); the checker gets it as written")
      << run.out;
  EXPECT_EQ(LinesOf(run.out).size(), 2u) << run.out;
}

}  // namespace
}  // namespace corvala4::testing
