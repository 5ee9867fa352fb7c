#include "results/compare_rules.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>

#include "results/number_fields.h"
#include "results/output_checker.h"
#include "results/rule_compare.h"
#include "tests/case_fixture.h"

namespace corvala4 {
namespace {

using testing::CaseFixture;
using testing::ErrorOf;
using testing::WriteFile;

std::vector<double> Values(const std::string& line) {
  LineFields f;
  SplitNumbers(line, f);
  std::vector<double> v;
  for (const NumberField& n : f.numbers) v.push_back(n.value);
  return v;
}

TEST(NumberFieldsTest, ReadsEveryFormEngineeringProgramsPrint) {
  EXPECT_EQ((std::vector<double>{1500, 0.0015, 1500, 1500, 1500, -2, 0.5, 5, 42}),
            Values("1.5E+03 1.5e-3 1.5D+03 1.5+003 0.15d4 -2 .5 5. +42"));
  EXPECT_EQ((std::vector<double>{5.110827E-04, -4.82110E-18}), Values("  5.110827E-04 -4.82110E-18"));
  // Names, versions and words are text: B1, v1.2, the 3 of 1.5.3, INFO.
  EXPECT_EQ((std::vector<double>{1.5}), Values("B1 v1.2 1.5.3 INFO x_2"));
  EXPECT_EQ((std::vector<double>{7}), Values("(7)kN"));
  std::vector<double> special = Values("NaN -Inf +Infinity nan inf");
  ASSERT_EQ(5u, special.size());
  EXPECT_TRUE(std::isnan(special[0]));
  EXPECT_EQ(-INFINITY, special[1]);
  EXPECT_EQ(INFINITY, special[2]);
  // Exact where the text is: 0.1 and 0.10 are one value, and a long number is rounded right.
  EXPECT_EQ(Values("0.1")[0], Values("0.10")[0]);
  EXPECT_EQ(0.1, Values("0.1")[0]);
  EXPECT_EQ(1.2345678901234567890123e-300, Values("1.2345678901234567890123e-300")[0]);
  // A range "1.0-2.0" is not one number with Fortran's exponent.
  EXPECT_EQ((std::vector<double>{1.0, 2.0}), Values("1.0-2.0"));
}

TEST(NumberFieldsTest, ComparesWithinEitherBound) {
  LineFields a, b;
  NumberTolerance rel{1e-5, 0};
  auto match = [&](const char* x, const char* y, NumberTolerance t) {
    return CompareNumbers(x, y, t, a, b).match;
  };
  EXPECT_TRUE(match("u= 5.110827E-04", "u= 5.110822E-04", rel));
  EXPECT_FALSE(match("u= 5.110827E-04", "u= 5.120822E-04", rel));
  // Numerical zeros pass only by an absolute bound; a relative one alone does not take them.
  EXPECT_FALSE(match("-4.82110E-18", "-8.42525E-18", rel));
  EXPECT_TRUE(match("-4.82110E-18", "-8.42525E-18", NumberTolerance{0, 1e-12}));
  EXPECT_TRUE(match("-0", "0", NumberTolerance{}));
  EXPECT_TRUE(match("1.5D+03", "1.5E+03", NumberTolerance{}));
  EXPECT_TRUE(match("NaN", "nan", rel));
  EXPECT_FALSE(match("NaN", "1", NumberTolerance{1e9, 1e9}));
  EXPECT_TRUE(match("Inf", "Infinity", rel));
  EXPECT_FALSE(match("Inf", "-Inf", NumberTolerance{1e9, 1e9}));
  // A wider number takes the blanks beside it; other text must stay.
  EXPECT_TRUE(match("B1    10.000   -2.5", "B1   100.000 \t -2.5", NumberTolerance{10, 0}));
  EXPECT_TRUE(match("x=-1.0E-20", "x= 1.0E-20", NumberTolerance{0, 1e-12}));
  EXPECT_FALSE(match("B1 1.0", "B2 1.0", NumberTolerance{1, 1}));
  EXPECT_FALSE(match("ab 1.0", "a b 1.0", rel));
  NumbersVerdict count = CompareNumbers("1 2 3", "1 2", rel, a, b);
  EXPECT_FALSE(count.match);
  EXPECT_NE(std::string::npos, count.problem.find("count of numbers"));
  NumbersVerdict outside = CompareNumbers("1.0 2.0 3.0", "1.0 2.0 3.1", rel, a, b);
  EXPECT_EQ(3, outside.failed_field);
  EXPECT_EQ("3.0", outside.standard_value);
  EXPECT_EQ("3.1", outside.output_value);
  NumbersVerdict within = CompareNumbers("1.0 2.00000 3.0", "1.0 2.00001 3.0", rel, a, b);
  EXPECT_TRUE(within.match);
  EXPECT_EQ(2, within.field);
  EXPECT_NEAR(5e-6, within.max_relative, 1e-9);
}

class RulesFileTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& text) {
    WriteFile(path, text);
    return path;
  }
  std::string MistakeOf(const std::string& text) {
    Write(text);
    return testing::CaughtError([&] { CompareRules::Load(path); }).Description();
  }
  testing::IsolatedEnvironment env;
  std::string path = env.dir() / "corvala4-compare.toml";
};

