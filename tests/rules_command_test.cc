// The comparison rules as a user of the corvala4 program meets them: a noisy result that
// passes with a rules file and fails without one, the reports and diff explaining why, a
// calculation whose output says it failed, and a rules file with a mistake.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/program_support.h"

namespace corvala4 {
namespace {

using testing::ProgramRun;
using testing::ReadFile;
using testing::RunProgram;
using testing::ScriptHost;
using testing::TempDir;
using testing::WriteFile;

const char* const kStandard =
    " RESULTS OF calc\n    1UTIME              16:33:01\n  node       u            s\n"
    "     1   5.110827E-04 -4.82110E-18\n     2   1.000000E+00  2.500000E+02\n";
// The same results a minute later, with last-digit noise and another numerical zero.
const char* const kNoisy =
    "cat > r.out <<'EOF'\n RESULTS OF calc\n    1UTIME              16:34:12\n  node       u            s\n"
    "     1   5.110822E-04 -8.42525E-18\n     2   1.000001E+00  2.500000E+02\nEOF\n";
const char* const kRules =
    "[[files]]\nmatch = \"*.out\"\nignore = ['^ {4}1U(DATE|TIME) ']\n"
    "numbers = { relative = 1e-5, absolute = 1e-12 }\n"
    "[calculation]\nfail_when_output_matches = ['\\*ERROR']\n";

class RulesCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    h.AddCase("noisy", kNoisy, true, kStandard);
    h.Write();
  }
  void Rules(const std::string& text) { WriteFile(h.folder + "/TestData/corvala4-compare.toml", text); }
  ProgramRun Run(std::vector<std::string> args) {
    args.insert(args.begin() + 1, h.host);
    return RunProgram(args, dir);
  }
  TempDir dir;
  ScriptHost h{dir};
};

TEST_F(RulesCommandTest, NoisyResultsPassWithRulesAndFailWithout) {
  ProgramRun plain = Run({"run", "-j", "1"});
  EXPECT_EQ(1, plain.status) << plain.out << plain.err;
  EXPECT_EQ("", h.Record());

  Rules(kRules);
  std::string report = dir / "report.xml";
  std::string html = dir / "report.html";
  ProgramRun ruled = Run({"run", "-j", "1", "--junit", report, "--html", html});
  EXPECT_EQ(0, ruled.status) << ruled.out << ruled.err;
  EXPECT_TRUE(h.Marker("noisy"));
  EXPECT_NE("", h.Record());
  // Where people look, the largest difference and the bound it was held to.
  std::string junit = ReadFile(report);
  EXPECT_NE(std::string::npos, junit.find("r.out: 相同 (数值容差内, 最大相对差 1e-06 第5行第2个数")) << junit;
  EXPECT_NE(std::string::npos, junit.find("容差 相对 1e-05 绝对 1e-12")) << junit;
  EXPECT_NE(std::string::npos, ReadFile(html).find("数值容差内")) << ReadFile(html);

  ProgramRun diff = Run({"diff", "noisy"});
  EXPECT_EQ(0, diff.status) << diff.out << diff.err;
  EXPECT_NE(std::string::npos, diff.out.find("== r.out: 相同 (数值容差内")) << diff.out;
  EXPECT_NE(std::string::npos, diff.out.find("rule [[files]] #1 (match *.out, line 1)")) << diff.out;
  EXPECT_NE(std::string::npos, diff.out.find("\\ tolerated: ignored by the pattern '^ {4}1U(DATE|TIME) '"))
      << diff.out;
  EXPECT_NE(
      std::string::npos,
      diff.out.find("\\ tolerated: numbers within tolerance: largest relative difference 9.8e-07 (field 2)"))
      << diff.out;

  ProgramRun list = Run({"list", "--json"});
  EXPECT_EQ(0, list.status) << list.err;
  EXPECT_NE(std::string::npos, list.out.find("\"rule\": {\"name\": \"[[files]] #1 (match *.out, line 1)\""))
      << list.out;
  EXPECT_NE(std::string::npos, list.out.find("corvala4-compare.toml")) << list.out;
}

