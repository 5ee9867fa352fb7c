// The JUnit report: the document itself, checked against a schema and element by
// element, and the report of a linking host's quiet run (CORVALA4_JUNIT).
#include "results/junit_report.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <functional>

#include "engine/tester_core.h"
#include "model/test_cases.h"
#include "tests/program_support.h"

namespace corvala4 {
namespace {

using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;
using testing::XmlDocument;

LinePair Pair(int64_t number, std::string standard, std::optional<std::string> output) {
  LinePair p;
  p.number = number;
  p.standard = std::move(standard);
  p.output = std::move(output);
  return p;
}

RunResult EveryOutcome() {
  RunResult run;
  run.host = "/opt/calc/calc";
  run.definition_file = "/opt/calc/CALC_TEST_DAT.XML";
  run.build = {"/opt/calc/calc", 1234, 1700000000, "ab12"};
  run.started = 1700000100;
  run.seconds = 12.5;
  auto add = [&](std::string caption, CaseOutcome outcome, std::string reason = {}) -> CaseResult& {
    CaseResult c;
    c.caption = std::move(caption);
    c.outcome = outcome;
    c.reason = std::move(reason);
    c.seconds = 0.25;
    run.cases.push_back(c);
    return run.cases.back();
  };
  add("通过 <&>", CaseOutcome::Passed);
  add("ran there", CaseOutcome::Passed).facts = {{"job", "17"}, {"node", "n3"}};
  CaseResult& differs = add("differs", CaseOutcome::NotPassed);
  differs.files.push_back({"a.out", false, Same, {}, {}, {}});
  differs.files.push_back({"b.out", false, ContentDiffers, {Pair(7, "M = 1.0", "M = 1.5")}, {}, {}});
  differs.files.push_back({"c.out", false, LengthDiffers, {Pair(3, "end", std::nullopt)}, {}, {}});
  differs.files.push_back({"d.out", true, OutputMissing, {}, {}, {}});
  CaseResult& crashed = add("crashed", CaseOutcome::CalculationFailed, "killed by signal 11 (SIGSEGV)");
  crashed.output = "step 1\n\x1b[31mstep 2\x01\n";
  crashed.facts = {{"pid", "4321"}};
  add("late", CaseOutcome::CalculationFailed, "time-out after 5 s (killed by signal 15 (SIGTERM))");
  add("gone", CaseOutcome::FolderMissing, "算例文件夹'/opt/calc/TestData/G'不存在!");
  add("broke", CaseOutcome::Error, "无法复制");
  add("unrun", CaseOutcome::NotRun, "not run: the run was stopped by SIGINT");
  return run;
}

TEST(JUnitReport, OneTestcasePerCaseAsCIServersReadIt) {
  TempDir dir;
  std::string path = dir / "report.xml";
  WriteJUnitReport(EveryOutcome(), path);
  XmlDocument doc(path);
  ASSERT_TRUE(doc.Ok());
  EXPECT_EQ(doc.Validate(testing::TestDataPath() + "/junit.xsd"), "");

  EXPECT_EQ(doc.Value("/testsuites/@tests"), "8");
  EXPECT_EQ(doc.Value("/testsuites/testsuite/@name"), "calc");
  EXPECT_EQ(doc.Value("/testsuites/testsuite/@failures"), "1");
  EXPECT_EQ(doc.Value("/testsuites/testsuite/@errors"), "3");
  EXPECT_EQ(doc.Value("/testsuites/testsuite/@skipped"), "2");
  EXPECT_EQ(doc.Value("/testsuites/testsuite/@time"), "12.500");
  EXPECT_EQ(doc.Value("//property[@name='build.sha256']/@value"), "ab12");
  EXPECT_EQ(doc.Value("//property[@name='recorded']/@value"), "false");
  EXPECT_EQ(doc.Values("//testcase/@name"),
            (std::vector<std::string>{"通过 <&>", "ran there", "differs", "crashed", "late", "gone", "broke",
                                      "unrun"}));
  EXPECT_EQ(doc.Values("//testcase/@classname"), std::vector<std::string>(8, "CALC_TEST_DAT.XML"));
  EXPECT_EQ(doc.Value("//testcase[1]/@time"), "0.250");
  EXPECT_EQ(doc.Count("//testcase[1]/*"), 0u);
  // Where a case ran is told for every case that the executor placed.
  EXPECT_EQ(doc.Value("//testcase[2]/system-out"), "job 17, node n3\n");
  EXPECT_EQ(doc.Count("//testcase[2]/*"), 1u);

  // A failure names every output file that is not the same, with its first differing line.
  EXPECT_EQ(doc.Value("//testcase[3]/failure/@message"),
            "b.out: 内容不同, 第7行; c.out: 长度不同, 第3行; d.out: 未找到输出文件");
  EXPECT_EQ(doc.Value("//testcase[3]/failure"),
            "a.out: 相同\nb.out: 内容不同\n  第7行不同\n  标准: M = 1.0\n  输出: M = 1.5\n"
            "c.out: 长度不同\n  第3行不同\n  标准: end\n  输出: (文件已结束)\nd.out: 未找到输出文件\n");
  EXPECT_EQ(doc.Value("//testcase[4]/error/@message"), "killed by signal 11 (SIGSEGV)");
  EXPECT_EQ(doc.Value("//testcase[4]/error"), "killed by signal 11 (SIGSEGV) (pid 4321)\n");
  EXPECT_EQ(doc.Value("//testcase[4]/system-out"),
            "pid 4321\nstep 1\n[31mstep 2\n");  // no control characters
  EXPECT_EQ(doc.Value("//testcase[5]/error/@message").rfind("time-out after 5 s", 0), 0u);
  EXPECT_EQ(doc.Value("//testcase[6]/skipped/@message"), "算例文件夹'/opt/calc/TestData/G'不存在!");
  EXPECT_EQ(doc.Value("//testcase[7]/error/@type"), "出错");
  EXPECT_EQ(doc.Value("//testcase[8]/skipped/@message"), "not run: the run was stopped by SIGINT");
}

/// Calculates a case by running its project file's one word: "ok", "wrong" or "fail".
class QuietHost : public TesterEvents {
 public:
  void DoTest(TestCase& tc) override {
    if (on_do_test) on_do_test();
    std::string word = ReadFile(tc.ProjectFile());
    if (word == "fail") tc.SetSuccess(false);
    WriteFile(tc.TestCaseFolder() + "/r.out", word == "wrong" ? "wrong\n" : "result\n");
  }
  std::function<void()> on_do_test;
};

class QuietRunReport : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(env.dir() / "calc", "binary");
    tester.SetHostEXE(env.dir() / "calc");
    tester.Subscribe(host);
  }
  void TearDown() override { unsetenv("CORVALA4_JUNIT"); }
  std::string Case(const std::string& name, const std::string& word) {
    WriteFile(env.dir() / ("TestData/" + name + "/p.prj"), word);
    WriteFile(env.dir() / ("TestData/" + name + "/r.out"), "result\n");
    return "<自测试算例 名称=\"" + name + "\" 目录=\"" + name +
           "\" 工程文件=\"p.prj\" 必测=\"y\" 功能代号=\"1\"><输出文件 "
           "保留=\"n\">r.out</输出文件></自测试算例>";
  }
  void Define(const std::string& cases) {
    WriteFile(env.dir() / "CALC_TEST_DAT.XML",
              "<自测试配置><自测试标准目录>TestData</自测试标准目录>" + cases + "</自测试配置>");
  }

