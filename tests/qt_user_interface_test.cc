#include "ui/qt_user_interface.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "corvala4/unit_tests.h"
#include "foundation/errors.h"
#include "tests/window_fixture.h"
#include "ui/design.h"
#include "ui/error_dialog.h"
#include "ui/status_window.h"

namespace corvala4 {
namespace {

using testing::AnswerBoxes;
using testing::WhenModal;

/// The buttons of a message box, left to right, by their texts.
QStringList ButtonTexts(QMessageBox* box) {
  QList<QAbstractButton*> buttons = box->buttons();
  std::sort(buttons.begin(), buttons.end(),
            [](QAbstractButton* a, QAbstractButton* b) { return a->x() < b->x(); });
  QStringList texts;
  for (QAbstractButton* button : buttons) texts << button->text();
  return texts;
}

QAbstractButton* ButtonNamed(QWidget* box, const QString& text) {
  for (QAbstractButton* button : box->findChildren<QAbstractButton*>())
    if (button->text() == text) return button;
  return nullptr;
}

TEST(QtUserInterfaceTest, MessageBoxesShowTheStyleAndAnswerWithItsNumbers) {
  QtUserInterface qt;
  struct Case {
    int style;
    QStringList buttons;
    QMessageBox::Icon icon;
    QString press;
    int result;
  };
  const Case cases[] = {
      {16, {"确定"}, QMessageBox::Critical, "确定", kOk},
      {33, {"确定", "取消"}, QMessageBox::Question, "取消", kCancel},
      {48, {"确定"}, QMessageBox::Warning, "确定", kOk},
      {64, {"确定"}, QMessageBox::Information, "确定", kOk},
      {65, {"确定", "取消"}, QMessageBox::Information, "确定", kOk},
      {2, {"中止(&A)", "重试(&R)", "忽略(&I)"}, QMessageBox::NoIcon, "中止(&A)", kAbort},
      {2, {"中止(&A)", "重试(&R)", "忽略(&I)"}, QMessageBox::NoIcon, "忽略(&I)", kIgnore},
      {19, {"是(&Y)", "否(&N)", "取消"}, QMessageBox::Critical, "是(&Y)", kYes},
      {19, {"是(&Y)", "否(&N)", "取消"}, QMessageBox::Critical, "否(&N)", kNo},
      {20, {"是(&Y)", "否(&N)"}, QMessageBox::Critical, "否(&N)", kNo},
      {21, {"重试(&R)", "取消"}, QMessageBox::Critical, "重试(&R)", kRetry},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.style);
    WhenModal([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      ASSERT_NE(nullptr, box);
      EXPECT_EQ("标题", box->windowTitle());
      EXPECT_EQ("第一行\n第二行", box->text());
      EXPECT_EQ(c.icon, box->icon());
      EXPECT_EQ(c.buttons, ButtonTexts(box));
      ButtonNamed(box, c.press)->click();
    });
    EXPECT_EQ(c.result, qt.MsgBox("第一行\r\n第二行", c.style, "标题", "", 0));
  }
  // Esc answers Cancel where there is one, and OK in a box with nothing else.
  for (auto [style, result] : {std::pair{1, kCancel}, std::pair{0, kOk}, std::pair{3, kCancel}}) {
    WhenModal([](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); });
    EXPECT_EQ(result, qt.MsgBox("?", style, "Veltrana", "", 0));
  }
  // The second and third default-button flags.
  WhenModal([](QWidget* box) {
    EXPECT_EQ("否(&N)", qobject_cast<QMessageBox*>(box)->defaultButton()->text());
    QTest::keyClick(box, Qt::Key_Return);
  });
  EXPECT_EQ(kNo, qt.MsgBox("?", 3 + 256, "Veltrana", "", 0));
}

TEST(QtUserInterfaceTest, BoxesOfARunSitOnTheHiddenTestWindowNotOnTheStatusWindowAndFitTheirTitle) {
  QtUserInterface qt;
  QWidget test_window;
  test_window.setGeometry(40, 60, 640, 480);
  test_window.show();
  frm状态 status;
  status.ShowEx(false);
  status.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&status));
  // The run hides the test window; the status window is the active one.
  test_window.hide();
  SetRunOwner(&test_window, true);
  QPoint centre;
  QWidget* parent = &test_window;
  int width = 0, title = 0;
  WhenModal([&](QWidget* box) {
    centre = box->frameGeometry().center();
    parent = box->parentWidget();
    width = box->width();
    title = QFontMetrics(box->font()).horizontalAdvance(box->windowTitle());
    QTest::keyClick(box, Qt::Key_Return);
  });
  qt.MsgBox("是", 64, "Veltrana Veltrana Veltrana Veltrana", "", 0);
  SetRunOwner(nullptr, false);
  EXPECT_LE((centre - test_window.frameGeometry().center()).manhattanLength(), 2);
  EXPECT_NE(&status, parent);
  EXPECT_GT(width, title);

  // Without a test window the status window still owns nothing.
  EXPECT_NE(&status, OwnerWindow());
  status.close();
}

