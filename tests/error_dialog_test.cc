#include "ui/error_dialog.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "foundation/errors.h"
#include "tests/window_fixture.h"

namespace corvala4 {
namespace {

using testing::WhenModal;

class ErrorDialogTest : public testing::RunFixture {
 protected:
  template <typename T>
  T* Control(const char* name) {
    return testing::Control<T>(dialog, name);
  }
  bool DetailsShown() { return !Control<QPlainTextEdit>("txt细节")->isHidden(); }
  /// The control that Tab moves to from `from`, past the parts of `from` itself.
  static QWidget* NextTabStop(QWidget* from) {
    for (QWidget* w = from->nextInFocusChain(); w != from; w = w->nextInFocusChain())
      if (!from->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus)) return w;
    return nullptr;
  }

  frm错误 dialog;
};

TEST_F(ErrorDialogTest, FoldsAndUnfoldsWithTheDesignedHeights) {
  EXPECT_EQ("frm错误", dialog.objectName());
  EXPECT_EQ("错误提示", dialog.windowTitle());
  EXPECT_EQ(QRect(20, 24, 32, 32), Control<QLabel>("Image1")->geometry());
  EXPECT_EQ(QRect(72, 24, 305, 57), Control<QLabel>("lbl概述")->geometry());
  EXPECT_EQ(QRect(200, 96, 73, 25), Control<QPushButton>("cmd确定")->geometry());
  EXPECT_EQ(QRect(280, 96, 101, 25), Control<QPushButton>("cmd详细信息")->geometry());
  EXPECT_EQ(QRect(4, 132, 385, 121), Control<QPlainTextEdit>("txt细节")->geometry());
  EXPECT_EQ("确定(&O)", Control<QPushButton>("cmd确定")->text());
  EXPECT_FALSE(Control<QPushButton>("cmd确定")->isDefault());
  EXPECT_FALSE(Control<QPushButton>("cmd详细信息")->isDefault());

  // Outer heights 2265 and 4245 twips, less the caption and borders (375).
  auto* details = Control<QPushButton>("cmd详细信息");
  EXPECT_EQ(QSize(393, 126), dialog.size());
  EXPECT_FALSE(DetailsShown());
  EXPECT_EQ("显示细节(&D) >>", details->text());
  QTest::mouseClick(details, Qt::LeftButton);
  EXPECT_EQ(QSize(393, 258), dialog.size());
  EXPECT_TRUE(DetailsShown());
  EXPECT_EQ("隐藏细节(&D) <<", details->text());
  QTest::mouseClick(details, Qt::LeftButton);
  EXPECT_EQ(QSize(393, 126), dialog.size());
  EXPECT_FALSE(DetailsShown());
  EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());

  // Tab order: the details, 确定, 显示细节.
  EXPECT_EQ(Control<QPushButton>("cmd确定"), NextTabStop(Control<QPlainTextEdit>("txt细节")));
  EXPECT_EQ(details, NextTabStop(Control<QPushButton>("cmd确定")));
}

TEST_F(ErrorDialogTest, SilentWithoutATesterOrWithoutAUserInterface) {
  // No modal window may come up: ShowEx returns at once.
  dialog.ShowEx("概述", "细节");
  EXPECT_TRUE(dialog.isHidden());
  Define({"A"});
  Open();
  core().SetShowUI(false);
  dialog.ShowEx("概述", "细节");
  EXPECT_TRUE(dialog.isHidden());
}