  testing::IsolatedEnvironment env;
  testing::ScopedScriptedUI ui;
  Tester tester;
  QuietHost host;
};

TEST_F(QuietRunReport, TheEnvironmentNamesTheReportOfAnUnchangedHost) {
  std::string cases = Case("ok", "ok") + Case("wrong", "wrong") + Case("fail", "fail") + Case("gone", "ok");
  Define(cases);
  std::filesystem::remove_all(env.dir() / "TestData/gone");
  std::string report = env.dir() / "quiet.xml";
  setenv("CORVALA4_JUNIT", report.c_str(), 1);
  tester.LaunchNoUI();

  XmlDocument doc(report);
  ASSERT_TRUE(doc.Ok()) << ReadFile(report);
  EXPECT_EQ(doc.Validate(testing::TestDataPath() + "/junit.xsd"), "");
  EXPECT_EQ(doc.Values("//testcase/@name"), (std::vector<std::string>{"ok", "wrong", "fail", "gone"}));
  EXPECT_EQ(doc.Count("//testcase[1]/*"), 0u);
  EXPECT_EQ(doc.Value("//testcase[2]/failure/@message"), "r.out: 长度不同, 第1行");
  EXPECT_EQ(doc.Value("//testcase[3]/error/@type"), "失败");
  EXPECT_NE(doc.Value("//testcase[4]/skipped/@message").find("不存在!"), std::string::npos);
  EXPECT_EQ(doc.Value("//property[@name='all_mandatory_passed']/@value"), "false");
  EXPECT_EQ(doc.Value("//testcase[1]/@classname"), "CALC_TEST_DAT.XML");
}

TEST_F(QuietRunReport, EveryQuietRunReplacesTheReportWhateverHappens) {
  std::string report = env.dir() / "named.xml";
  tester.SetJUnitReport(report);

  Define(Case("ok", "ok"));
  tester.LaunchNoUI();
  XmlDocument passed(report);
  EXPECT_EQ(passed.Value("//property[@name='recorded']/@value"), "true");
  EXPECT_EQ(passed.Value("/testsuites/@tests"), "1");

  // While a run goes on, the report of the one before is gone: a run that never ends leaves none.
  bool stale_during_run = true;
  host.on_do_test = [&] { stale_during_run = testing::Exists(report); };
  tester.LaunchNoUI();
  EXPECT_FALSE(stale_during_run);
  host.on_do_test = nullptr;

  // A definition that cannot be read leaves no report of the earlier run behind.
  WriteFile(env.dir() / "CALC_TEST_DAT.XML", "<自测试配置>");
  tester.LaunchNoUI();
  XmlDocument broken(report);
  EXPECT_EQ(broken.Value("/testsuites/@errors"), "1");
  EXPECT_EQ(broken.Value("//testcase/@name"), env.dir() / "CALC_TEST_DAT.XML");

  // The environment wins over the host's own choice.
  std::string other = env.dir() / "other.xml";
  setenv("CORVALA4_JUNIT", other.c_str(), 1);
  Define(Case("ok", "ok"));
  tester.LaunchNoUI();
  EXPECT_EQ(XmlDocument(other).Value("/testsuites/@tests"), "1");
  EXPECT_EQ(broken.Value("/testsuites/@errors"), XmlDocument(report).Value("/testsuites/@errors"));

  // A report that cannot be written is logged; the run and its record stand.
  setenv("CORVALA4_JUNIT", (env.dir() / "no/such/folder/r.xml").c_str(), 1);
  tester.LaunchNoUI();
  EXPECT_NE(env.ReadLog().find("无法写入测试报告"), std::string::npos) << env.ReadLog();
}

}  // namespace
}  // namespace corvala4