TEST_F(RulesFileTest, ReadsTheRulesAndFindsTheFirstThatFits) {
  Write(R"([[files]]
match = "*.frd"
cases = ["Beam*", "moehring"]
ignore = ['^ {4}1U(DATE|TIME) ']
numbers = { relative = 1e-5, absolute = 1e-12 }

[[files]]
match = ["*.dat", "*.DAT"]
numbers = { relative = 1 }
check = ["perl", "{standard_folder}/check_dat.pl", "{stem}"]

[calculation]
fail_when_output_matches = ['\*ERROR']
)");
  auto rules = CompareRules::Load(path);
  ASSERT_EQ(2u, rules->Files().size());
  const FileRule* frd = rules->Find("Beam01", "r.frd");
  ASSERT_NE(nullptr, frd);
  EXPECT_EQ(1, frd->index);
  EXPECT_EQ(1e-12, frd->numbers->absolute);
  EXPECT_TRUE(frd->ignore[0].Matches("    1UTIME              16:33:01"));
  EXPECT_EQ(nullptr, rules->Find("Other", "r.frd"));  // not one of its cases
  const FileRule* dat = rules->Find("Other", "x.DAT");
  ASSERT_NE(nullptr, dat);
  EXPECT_EQ(0, dat->numbers->absolute);  // an absent bound is 0
  EXPECT_EQ(3u, dat->check.size());
  EXPECT_EQ(nullptr, rules->Find("Beam01", "r.out"));
  EXPECT_EQ(" *ERROR in input deck", rules->FailureLine("ok\n *ERROR in input deck\nend\n").value_or(""));
  EXPECT_FALSE(rules->FailureLine("ERROR without the star\n"));
}

