#include "results/paired_lines.h"

#include <gtest/gtest.h>

#include <random>

#include "corvala4/error.h"
#include "results/line_pairs.h"
#include "tests/test_support.h"

namespace corvala4 {
namespace {

using testing::TempDir;
using testing::WriteFile;

/// Reads a pair of files to the end in slices as small as they come.
std::unique_ptr<PairedLines> Read(const TempDir& dir, const std::string& output,
                                  const std::string& standard) {
  WriteFile(dir / "o", output);
  WriteFile(dir / "s", standard);
  auto lines = std::make_unique<PairedLines>(dir / "o", dir / "s");
  while (!lines->Scan(0)) {
  }
  return lines;
}

TEST(PairedLines, RowsPairLinesByPositionWithDateLinesToleratedAndBlocksOfDifferences) {
  TempDir dir;
  // CR LF, a lone CR and a lone LF all end a line; the last line needs no end.
  auto lines =
      Read(dir, "a\r\n2026年12月8日\rc\nX\nY\nf\ng\nZ\nextra\n", "a\n2025年1月1日\r\nc\r\nd\ne\nf\ng\nh");
  ASSERT_EQ(9, lines->Rows());
  PairRow row = lines->Row(1);
  EXPECT_EQ(2, row.number);
  EXPECT_EQ(RowState::Tolerated, row.state);
  EXPECT_EQ("日期行", row.reason);
  EXPECT_EQ("2026年12月8日", *row.output);
  EXPECT_EQ("2025年1月1日", *row.standard);
  EXPECT_EQ(RowState::Equal, lines->Row(2).state);
  EXPECT_EQ(RowState::Differs, lines->Row(3).state);
  row = lines->Row(8);
  EXPECT_EQ("extra", *row.output);
  EXPECT_FALSE(row.standard);
  EXPECT_EQ(RowState::Differs, row.state);
  EXPECT_EQ(4, lines->DifferingRows());
  EXPECT_EQ(1, lines->ToleratedRows());
  EXPECT_EQ(3, lines->FirstDifference());

  // Rows 4-5, 8-9 (from 1) are two blocks: F7 goes from block to block, Shift+F7 back.
  EXPECT_EQ(3, lines->NextDifference(-1));
  EXPECT_EQ(7, lines->NextDifference(3));
  EXPECT_EQ(7, lines->NextDifference(4));
  EXPECT_EQ(std::nullopt, lines->NextDifference(7));
  EXPECT_EQ(3, lines->PreviousDifference(7));
  EXPECT_EQ(3, lines->PreviousDifference(5));
  EXPECT_EQ(std::nullopt, lines->PreviousDifference(3));
  EXPECT_EQ(PairRow{}.number, lines->Row(9).number);  // past the end: nothing
}

TEST(PairedLines, MissingAndEmptyFilesAndOnesThatCannotBeRead) {
  TempDir dir;
  auto lines = std::make_unique<PairedLines>(dir / "none", dir / "nothing");
  EXPECT_TRUE(lines->Scan(0));
  EXPECT_EQ(0, lines->Rows());
  EXPECT_EQ(std::nullopt, lines->NextDifference(-1));

  WriteFile(dir / "s", "a\nb\n");
  lines = std::make_unique<PairedLines>(dir / "none", dir / "s");
  while (!lines->Scan(0)) {
  }
  ASSERT_EQ(2, lines->Rows());
  EXPECT_FALSE(lines->Row(0).output);
  EXPECT_EQ(2, lines->DifferingRows());

  lines = Read(dir, "", "");
  EXPECT_EQ(0, lines->Rows());
  EXPECT_EQ(std::nullopt, lines->FirstDifference());

  // A folder in a file's place is no file to read: the error names it.
  WriteFile(dir / "folder/x", "");
  Error e = testing::CaughtError([&] { PairedLines folder(dir / "folder", dir / "s"); });
  EXPECT_NE(0, e.Number());
  EXPECT_NE(std::string::npos, e.Description().find(dir / "folder")) << e.Description();
}

TEST(PairedLines, LongLinesAndLineEndsAcrossBlocksAreJudgedByAllTheirBytes) {
  TempDir dir;
  // Two lines the same in their shown part, different after it; a CR LF right at the end of
  // the pass's block and of the shown rows' block.
  std::string shown(PairedLines::kShownLine, 'x');
  std::string a = shown + "tail-a\n", b = shown + "tail-b\n";
  std::string head = a + "same\n";
  // The CR of a CR LF as the last byte of a 64 KiB block and of a 1 MiB block.
  std::string pad_read((size_t{64} << 10) - 1 - head.size(), 'q');
  size_t after = (size_t{64} << 10) + 1 + 5;
  std::string pad_scan((size_t{1} << 20) - 1 - after, 'p');
  std::string output = head + pad_read + "\r\nnext\n" + pad_scan + "\r\nlast\n";
  std::string standard = b + "same\n" + pad_read + "\r\nnext\n" + pad_scan + "\r\nlast\n";
  ASSERT_EQ('\r', output[(size_t{64} << 10) - 1]);
  ASSERT_EQ('\r', output[(size_t{1} << 20) - 1]);
  auto lines = Read(dir, output, standard);
  ASSERT_EQ(6, lines->Rows());
  PairRow row = lines->Row(0);
  EXPECT_EQ(RowState::Differs, row.state);
  EXPECT_TRUE(row.cut);
  EXPECT_EQ(shown, *row.output);
  for (int64_t i = 1; i < 6; ++i) EXPECT_EQ(RowState::Equal, lines->Row(i).state) << i;
  EXPECT_EQ("next", *lines->Row(3).output);
  EXPECT_EQ("last", *lines->Row(5).standard);
  EXPECT_EQ(1, lines->DifferingRows());
}

TEST(PairedLines, AgreesWithTheComparisonsPairsOnManyRowsReadInSlices) {
  TempDir dir;
  std::mt19937 random(7);
  std::string output, standard;
  const char* ends[] = {"\n", "\r\n", "\r"};
  for (int i = 0; i < 3000; ++i) {
    std::string line = "row " + std::to_string(i) + std::string(random() % 40, '=');
    std::string end = ends[random() % 3];
    output += line + end;
    int change = static_cast<int>(random() % 50);
    standard += (change == 0 ? line + "!" : change == 1 ? "2024年3月4日" : line) + end;
  }
  auto lines = Read(dir, output, standard);
  LinePairs pairs(dir / "s", dir / "o");
  int64_t index = 0;
  for (LinePair pair; pairs.Next(pair); ++index) {
    PairRow row = lines->Row(index);
    ASSERT_EQ(pair.output, row.output) << index;
    ASSERT_EQ(pair.standard, row.standard) << index;
    RowState expected = pair.equal       ? RowState::Equal
                        : pair.tolerated ? RowState::Tolerated
                                         : RowState::Differs;
    ASSERT_EQ(expected, row.state) << index;
  }
  EXPECT_EQ(index, lines->Rows());
  std::optional<LinePair> first = FirstDifference(dir / "s", dir / "o");
  ASSERT_TRUE(first);
  EXPECT_EQ(first->number - 1, lines->FirstDifference());

  // Rows shown out of order read the same as in order.
  EXPECT_EQ(lines->Row(2999).output, lines->Row(2999).output);
  PairRow late = lines->Row(2500), early = lines->Row(10);
  EXPECT_EQ(2501, late.number);
  EXPECT_EQ(11, early.number);
}

}  // namespace
}  // namespace corvala4