TEST_F(ErrorDialogTest, OpensFoldedWithTheTextsExactlyAsBuilt) {
  Define({"A"});
  Open();
  Error error(53, "DetailedFSO", "文件'x'未找到.<+>文件未找到\r\n路径: x");
  std::string summary = ErrSummaryText(error);
  std::string details = ErrDetailText(error);
  std::vector<std::string> seen;
  WhenModal([&](QWidget*) {
    seen.push_back(Control<QLabel>("lbl概述")->text().toStdString());
    seen.push_back(Control<QPlainTextEdit>("txt细节")->toPlainText().toStdString());
    // The window may not be the active one on a busy machine; its focus widget is what counts.
    EXPECT_EQ(Control<QPushButton>("cmd确定"), dialog.focusWidget());
    EXPECT_TRUE(Control<QPlainTextEdit>("txt细节")->isReadOnly());
    // Esc is no cancel button here; the details unfold for the next check.
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_TRUE(dialog.isVisible());
    QTest::mouseClick(Control<QPushButton>("cmd详细信息"), Qt::LeftButton);
    EXPECT_TRUE(DetailsShown());
    QTest::mouseClick(Control<QPushButton>("cmd确定"), Qt::LeftButton);
  });
  dialog.ShowEx(summary, details);
  ASSERT_EQ(2u, seen.size());
  EXPECT_EQ("文件'x'未找到.", seen[0]);
  EXPECT_EQ("错误 53\n位置 DetailedFSO\n描述 文件未找到\n路径: x\n", seen[1]);
  EXPECT_TRUE(dialog.isHidden());

  // Left unfolded, the next error still opens folded, with its own texts; the close
  // box ends it as 确定 does.
  bool folded = false;
  WhenModal([&](QWidget*) {
    folded = !DetailsShown() && Control<QPushButton>("cmd详细信息")->text() == "显示细节(&D) >>";
    seen.push_back(Control<QLabel>("lbl概述")->text().toStdString());
    dialog.close();
  });
  dialog.ShowEx("第二个错误", "");
  EXPECT_TRUE(folded);
  EXPECT_EQ("第二个错误", seen.back());
  EXPECT_TRUE(dialog.isHidden());
}

TEST_F(ErrorDialogTest, LongSummaryWrapsAndLongDetailsScroll) {
  auto* summary = Control<QLabel>("lbl概述");
  EXPECT_TRUE(summary->wordWrap());
  summary->setText(QString("很长的错误概述").repeated(12));
  EXPECT_GT(summary->heightForWidth(summary->width()), summary->fontMetrics().height() * 2);

  auto* details = Control<QPlainTextEdit>("txt细节");
  details->setPlainText(QString("描述 一行细节\n").repeated(40));
  QTest::mouseClick(Control<QPushButton>("cmd详细信息"), Qt::LeftButton);
  dialog.show();
  QApplication::processEvents();
  EXPECT_GT(details->verticalScrollBar()->maximum(), 0);
  EXPECT_EQ(Qt::ScrollBarAlwaysOn, details->verticalScrollBarPolicy());
  dialog.hide();
}

TEST_F(ErrorDialogTest, ASummaryOfSeveralLinesShowsWholeAndPushesTheButtonsDown) {
  Define({"A"});
  Open();
  std::string summary =
      "无法复制文件'TestData/Beam05/forces.out'到'TestData_make/Beam05/forces.out'.\r\n"
      "目标文件夹不存在或不能写入,请检查输出目录的权限.\r\n第三行: 算例 组合荷载简支梁";
  int folded = 0, unfolded = 0;
  bool whole = false, below = false;
  WhenModal([&](QWidget*) {
    auto* label = Control<QLabel>("lbl概述");
    whole = label->heightForWidth(label->width()) <= label->height();
    below = Control<QPushButton>("cmd确定")->y() >= label->geometry().bottom();
    folded = dialog.height();
    QTest::mouseClick(Control<QPushButton>("cmd详细信息"), Qt::LeftButton);
    unfolded = dialog.height();
    below = below &&
            Control<QPlainTextEdit>("txt细节")->y() > Control<QPushButton>("cmd确定")->geometry().bottom();
    QTest::mouseClick(Control<QPushButton>("cmd确定"), Qt::LeftButton);
  });
  dialog.ShowEx(summary, "细节");
  EXPECT_TRUE(whole);
  EXPECT_TRUE(below);
  EXPECT_GE(folded, 126);
  EXPECT_EQ(folded + 132, unfolded);  // the details keep their designed height below
  // A short summary keeps the designed heights.
  WhenModal([&](QWidget*) {
    folded = dialog.height();
    dialog.close();
  });
  dialog.ShowEx("短", "");
  EXPECT_EQ(126, folded);
}

TEST_F(ErrorDialogTest, StopSignIsARedOctagonWithWhiteLetters) {
  QImage sign = Control<QLabel>("Image1")->pixmap().toImage();
  ASSERT_EQ(QSize(32, 32), sign.size());
  EXPECT_EQ(0, qAlpha(sign.pixel(0, 0)));  // the corners lie outside the octagon
  EXPECT_EQ(0, qAlpha(sign.pixel(31, 31)));
  QColor edge = sign.pixelColor(16, 7);
  EXPECT_GT(edge.red(), 150);
  EXPECT_LT(edge.green(), 60);
  int white = 0;
  for (int x = 4; x < 28; ++x)
    if (sign.pixelColor(x, 16).lightness() > 200) ++white;
  EXPECT_GT(white, 3);  // the letters cross the middle line
}

}  // namespace
}  // namespace corvala4
