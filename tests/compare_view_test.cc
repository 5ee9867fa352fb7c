#include "ui/compare_view.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "results/paired_lines.h"
#include "tests/window_fixture.h"
#include "ui/pair_view.h"

namespace corvala4 {
namespace {

using testing::TempDir;
using testing::WriteFile;

class CompareViewTest : public ::testing::Test {
 protected:
  /// 300 rows: a date line at row 2, differences at rows 5 and 250 (from 1).
  void SetUp() override {
    std::string output, standard;
    for (int i = 1; i <= 300; ++i) {
      std::string line = "M" + std::to_string(i) + " = 56.250";
      output += (i == 2               ? "计算时间 2026年12月8日"
                 : i == 5 || i == 250 ? "M" + std::to_string(i) + " = 56.300"
                                      : line) +
                "\r\n";
      standard += (i == 2 ? "计算时间 2025年1月1日" : line) + "\r\n";
    }
    WriteFile(dir / "forces.out", output);
    WriteFile(dir / "std/forces.out", standard);
  }
  void Show() {
    view.Load("forces.out", dir / "forces.out", dir / "std/forces.out", "内容不同");
    view.ReadAll();
    view.show();
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
  }
  QString Panel(const char* name) { return testing::Control<QLabel>(view, name)->text(); }
  void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
    QTest::keyClick(view.View(), key, modifiers);
  }
  bool InSight(int64_t row) {
    return view.View()->TopRow() <= row && row < view.View()->TopRow() + view.View()->VisibleRows();
  }

  TempDir dir;
  frm对比 view;
};

TEST_F(CompareViewTest, TheStatusBarNamesTheStateAndTheFirstDifferenceAndF7JumpsBetweenDifferences) {
  Show();
  EXPECT_EQ("对比输出文件'forces.out'", view.windowTitle());
  EXPECT_EQ("内容不同", Panel("pnl状态"));
  EXPECT_EQ("首处差异: 第5行", Panel("pnl首处差异"));
  EXPECT_EQ("不同2行, 容许1行, 共300行", Panel("pnl统计"));
  EXPECT_EQ("第1行", Panel("pnl当前行"));
  Key(Qt::Key_Down);
  EXPECT_EQ("第2行: 容许 (日期行)", Panel("pnl当前行"));

  Key(Qt::Key_F7);
  EXPECT_EQ(4, view.View()->CurrentRow());
  EXPECT_EQ("第5行: 不同", Panel("pnl当前行"));
  Key(Qt::Key_F7);
  EXPECT_EQ(249, view.View()->CurrentRow());
  EXPECT_TRUE(InSight(249));
  Key(Qt::Key_F7);  // the last one: it stays
  EXPECT_EQ(249, view.View()->CurrentRow());
  Key(Qt::Key_F7, Qt::ShiftModifier);
  EXPECT_EQ(4, view.View()->CurrentRow());
  EXPECT_TRUE(InSight(4));
  QTest::mouseClick(testing::Control<QPushButton>(view, "cmd下一处"), Qt::LeftButton);
  EXPECT_EQ(249, view.View()->CurrentRow());
  Key(Qt::Key_End);
  EXPECT_EQ(299, view.View()->CurrentRow());
  EXPECT_TRUE(InSight(299));
  Key(Qt::Key_Home);
  EXPECT_EQ(0, view.View()->CurrentRow());

  // The differing row is painted on red, the tolerated one on yellow.
  Key(Qt::Key_F7);
  QImage shot = view.View()->viewport()->grab().toImage();
  int h = view.View()->fontMetrics().lineSpacing() + 2;
  auto colourOf = [&](int64_t row) {
    int y = h + 2 + static_cast<int>(row - view.View()->TopRow()) * h + h / 2;
    return shot.pixelColor(shot.width() - 3, y);
  };
  EXPECT_GT(colourOf(4).red(), colourOf(4).blue() + 20);
  EXPECT_GT(colourOf(1).green(), colourOf(1).blue() + 20);
  EXPECT_EQ(colourOf(0).blue(), colourOf(0).red());

  QTest::keyClick(&view, Qt::Key_Escape);
  EXPECT_TRUE(view.isHidden());
}

TEST_F(CompareViewTest, ADifferenceFarDownIsFoundBeforeTheFilesHaveBeenReadWhole) {
  std::string output, standard;
  std::string block;
  for (int i = 0; i < 1000; ++i) block += "x = 1.000000 y = 2.000000 z = 3.000000\n";
  for (int i = 0; i < 300; ++i) output += block;
  standard = output;
  output += "x = 9\n";
  standard += "x = 1\n";
  WriteFile(dir / "big.out", output);
  WriteFile(dir / "std/big.out", standard);
  view.Load("big.out", dir / "big.out", dir / "std/big.out", "内容不同");
  view.show();
  EXPECT_GT(view.View()->TopRow() + 1, 0);
  view.NextDifference();
  EXPECT_EQ(300000, view.View()->CurrentRow());
  EXPECT_EQ("第300001行: 不同", Panel("pnl当前行"));
  view.ReadAll();
  EXPECT_EQ("不同1行, 容许0行, 共300001行", Panel("pnl统计"));
  view.close();
}

TEST(PairViewTest, TheDifferingPartLiesBetweenTheCommonStartAndEnd) {
  PairView::Span span = PairView::DifferingSpan("M = 56.250", "M = 56.300");
  EXPECT_EQ(7, span.begin);  // "25" against "30": the last 0 is common again
  EXPECT_EQ(9, span.output_end);
  EXPECT_EQ(9, span.standard_end);
  span = PairView::DifferingSpan("abc", "abXc");
  EXPECT_EQ(2, span.begin);
  EXPECT_EQ(2, span.output_end);
  EXPECT_EQ(3, span.standard_end);
  span = PairView::DifferingSpan("aaa", "aa");
  EXPECT_EQ(2, span.begin);
  EXPECT_EQ(3, span.output_end);
  EXPECT_EQ(2, span.standard_end);
}

}  // namespace
}  // namespace corvala4
