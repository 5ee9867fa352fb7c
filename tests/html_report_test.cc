#include "results/html_report.h"

#include <gtest/gtest.h>

#include "tests/program_support.h"

namespace corvala4::cli {
namespace {

using corvala4::testing::ReadFile;
using corvala4::testing::TempDir;
using corvala4::testing::XmlDocument;

TEST(HtmlReport, APageWithTheBuildTheSummaryAndEveryDifference) {
  RunResult run;
  run.host = "/opt/calc/calc";
  run.definition_file = "/opt/calc/CALC_TEST_DAT.XML";
  run.build = {"/opt/calc/calc", 1234, 1700000000, "ab12cd"};
  run.seconds = 3;
  CaseResult ok;
  ok.caption = "<b>梁</b>";
  ok.mandatory = true;
  ok.outcome = CaseOutcome::Passed;
  ok.facts = {{"job", "17"}, {"node", "n3"}};
  CaseResult differs;
  differs.caption = "differs";
  differs.outcome = CaseOutcome::NotPassed;
  LinePair d;
  d.number = 4;
  d.standard = "M = 1 & 2";
  d.output = std::nullopt;
  LinePair e;
  e.number = 9;
  e.standard = "x = 1.50 kN";
  e.output = "x = 1.75 kN";
  differs.files = {{"a.out", false, Same, {}, {}}, {"b.out", false, LengthDiffers, {d, e}, {}}};
  CaseResult crashed;
  crashed.caption = "crashed";
  crashed.outcome = CaseOutcome::CalculationFailed;
  crashed.reason = "exit status 3";
  crashed.output = "<script>alert(1)</script>\n";
  run.cases = {ok, differs, crashed};

  TempDir dir;
  WriteHtmlReport(run, dir / "r.html");
  std::string html = ReadFile(dir / "r.html");
  XmlDocument doc(dir / "r.html", true);
  ASSERT_TRUE(doc.Ok());
  EXPECT_EQ(doc.Value("//title"), "calc 正确性自测试报告");
  EXPECT_EQ(doc.Value("//div[contains(@class,'verdict')]"), "本版本没有通过全部必测算例");
  EXPECT_EQ(doc.Values("//table[2]/tr[2]/td"), (std::vector<std::string>{"3", "1", "1", "1 / 1", "3.00 s"}));
  // The cases' table: one row each, the caption escaped, the state as the module words it.
  EXPECT_EQ(doc.Values("//table[3]/tr/td[2]"), (std::vector<std::string>{"<b>梁</b>", "differs", "crashed"}));
  EXPECT_EQ(doc.Values("//table[3]/tr/td[5]"), (std::vector<std::string>{"通过", "未通过", "失败"}));
  // Where each case ran, when the executor said so.
  EXPECT_EQ(doc.Value("//table[3]/tr[1]/th[7]"), "运行于");
  EXPECT_EQ(doc.Value("//table[3]/tr[2]/td[7]"), "job 17node n3");
  EXPECT_NE(html.find("job 17<br>node n3"), std::string::npos);
  EXPECT_EQ(doc.Value("//table[3]/tr[3]/td[8]"), "b.out: 长度不同, 第4行");
  // The cases that did not pass, each with its differences or its output.
  EXPECT_EQ(doc.Values("//h3"), (std::vector<std::string>{"differs 未通过", "crashed 失败"}));
  EXPECT_EQ(doc.Values("//table[4]/tr[3]/td"),
            (std::vector<std::string>{"b.out", "长度不同", "4", "标准 M = 1 & 2输出 (文件已结束)"}));
  EXPECT_EQ(doc.Values("//table[4]/tr[4]/td"),
            (std::vector<std::string>{"9", "标准 x = 1.50 kN输出 x = 1.75 kN"}));
  EXPECT_EQ(doc.Values("//mark"), (std::vector<std::string>{"50", "75"}));  // where the lines differ
  EXPECT_EQ(doc.Value("//pre"), "<script>alert(1)</script>\n");
  // Self-contained: nothing fetched from elsewhere, no script.
  EXPECT_EQ(doc.Count("//script | //link | //img | //*[@src] | //*[@href]"), 0u);
  EXPECT_EQ(html.find("<b>"), std::string::npos);
  EXPECT_NE(html.find("ab12cd"), std::string::npos);
}

}  // namespace
}  // namespace corvala4::cli
