#include "ui/status_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

#include "tests/window_fixture.h"
#include "ui/qt_user_interface.h"

namespace corvala4 {
namespace {

QPlainTextEdit* TextOf(QWidget& window) {
  return window.findChild<QPlainTextEdit*>("Text状态");
}

TEST(StatusWindowTest, CaptionNamesTheModeAndTheTextStartsEmpty) {
  frm状态 window;
  EXPECT_EQ("frm状态", window.objectName());
  EXPECT_EQ("自测试状态信息", window.windowTitle());
  ASSERT_NE(nullptr, TextOf(window));
  EXPECT_TRUE(TextOf(window)->isReadOnly());
  window.ShowEx(true);
  EXPECT_EQ("自测试状态信息[安静测试]", window.windowTitle());
  window.mobjReporter_AddMsg("[0/1]开始测试 ... .");
  window.ShowEx(false);
  EXPECT_EQ("自测试状态信息[正常测试]", window.windowTitle());
  EXPECT_EQ("", TextOf(window)->toPlainText());
  EXPECT_TRUE(window.isVisible());
  // It stays until the user closes it; Esc does.
  QTest::keyClick(TextOf(window), Qt::Key_Escape);
  EXPECT_TRUE(window.isHidden());
}

TEST(StatusWindowTest, ClearThenTwoLinesLeavesExactlyTwoLines) {
  frm状态 window;
  window.ShowEx(true);
  window.mobjReporter_AddMsg("stale");
  window.mobjReporter_Clear();
  window.mobjReporter_AddMsg("[0/2]开始测试 ... .");
  window.mobjReporter_AddMsg("---");
  EXPECT_EQ("[0/2]开始测试 ... .\n---\n", TextOf(window)->toPlainText());

  // New lines go to the end wherever the user put the cursor, and the box follows them.
  QPlainTextEdit* text = TextOf(window);
  QTextCursor start = text->textCursor();
  start.movePosition(QTextCursor::Start);
  text->setTextCursor(start);
  for (int i = 0; i < 100; ++i) window.mobjReporter_AddMsg("line " + std::to_string(i));
  QApplication::processEvents();
  EXPECT_TRUE(text->toPlainText().endsWith("line 99\n"));
  EXPECT_TRUE(text->textCursor().atEnd());
  EXPECT_GT(text->verticalScrollBar()->value(), 0);
  QRect cursor = text->cursorRect();
  EXPECT_TRUE(cursor.top() >= 0 && cursor.top() < text->viewport()->height());
}

TEST(StatusWindowTest, OpensInTheLowerRightCornerAndTheTextFillsIt) {
  frm状态 window;
  window.ShowEx(false);
  QRect screen = QGuiApplication::primaryScreen()->geometry();
  QRect frame = window.frameGeometry();
  EXPECT_EQ(screen.width() - frame.width(), frame.x());
  EXPECT_EQ(screen.height() - frame.height() - 30, frame.y());
  EXPECT_EQ(QSize(353, 90), window.size());
  EXPECT_EQ(QRect(QPoint(0, 0), window.size()), TextOf(window)->geometry());

  window.resize(500, 300);
  EXPECT_EQ(QRect(0, 0, 500, 300), TextOf(window)->geometry());
  // Moved by the user, an open window stays where it is at the next run.
  window.move(10, 10);
  QPoint moved = window.pos();
  window.ShowEx(true);
  EXPECT_EQ(moved, window.pos());
}

TEST(StatusWindowTest, NoResizingWhileMinimized) {
  frm状态 window;
  window.ShowEx(false);
  window.resize(400, 200);
  window.showMinimized();
  ASSERT_TRUE(window.isMinimized());
  window.resize(600, 400);
  EXPECT_EQ(QRect(0, 0, 400, 200), TextOf(window)->geometry());
  window.showNormal();
  EXPECT_EQ(QRect(QPoint(0, 0), window.size()), TextOf(window)->geometry());
}

/// Answers message boxes from a script and shows the status window for real.
class StatusWindowUI : public testing::ScriptedUserInterface {
 public:
  void ShowStatusWindow(Tester& tester, bool quiet) override { qt.ShowStatusWindow(tester, quiet); }
  void StatusLine(const std::string& line) override { qt.StatusLine(line); }
  void StatusClear() override { qt.StatusClear(); }
  QtUserInterface qt;
};

class StatusWindowRunTest : public testing::RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    SetUserInterface(status_ui);
  }
  std::shared_ptr<StatusWindowUI> status_ui = std::make_shared<StatusWindowUI>();
};

TEST_F(StatusWindowRunTest, TwoRunsInARowShareOneWindowAndAClosedOneHearsNothing) {
  Define({"A!", "B"});
  Open();
  core().SetStatWindowEnabled(true);
  core().Driver().RunCases(core().TestCases(), true);
  frm状态* window = status_ui->qt.StatusWindow();
  ASSERT_NE(nullptr, window);
  EXPECT_EQ("自测试状态信息[安静测试]", window->windowTitle());
  QStringList lines = TextOf(*window)->toPlainText().split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(9, lines.size());
  EXPECT_EQ("[0/2]开始测试 ... .", lines[0]);
  EXPECT_TRUE(lines[8].startsWith("[2/2]测试结束,总共耗时"));

  core().Driver().RunCases(core().TestCases(), false);
  EXPECT_EQ(window, status_ui->qt.StatusWindow());
  EXPECT_EQ("自测试状态信息[正常测试]", window->windowTitle());
  EXPECT_EQ(9, TextOf(*window)->toPlainText().split('\n', Qt::SkipEmptyParts).size());

  window->close();
  status_ui->qt.StatusLine("after close");
  status_ui->qt.StatusClear();
  EXPECT_TRUE(TextOf(*window)->toPlainText().startsWith("[0/2]"));
  EXPECT_FALSE(TextOf(*window)->toPlainText().contains("after close"));

  // A later run loads it anew, in its corner.
  window->move(0, 0);
  core().Driver().RunCases(core().TestCases(), true);
  EXPECT_TRUE(window->isVisible());
  EXPECT_NE(QPoint(0, 0), window->pos());
  core().SetStatWindowEnabled(false);
}

}  // namespace
}  // namespace corvala4