TEST(QtUserInterfaceTest, QtsOwnTextsAreChineseWhileTheTranslationsAreUp) {
  QString before = QCoreApplication::translate("QFileDialog", "Open");
  {
    QtTranslations chinese;
    ASSERT_TRUE(chinese.Loaded());
    EXPECT_NE("Open", QCoreApplication::translate("QFileDialog", "Open"));
    QtTranslations again;  // the first one's stay in place
    EXPECT_TRUE(again.Loaded());
  }
  EXPECT_EQ(before, QCoreApplication::translate("QFileDialog", "Open"));
}

TEST(QtUserInterfaceTest, YieldRunsPendingEvents) {
  QtUserInterface qt;
  bool ran = false;
  QTimer::singleShot(0, [&] { ran = true; });
  qt.DoEvents();
  EXPECT_TRUE(ran);
}

class QtLaunchTest : public testing::RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    SetUserInterface(qt);
  }
  std::shared_ptr<QtUserInterface> qt = std::make_shared<QtUserInterface>();
};

TEST_F(QtLaunchTest, TwoLaunchesInARowShowTheWindowFreshlyEachTime) {
  Define({"A!", "B"});
  QStringList first, second, boxes;
  // Launch: the window lists the cases; 选择全部, then 安静测试; its two closing
  // messages are answered; the window closes and Launch returns.
  QCoreApplication* app = QCoreApplication::instance();
  WhenModal([&](QWidget* window) {
    EXPECT_EQ("frm测试", window->objectName());
    EXPECT_EQ(app, QCoreApplication::instance());  // the host's own application serves
    auto* list = window->findChild<QListWidget*>("TestList");
    for (int i = 0; i < list->count(); ++i) first << list->item(i)->text();
    list->selectAll();
    AnswerBoxes(2, &boxes);
    window->findChild<QPushButton*>("cmd安静测试")->click();
  });
  tester.Launch();
  EXPECT_EQ(QStringList({"A(必测)", "B"}), first);
  ASSERT_EQ(2, boxes.size());
  EXPECT_EQ("全部选定自测试算例执行完成!", boxes[0]);
  EXPECT_FALSE(G().TestRunning);

  WhenModal([&](QWidget* window) {
    auto* list = window->findChild<QListWidget*>("TestList");
    for (int i = 0; i < list->count(); ++i) second << list->item(i)->text();
    QTest::keyClick(window, Qt::Key_Escape);
  });
  tester.Launch();
  EXPECT_EQ(QStringList({"A(必测)(通过)", "B(通过)"}), second);
}

TEST_F(QtLaunchTest, AFailedCaseOpensTheCompareWindowOnYes) {
  Define({"A!"});
  host.output["A"] = "not ok\n";
  Open();
  QStringList boxes;
  QString title, state;
  WhenModal([&](QWidget* box) {
    boxes << qobject_cast<QMessageBox*>(box)->text();
    WhenModal([&](QWidget* window) {
      title = window->windowTitle();
      state = window->findChild<QTreeWidget*>("lv输出文件")->topLevelItem(0)->text(2);
      QTest::keyClick(window, Qt::Key_Escape);
    });
    ButtonNamed(box, "是(&Y)")->click();
  });
  core().Driver().RunCases(core().TestCases(), false);
  EXPECT_EQ(QStringList({"算例'A'未通过,是否查看测试结果?"}), boxes);
  EXPECT_EQ("比较算例'A'的输出文件", title);
  EXPECT_EQ("长度不同", state);
}

TEST_F(QtLaunchTest, TheUnitRunnerRunsTheHostsTestsThroughIUnitTest) {
  RegisterUnitTest("adds", [] {});
  QString title, summary;
  WhenModal([&](QWidget* form) {
    title = form->windowTitle();
    form->findChild<QPushButton*>("btnRun")->click();
    summary = form->findChild<QLabel*>("lblSummary")->text();
    form->findChild<QPushButton*>("btnClose")->click();
  });
  tester.UnitTest().Launch();
  ClearUnitTests();
  EXPECT_EQ("Form1", title);
  EXPECT_EQ("Tests: 1, passed: 1, failed: 0", summary);
}

TEST_F(QtLaunchTest, ErrorsOfARunReachTheErrorDialog) {
  Define({"A"});
  Open();
  QString summary;
  WhenModal([&](QWidget* dialog) {
    EXPECT_EQ("frm错误", dialog->objectName());
    summary = dialog->findChild<QLabel*>("lbl概述")->text();
    dialog->findChild<QPushButton*>("cmd确定")->click();
  });
  ShowError(Error(53, "S", "找不到文件.<+>细节"));
  EXPECT_EQ("找不到文件.", summary);
}

}  // namespace
}  // namespace corvala4