TEST_F(RulesFileTest, EveryMistakeNamesItsFileLineAndKey) {
  std::string e = MistakeOf("[[files]]\nmatch = \"*.out\"\nrelativ = 1\n");
  EXPECT_NE(std::string::npos, e.find(path + ":3")) << e;
  EXPECT_NE(std::string::npos, e.find("'relativ'")) << e;
  e = MistakeOf("[[files]]\nmatch = \"*.out\"\nignore = ['(unclosed']\n");
  EXPECT_NE(std::string::npos, e.find(":3")) << e;
  EXPECT_NE(std::string::npos, e.find("bad pattern")) << e;
  e = MistakeOf("[[files]]\nmatch = \"*.out\"\n\nnumbers = { relative = -1e-5 }\n");
  EXPECT_NE(std::string::npos, e.find(":4")) << e;
  EXPECT_NE(std::string::npos, e.find("numbers.relative")) << e;
  EXPECT_NE(std::string::npos, e.find("negative")) << e;
  e = MistakeOf("[[files]]\nmatch = \"*.out\"\nnumbers = { relative = 1e-5, absolute = \"0\" }\n");
  EXPECT_NE(std::string::npos, e.find("numbers.absolute")) << e;
  e = MistakeOf("[[files]]\nmatch = \"*.out\n");
  EXPECT_NE(std::string::npos, e.find(":2")) << e;  // the parser's own error, with its line
  e = MistakeOf("[[files]]\nignore = ['x']\n");
  EXPECT_NE(std::string::npos, e.find("needs a match")) << e;
  e = MistakeOf("[calculation]\nfail_when = ['x']\n");
  EXPECT_NE(std::string::npos, e.find("calculation.fail_when")) << e;
  e = MistakeOf("[rules]\n");
  EXPECT_NE(std::string::npos, e.find("'rules'")) << e;
  e = MistakeOf("[[files]]\nmatch = 3\n");
  EXPECT_NE(std::string::npos, e.find("'match'")) << e;
}

class RuleCompareTest : public CaseFixture {
 protected:
  /// The state of "r.out" of case C1 with the given rules file (empty: none).
  OutputFileState StateOf(const std::string& rules, const std::string& standard, const std::string& output) {
    unlink(Std("corvala4-compare.toml").c_str());
    if (!rules.empty()) WriteFile(Std("corvala4-compare.toml"), rules);
    core().LoadComparisonRules();
    core().TestCases()->Clear();
    auto tc = MakeCase("C1", {"r.out"});
    WriteFile(Std("C1/r.out"), standard);
    WriteFile(Work("C1/r.out"), output);
    file = tc->OutputFiles()->Item(1);
    file->Compare();
    return file->State();
  }
  std::shared_ptr<OutputFile> file;
  const std::string numeric = "[[files]]\nmatch = \"*.out\"\nnumbers = { relative = 1e-5 }\n";
};

TEST_F(RuleCompareTest, AGovernedFileIsDecidedByItsLines) {
  const std::string standard = "RESULT 1.0\nu= 5.110827E-04\n   -2.5\n";
  const std::string noisy = "RESULT 1.0\nu= 5.110822E-04\n-2.50000\n";
  EXPECT_EQ(LengthDiffers, StateOf("", standard, noisy));  // without rules: exact
  EXPECT_EQ(Same, StateOf(numeric, standard, noisy));
  EXPECT_NE(std::string::npos,
            file->ExplainedStatusText().find("相同 (数值容差内, 最大相对差 9.8e-07 第2行第1个数"))
      << file->ExplainedStatusText();
  // Beyond tolerance: never a pass, and the pair outside it named with both values.
  EXPECT_EQ(ContentDiffers, StateOf(numeric, standard, "RESULT 1.0\nu= 5.2E-04\n-2.5\n"));
  EXPECT_NE(std::string::npos,
            file->ExplainedStatusText().find("第2行第1个数超出容差: 标准 5.110827E-04, 输出 5.2E-04"))
      << file->ExplainedStatusText();
  // The numbers of lines decide first, even after a differing pair; line ends do not count.
  EXPECT_EQ(LengthDiffers, StateOf(numeric, standard, "RESULT 9.0\nu= 5.110827E-04\n   -2.5\nmore\n"));
  EXPECT_EQ(LengthDiffers, StateOf(numeric, standard, "RESULT 1.0\n"));
  EXPECT_EQ(Same, StateOf(numeric, standard, "RESULT 1.0\r\nu= 5.110827E-04\r\n   -2.5"));
  // A file that differs only in size under a rule is the same.
  EXPECT_EQ(Same, StateOf(numeric, "x 1.50\n", "x 1.5\n"));
  // Date lines stay tolerated; and a rule that fits nothing leaves the exact comparison.
  EXPECT_EQ(Same, StateOf(numeric, "2026年11月20日\n1\n", "2026年12月8日\n1\n"));
  EXPECT_EQ(LengthDiffers,
            StateOf("[[files]]\nmatch = \"*.dat\"\nnumbers = { relative = 1 }\n", "1\n", "1.0\n"));
}

