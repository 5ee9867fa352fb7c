#include "foundation/platform/regexp.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "corvala4/error.h"

namespace corvala4 {
namespace {

// The two patterns of the TXT definition form, as the loader sets them.
const char* const kDirPattern = "^([^/\\n;]*);[^;\\n]+\\n";
const std::string kRecordPattern = std::string("\\n([\\t \\n]*[^/,;\\n]+)(?:[\\r\\n\\t ]*),") +
                                   "[\\t \\n]*([^/,;\\t\\n]+)(?:[\\r\\n\\t ]*)," +
                                   "[\\t \\n]*([^/,;\\n]+)(?:[\\r\\n\\t ]*)," +
                                   "[\\t \\n]*([^/,;\\n]+)(?:[\\r\\n\\t ]*)," +
                                   "[\\t \\n]*([^/,;\\n]+)(?:[\\r\\n\\t ]*)," +
                                   "[\\t \\n]*([^/;]+)(?:[\\r\\n\\t ]*);";

using Record = std::vector<std::string>;

std::optional<std::string> Directory(const std::string& text) {
  RegExp re;
  re.Global = false;
  re.Multiline = true;
  re.Pattern = kDirPattern;
  std::vector<RegExp::Match> m = re.Execute(text);
  if (m.empty()) return std::nullopt;
  return m[0].SubMatches.at(0).value();
}

std::vector<Record> Records(const std::string& text) {
  RegExp re;
  re.Global = true;
  re.Multiline = true;
  re.Pattern = kRecordPattern;
  std::vector<Record> out;
  for (const RegExp::Match& m : re.Execute(text)) {
    Record r;
    for (const auto& g : m.SubMatches) r.push_back(g.value());
    out.push_back(r);
  }
  return out;
}

// Expected groups come from the reference matcher of the TXT form.
TEST(RegExpTest, TxtPatternsGiveTheReferenceGroups) {
  std::string worked =
      "TestData;standard results\r\n// beams and columns\r\n"
      "Beam,Beam01,beam.prj,y,12,beam.out,<beam.dat>;\r\n"
      "Column,Col01,col.prj,n,3,col1.out,\r\n    col2.out;\r\n";
  EXPECT_EQ(Directory(worked), "TestData");
  EXPECT_EQ(Records(worked),
            (std::vector<Record>{{"Beam", "Beam01", "beam.prj", "y", "12", "beam.out,<beam.dat>"},
                                 {"Column", "Col01", "col.prj", "n", "3", "col1.out,\r\n    col2.out"}}));

  // LF only: blank lines and indentation join the name, trailing blanks stay, "/" rejects a record.
  std::string lf =
      "Std\\Dir;x\n\n  \t Name A ,\tF1 \t, p.prj ,Y ,7,\n a.out,,<>\n;tail\nBad,F/2,p,y,1,o;\n"
      "桥梁,桥01,桥.prj,y,5,结果.txt;\n";
  EXPECT_EQ(Directory(lf), "Std\\Dir");
  EXPECT_EQ(Records(lf), (std::vector<Record>{{"\n  \t Name A ", "F1 ", "p.prj ", "Y ", "7", "a.out,,<>\n"},
                                              {"桥梁", "桥01", "桥.prj", "y", "5", "结果.txt"}}));

  // A lone CR ends a line for "^" as well.
  std::string cr = "a;b\rdir;desc\nX,F,p,y,1,o;";
  EXPECT_EQ(Directory(cr), "dir");
  EXPECT_EQ(Records(cr), (std::vector<Record>{{"X", "F", "p", "y", "1", "o"}}));

  // No directory line: the first record takes its place; a blank CR LF line never starts a name.
  std::string noDir = "First,F1,p.prj,y,1,o.out;\r\n\r\nSecond,F2,q.prj,n,2,o2.out;\r\n";
  EXPECT_EQ(Directory(noDir), "First,F1,p.prj,y,1,o.out");
  EXPECT_EQ(Records(noDir), (std::vector<Record>{{"Second", "F2", "q.prj", "n", "2", "o2.out"}}));

  // A record without its ";" runs on into the next line.
  std::string open = "dir;\r\n\r\nA,B,C,D,E,F\r\nG;more\r\nH,I,J,K,L,M;";
  EXPECT_EQ(Directory(open), "dir");
  EXPECT_EQ(Records(open), (std::vector<Record>{{"A", "B", "C", "D", "E", "F\r\nG"},
                                                {"H", "I", "J", "K", "L", "M"}}));

  EXPECT_EQ(Directory(""), std::nullopt);
  EXPECT_TRUE(Records("").empty());
  // LF-only directory line with nothing after the ";": the next fitting line is taken.
  EXPECT_EQ(Directory("top;\nreal;desc\n"), "real");
}

TEST(RegExpTest, VersionRecordPattern) {
  RegExp re;
  re.Pattern = "(\\d+),(\\d+),(\\d+),\\[.+\\(.+,.+\\)\\]";
  std::vector<RegExp::Match> m = re.Execute("note: 123456,25242,5134,[/opt/calc(2006年5月12日,14:32:05)]");
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(m[0].FirstIndex, 6u);
  EXPECT_EQ(m[0].SubMatches, (std::vector<std::optional<std::string>>{"123456", "25242", "5134"}));
  EXPECT_FALSE(re.Test("123,-25242,5134,[x(a,b)]"));
  EXPECT_FALSE(re.Test(""));
}

TEST(RegExpTest, GlobalSearchAndEmptyMatches) {
  RegExp re;
  re.Pattern = "x*";
  re.Global = true;
  // An empty match moves on by a whole character: offsets 0, 3 ("中" is three bytes), 4.
  std::vector<RegExp::Match> m = re.Execute("中a");
  ASSERT_EQ(m.size(), 3u);
  EXPECT_EQ(m[0].FirstIndex, 0u);
  EXPECT_EQ(m[1].FirstIndex, 3u);
  EXPECT_EQ(m[2].FirstIndex, 4u);

  re.Pattern = "a+";
  m = re.Execute("aa-aaa");
  ASSERT_EQ(m.size(), 2u);
  EXPECT_EQ(m[1].Value, "aaa");
  EXPECT_EQ(m[1].FirstIndex, 3u);
  re.Global = false;
  EXPECT_EQ(re.Execute("aa-aaa").size(), 1u);

  // A group that takes no part is missing, not empty.
  re.Pattern = "(a)|(b)";
  m = re.Execute("b");
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(m[0].SubMatches, (std::vector<std::optional<std::string>>{std::nullopt, "b"}));
}

TEST(RegExpTest, FlagsAndEngineSyntax) {
  RegExp re;
  re.Global = true;
  re.Pattern = "^\\w+";
  EXPECT_EQ(re.Execute("ab\ncd").size(), 1u);
  re.Multiline = true;
  // Lines end at LF, CR and U+2028.
  std::vector<RegExp::Match> m = re.Execute("ab\rcd\nef\xE2\x80\xA8gh");
  ASSERT_EQ(m.size(), 4u);
  EXPECT_EQ(m[1].FirstIndex, 3u);
  EXPECT_EQ(m[3].Value, "gh");
  re.Pattern = "^";
  EXPECT_EQ(re.Execute("\n/\nb1").size(), 3u);
  re.Pattern = "\\w$";
  m = re.Execute("a\rb\nc");
  ASSERT_EQ(m.size(), 3u);
  EXPECT_EQ(m[1].Value, "b");

  re.Multiline = false;
  re.Pattern = ".";
  EXPECT_EQ(re.Execute("a\rb\n").size(), 2u);
  re.Pattern = "\\s";
  EXPECT_EQ(re.Execute("a\vb\xE3\x80\x80" "c").size(), 2u);
  re.Pattern = "\\u4E2D+";
  EXPECT_EQ(re.Execute("x中中y").at(0).Value, "中中");
  re.Pattern = "b[^]";
  re.IgnoreCase = true;
  m = re.Execute("abAB\n");
  ASSERT_EQ(m.size(), 2u);
  EXPECT_EQ(m[1].Value, "B\n");
  re.Pattern = "[]a";
  EXPECT_FALSE(re.Test("a"));
}

TEST(RegExpTest, BadPatternFailsWithError5NamingIt) {
  RegExp re;
  for (const char* bad : {"(?=a)b", "(ab", "a**", "(a)\\1", "^a)(b"}) {
    re.Pattern = bad;
    re.Multiline = true;
    try {
      re.Test("ab");
      ADD_FAILURE() << bad;
    } catch (const Error& e) {
      EXPECT_EQ(e.Number(), 5);
      EXPECT_NE(e.Description().find(bad), std::string::npos) << e.Description();
    }
  }
  // A good pattern afterwards works again.
  re.Pattern = "a";
  EXPECT_TRUE(re.Test("ab"));
}

TEST(RegExpTest, LongInputStaysLinear) {
  // Records never closed by ";": a backtracking matcher needs quadratic time here.
  std::string text = "dir;x\n";
  for (int i = 0; i < 40000; ++i) text += "Name,Folder,p.prj,y,1,out.txt,\n";
  RegExp re;
  re.Global = true;
  re.Multiline = true;
  re.Pattern = kRecordPattern;
  EXPECT_TRUE(re.Execute(text).empty());
  text += ";";
  std::vector<RegExp::Match> m = re.Execute(text);
  ASSERT_EQ(m.size(), 1u);
  EXPECT_EQ(m[0].SubMatches.at(0), "Name");
  // One huge line: no stack growth.
  re.Pattern = "(a|b)*c";
  EXPECT_FALSE(re.Test(std::string(8 << 20, 'a')));
}

}  // namespace
}  // namespace corvala4
