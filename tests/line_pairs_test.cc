#include "results/line_pairs.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "corvala4/error.h"
#include "tests/test_support.h"

namespace corvala4 {
namespace {

using testing::TempDir;
using testing::WriteFile;

std::vector<LinePair> All(const TempDir& dir, const std::string& standard, const std::string& output) {
  WriteFile(dir / "s", standard);
  WriteFile(dir / "o", output);
  LinePairs pairs(dir / "s", dir / "o");
  std::vector<LinePair> all;
  for (LinePair p; pairs.Next(p);) all.push_back(p);
  return all;
}

TEST(LinePairs, LinesArePairedByPositionAsTheComparisonPairsThem) {
  TempDir dir;
  // CR LF, a lone CR and a lone LF all end a line; the last line needs no end.
  std::vector<LinePair> p = All(dir, "a\r\nb\rc\nd", "a\nB\r\nc\r\nd\ne\n");
  ASSERT_EQ(p.size(), 5u);
  EXPECT_TRUE(p[0].equal);
  EXPECT_TRUE(p[1].Differs());
  EXPECT_EQ(*p[1].standard, "b");
  EXPECT_EQ(*p[1].output, "B");
  EXPECT_TRUE(p[2].equal);
  EXPECT_TRUE(p[3].equal);
  EXPECT_FALSE(p[4].standard);
  EXPECT_EQ(*p[4].output, "e");
  EXPECT_TRUE(p[4].Differs());
  EXPECT_EQ(p[4].number, 5);

  // A date line on either side is tolerated; past the other file's end it is not.
  p = All(dir, "日期 2026年1月2日\nx\n", "anything\ny年z月w日\n日期 2026年1月2日\n");
  ASSERT_EQ(p.size(), 3u);
  EXPECT_TRUE(p[0].tolerated);
  EXPECT_FALSE(p[0].Differs());
  EXPECT_TRUE(p[1].tolerated);
  EXPECT_TRUE(p[2].Differs());

  EXPECT_TRUE(All(dir, "", "").empty());
  EXPECT_EQ(All(dir, "\n\n", "").size(), 2u);
}

TEST(LinePairs, LongLinesAndOtherCodePagesAreComparedWhole) {
  TempDir dir;
  std::string long_a(LinePairs::kKeptLine + 10, 'x'), long_b = long_a;
  long_b.back() = 'y';
  std::vector<LinePair> p = All(dir, long_a + "\nend\n", long_b + "\nend\n");
  ASSERT_EQ(p.size(), 2u);
  EXPECT_TRUE(p[0].Differs());  // the difference lies past the part kept
  EXPECT_EQ(p[0].standard->size(), LinePairs::kKeptLine);
  EXPECT_TRUE(p[1].equal);

  setenv("CORVALA4_CODEPAGE", "GBK", 1);
  p = All(dir,
          "\xc8\xd5\xc6\xda 2026\xc4\xea"
          "1\xd4\xc2"
          "2\xc8\xd5\n",
          "other\n");  // 日期 2026年1月2日 in GBK
  ASSERT_EQ(p.size(), 1u);
  EXPECT_EQ(*p[0].standard, "日期 2026年1月2日");
  EXPECT_TRUE(p[0].tolerated);

  std::optional<LinePair> first = FirstDifference(dir / "s", dir / "o");
  EXPECT_FALSE(first);
  WriteFile(dir / "o", "other\nmore\n");
  first = FirstDifference(dir / "s", dir / "o");
  ASSERT_TRUE(first);
  EXPECT_EQ(first->number, 2);
  unsetenv("CORVALA4_CODEPAGE");
  EXPECT_THROW(LinePairs(dir / "s", dir / "missing"), Error);
  EXPECT_THROW(LinePairs(dir.path(), dir / "s"), Error);  // a folder is not a file
}

}  // namespace
}  // namespace corvala4