TEST_F(RuleCompareTest, IgnoredLinesNeedBothSidesToMatch) {
  const std::string rules = "[[files]]\nmatch = \"*.out\"\nignore = ['^ {4}1U(DATE|TIME) ']\n";
  EXPECT_EQ(Same,
            StateOf(rules, "    1UTIME              16:33:01\nx\n", "    1UTIME              09:01:59\nx\n"));
  EXPECT_NE(std::string::npos, file->Status().Detail().find("忽略1行"));
  EXPECT_EQ(ContentDiffers,
            StateOf(rules, "    1UTIME              16:33:01\nx\n", "    1UTIMEX 09:01:59\nx\n"));
  // A version line is no time stamp: without a pattern for it, it differs.
  EXPECT_EQ(ContentDiffers, StateOf(rules, "version 2.20\n", "version 2.21\n"));
}

TEST_F(RuleCompareTest, BlockBoundariesAndLineEndsKeepTheLineNumbers) {
  // A difference far into a file whose lines cross the comparison's blocks, with CR, LF and CR LF.
  std::string a, b;
  for (int i = 1; i <= 3000; ++i) {
    const char* end = i % 3 == 0 ? "\r" : (i % 3 == 1 ? "\n" : "\r\n");
    a += "line " + std::to_string(i) + " 1.000000" + end;
    b += "line " + std::to_string(i) + (i == 2500 ? " 1.100000" : " 1.000000") + end;
  }
  const FileRule* rule;
  WriteFile(Std("a.out"), a);
  WriteFile(Std("b.out"), b);
  auto rules = (WriteFile(Std("r.toml"), numeric), CompareRules::Load(Std("r.toml")));
  rule = &rules->Files()[0];
  for (size_t block : {size_t{7}, size_t{64}, size_t{1000}, kCompareBlockSize}) {
    RuleOutcome o = CompareUnderRule(*rule, Std("a.out"), Std("b.out"), block);
    EXPECT_EQ(ContentDiffers, o.state) << block;
    EXPECT_EQ(2500, o.failed_line) << block;
    EXPECT_EQ(3000, o.standard_lines) << block;
    RuleOutcome same = CompareUnderRule(*rule, Std("a.out"), Std("a.out"), block);
    EXPECT_EQ(Same, same.state) << block;
  }
}

TEST_F(RuleCompareTest, TheCheckerDecidesWhatTheLinesCannot) {
  std::string script = Std("check.sh");
  WriteFile(script, "#!/bin/sh\necho \"checked $1 in $(basename \"$PWD\")\"\nexit $2\n");
  chmod(script.c_str(), 0755);
  auto rule = [&](const std::string& code) {
    return "[[files]]\nmatch = \"*.out\"\ncheck = [\"{standard_folder}/../check.sh\", \"{stem}\", \"" + code +
           "\"]\n";
  };
  EXPECT_EQ(Same, StateOf(rule("0"), "1\n", "2\n"));
  EXPECT_NE(std::string::npos, file->Status().Detail().find("checked r in C1")) << file->Status().Detail();
  EXPECT_EQ(ContentDiffers, StateOf(rule("3"), "1\n", "2\n"));
  EXPECT_NE(std::string::npos, file->Status().Detail().find("exit status 3")) << file->Status().Detail();
  // Identical files never need it; a program that is not there decides nothing.
  EXPECT_EQ(Same, StateOf(rule("3"), "1\n", "1\n"));
  EXPECT_EQ(ContentDiffers,
            StateOf("[[files]]\nmatch = \"*.out\"\ncheck = [\"/no/such/checker\"]\n", "1\n", "2\n"));
  EXPECT_NE(std::string::npos, file->Status().Detail().find("cannot start")) << file->Status().Detail();

  CheckerResult slow = RunChecker({"sh", "-c", "sleep 30 & sleep 30"}, "/", 1);
  EXPECT_FALSE(slow.same);
  EXPECT_EQ("more than 1 s", slow.verdict);
  CheckerResult killed = RunChecker({"sh", "-c", "kill -9 $$"}, "/");
  EXPECT_FALSE(killed.same);
  EXPECT_EQ("ended by signal 9", killed.verdict);
  EXPECT_EQ((std::vector<std::string>{"a/x.out", "{stem}", "{}", "{other}"}),
            FillPlaceholders({"{folder}/{name}", "{{stem}}", "{{}}", "{other}"},
                             {{"folder", "a"}, {"name", "x.out"}}));
}

