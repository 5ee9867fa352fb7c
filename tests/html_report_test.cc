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
  differs.files = {{"a.out", false, Same, {}, {}, {}}, {"b.out", false, LengthDiffers, {d, e}, {}, {}}};
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
  EXPECT_EQ(doc.Values("//mark"), (std::vector<std::string>{"1.50", "1.75"}));  // where the lines differ
  EXPECT_EQ(doc.Value("//pre"), "<script>alert(1)</script>\n");
  // Self-contained: nothing fetched from elsewhere, no script.
  EXPECT_EQ(doc.Count("//script | //link | //img | //*[@src] | //*[@href]"), 0u);
  EXPECT_EQ(html.find("<b>"), std::string::npos);
  EXPECT_NE(html.find("ab12cd"), std::string::npos);
}

/// The marked parts of each side of each pair, as the page shows them, and the page.
std::vector<std::vector<std::string>> Marks(const std::vector<std::pair<std::string, std::string>>& pairs,
                                            std::string* html = nullptr) {
  RunResult run;
  CaseResult c;
  c.caption = "c";
  c.outcome = CaseOutcome::NotPassed;
  FileResult f{"f.out", false, ContentDiffers, {}, {}, {}};
  for (const auto& [standard, output] : pairs) {
    LinePair d;
    d.number = static_cast<int>(f.differences.size()) + 1;
    d.standard = standard;
    d.output = output;
    f.differences.push_back(d);
  }
  c.files = {f};
  run.cases = {c};
  TempDir dir;
  WriteHtmlReport(run, dir / "r.html");
  if (html) *html = ReadFile(dir / "r.html");
  XmlDocument doc(dir / "r.html", true);
  EXPECT_TRUE(doc.Ok());
  std::vector<std::vector<std::string>> marks;
  for (size_t i = 0; i < pairs.size(); ++i)
    for (int side = 1; side <= 2; ++side)
      marks.push_back(doc.Values("//table[4]/tr[" + std::to_string(i + 2) + "]/td[@class='line']/div[" +
                                 std::to_string(side) + "]/mark"));
  return marks;
}

TEST(HtmlReport, TheWholeNumberOrWordThatDiffersIsMarkedOnBothSides) {
  using V = std::vector<std::string>;
  std::string html;
  std::vector<V> marks = Marks(
      {
          {"B1  简支   7.200    150.400   80.667", "B1  简支   7.200    151.126   80.667"},
          // Each number that differs, with its sign and exponent; not the one between them.
          {"  1.0   2.0  -3.0E+02  4.5D-01", "  1.1   2.0  -3.5E+02  4.5D-01"},
          {"x=-1.5 kN", "x=1.5 kN"},
          // Columns shifted by a longer number: the number, not the blanks.
          {"   12.5  7", "  112.5  7"},
          {"status <converged> & ok", "status <diverged> & ok"},
          {"结果: 安全", "结果: 危险"},
          // A token more on one side: the whole differing part, on the side that has it.
          {"load 1 2", "load 1 9 2"},
          {"a  b", "a b"},  // nothing but blanks differs
      },
      &html);
  EXPECT_EQ(marks, (std::vector<V>{{"150.400"}, {"151.126"},
                                   {"1.0", "-3.0E+02"}, {"1.1", "-3.5E+02"},
                                   {"-1.5"}, {"1.5"},
                                   {"12.5"}, {"112.5"},
                                   {"converged"}, {"diverged"},
                                   {"安全"}, {"危险"},
                                   {}, {"9"},
                                   {"  "}, {" "}}));
  // Every text escaped around the marks, none inside a character or an escape.
  EXPECT_NE(html.find("status &lt;<mark>converged</mark>&gt; &amp; ok"), std::string::npos) << html;
  EXPECT_NE(html.find("结果: <mark>危险</mark>"), std::string::npos);
}

}  // namespace
}  // namespace corvala4::cli