TEST_F(RulesCommandTest, BeyondToleranceOrAFailingOutputNeverPasses) {
  Rules(kRules);
  // The first number changed in its fourth digit: outside the bound, named with both values.
  h.AddCase("far", "printf ' 1.2345E+00\\n' > r.out\n", true, " 1.2350E+00\n");
  // A solver that says it failed and exits 0, leaving an output that matches its standard.
  h.AddCase("fatal", "echo ' *ERROR in input deck: card 7'\necho result > r.out\nexit 0\n");
  h.Write();
  std::string report = dir / "report.xml";
  ProgramRun run = Run({"run", "-j", "1", "--junit", report});
  EXPECT_EQ(1, run.status) << run.out << run.err;
  EXPECT_FALSE(h.Marker("far"));
  EXPECT_FALSE(h.Marker("fatal"));
  EXPECT_TRUE(h.Marker("noisy"));
  EXPECT_EQ("", h.Record());
  std::string junit = ReadFile(report);
  EXPECT_NE(std::string::npos, junit.find("第1行第1个数超出容差: 标准 1.2350E+00, 输出 1.2345E+00")) << junit;
  EXPECT_NE(std::string::npos, junit.find("its output says it failed:  *ERROR in input deck: card 7"))
      << junit;
}

TEST_F(RulesCommandTest, AMistakenRulesFileEndsTheRunBeforeAnyCase) {
  Rules("[[files]]\nmatch = \"*.out\"\nnumbers = { relative = 1e-5, absolut = 1e-12 }\n");
  ProgramRun run = Run({"run"});
  EXPECT_EQ(2, run.status) << run.out << run.err;
  EXPECT_NE(std::string::npos, run.err.find("corvala4-compare.toml:3: key 'numbers.absolut'")) << run.err;
  EXPECT_FALSE(h.Marker("noisy"));
  EXPECT_EQ("", h.Record());
  EXPECT_EQ("", ReadFile(h.Work("noisy") + "/r.out"));  // nothing was even calculated
  EXPECT_EQ(2, Run({"list"}).status);
}

TEST_F(RulesCommandTest, TheJobNameOfAProjectIsAPlaceholder) {
  // A solver that takes a job name: it reads NAME.prj itself.
  ProgramRun run = Run({"run", "-j", "1", "--cases", "noisy", "--exec",
                        "sh -c \". ./{stem}.prj && "
                        "echo {{{project_stem}}} > job.txt\""});
  EXPECT_EQ(1, run.status) << run.out << run.err;  // no rules: the noise differs
  EXPECT_EQ("{p}\n", ReadFile(h.Work("noisy") + "/job.txt"));
}

TEST_F(RulesCommandTest, AHostOnPathReadsADefinitionFileNamedExplicitly) {
  // The cases of a host that lies where nothing is to be written: its records lie beside the
  // definition file, and its standard directory is taken from that file's folder.
  std::string defs = dir / "defs";
  std::string std_dir = defs + "/TestData/noisy";
  WriteFile(std_dir + "/p.prj", "echo result > r.out\n");
  WriteFile(std_dir + "/r.out", "result\n");
  WriteFile(defs + "/TestData/changed/p.prj", "echo changed > r.out\n");
  WriteFile(defs + "/TestData/changed/r.out", "result\n");
  WriteFile(
      defs + "/suite.txt",
      "TestData;relative to this file\nnoisy,noisy,p.prj,y,1,r.out;\nchanged,changed,p.prj,n,1,r.out;\n");
  std::string path = "PATH=" + h.folder + ":" + getenv("PATH");
  ProgramRun run =
      RunProgram({"run", "calc", "--definition", defs + "/suite.txt", "-j", "1"}, dir, {}, {path});
  EXPECT_EQ(0, run.status) << run.out << run.err;
  EXPECT_NE("", ReadFile(defs + "/calc_Test_Ver.txt"));
  EXPECT_EQ("", h.Record());
  ProgramRun status = RunProgram({"status", "calc", "--definition", defs + "/suite.txt"}, dir, {}, {path});
  EXPECT_EQ(0, status.status) << status.out << status.err;
  ProgramRun approve = RunProgram(
      {"approve", "calc", "changed", "--reason", "deliberate", "--definition", defs + "/suite.txt"}, dir, {},
      {path});
  EXPECT_EQ(0, approve.status) << approve.out << approve.err;
  EXPECT_NE(std::string::npos, ReadFile(defs + "/corvala4-approvals.txt").find("deliberate"));
  ProgramRun missing = RunProgram({"run", "calc", "--definition", defs + "/none.txt"}, dir, {}, {path});
  EXPECT_EQ(2, missing.status);
  EXPECT_NE(std::string::npos, missing.err.find("none.txt' is not there")) << missing.err;
}

}  // namespace
}  // namespace corvala4