TEST_F(RuleCompareTest, TheCompareViewMarksWhatTheRuleAccepts) {
  WriteFile(Std("r.toml"), "[[files]]\nmatch = \"*.out\"\nignore = ['^T ']\nnumbers = { relative = 1e-5 }\n");
  auto rules = CompareRules::Load(Std("r.toml"));
  PairJudge judge = RuleJudge(&rules->Files()[0]);
  EXPECT_EQ("数值容差内: 最大相对差 1e-06 第1个数, 最大绝对差 1e-06",
            judge("x 1.000001", "x 1.0").value_or(""));
  EXPECT_EQ("忽略: ^T ", judge("T 12:00", "T 13:00").value_or(""));
  EXPECT_EQ("日期行", judge("2026年1月2日", "x").value_or(""));
  EXPECT_FALSE(judge("x 1.1", "x 1.0"));
  PairJudge plain = RuleJudge(nullptr);
  EXPECT_FALSE(plain("x 1.000001", "x 1.0"));
  EXPECT_EQ("日期行", plain("2026年1月2日", "x").value_or(""));
}

TEST_F(RuleCompareTest, AnOutputThatIsALinkLeadingOutNeverPasses) {
  // A calculation that leaves its output as a link to a file elsewhere with the right content.
  std::string outside = env.dir() / "elsewhere.out";
  for (const std::string& rules : {std::string(), numeric}) {
    unlink(Work("C1/r.out").c_str());
    EXPECT_EQ(Same, StateOf(rules, "1.0\n", "1.0\n"));
    WriteFile(outside, "1.0\n");
    unlink(Work("C1/r.out").c_str());
    ASSERT_EQ(0, symlink(outside.c_str(), Work("C1/r.out").c_str()));
    file->Compare();
    EXPECT_EQ(ContentDiffers, file->State()) << rules;
    EXPECT_NE(std::string::npos, file->Status().Detail().find("测试数据之外")) << rules;
  }
  // A link that stays inside the test data is compared as its target.
  unlink(Work("C1/r.out").c_str());
  WriteFile(Work("C1/target.out"), "1.0\n");
  ASSERT_EQ(0, symlink("target.out", Work("C1/r.out").c_str()));
  file->Compare();
  EXPECT_EQ(Same, file->State());
}

TEST_F(RuleCompareTest, AMistakenRulesFileStopsTheRunBeforeAnythingIsMarked) {
  WriteFile(Std("corvala4-compare.toml"), "[[files]]\nmatch = \"*.out\"\nnumbers = { relative = -1 }\n");
  MakeCase("C1", {"r.out"});
  EXPECT_NE(0, ErrorOf([&] { core().LoadComparisonRules(); }));
  EXPECT_EQ(0, core().TestCases()->Count());  // nothing left to compare without its rules
  EXPECT_EQ(nullptr, core().ComparisonRules());
}

}  // namespace
}  // namespace corvala4
