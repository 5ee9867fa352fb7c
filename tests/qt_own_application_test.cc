// A host that is no Qt application: the windows make an application for the time of
// each call that shows something, and leave nothing behind for the next one.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <cstdlib>

#include "tests/window_fixture.h"
#include "ui/qt_user_interface.h"
#include "ui/status_window.h"

namespace corvala4 {
namespace {

TEST(QtOwnApplicationTest, EachCallHasAnApplicationOfItsOwnAndEndsIt) {
  QtUserInterface qt("offscreen");
  Tester tester;
  ASSERT_EQ(nullptr, QCoreApplication::instance());
  qt.DoEvents();  // nothing to yield to, and no application made for it
  EXPECT_EQ(nullptr, QCoreApplication::instance());
  for (int call = 0; call < 2; ++call) {
    qt.ShowStatusWindow(tester, call == 0);
    // The window went with the application at the end of the call.
    EXPECT_EQ(nullptr, QCoreApplication::instance());
    EXPECT_EQ(nullptr, qt.StatusWindow());
    qt.StatusLine("a line for no window");
    qt.StatusClear();
  }
  qt.ShowErrorDialog("概述", "细节");  // no tester's context is open: silent
  EXPECT_EQ(nullptr, QCoreApplication::instance());
}

TEST(QtOwnApplicationTest, ADisplayThatNoLongerAnswersIsAnsweredAsWithoutOne) {
  testing::IsolatedEnvironment env;
  unsetenv("DISPLAY");
  QtUserInterface qt("xcb");
  EXPECT_EQ(0, qt.MsgBox("还在吗?", kYesNo | kQuestion, "Veltrana", "", 0));
  EXPECT_EQ(nullptr, QCoreApplication::instance());
  EXPECT_NE(std::string::npos, env.ReadLog().find("Warning: Veltrana: 还在吗?"));
}

TEST(QtOwnApplicationTest, AnOperationKeepsOneApplicationForAllItsCalls) {
  testing::IsolatedEnvironment env;
  static std::string host_saw;
  QtMessageHandler before = qInstallMessageHandler(
      [](QtMsgType, const QMessageLogContext&, const QString& text) { host_saw += text.toStdString(); });
  QtUserInterface qt("offscreen");
  Tester tester;
  qt.BeginOperation();
  qt.ShowStatusWindow(tester, true);
  QCoreApplication* app = QCoreApplication::instance();
  ASSERT_NE(nullptr, app);
  frm状态* window = qt.StatusWindow();
  ASSERT_NE(nullptr, window);
  qt.StatusLine("[0/1]开始测试 ... .");
  qt.ShowStatusWindow(tester, false);
  EXPECT_EQ(app, QCoreApplication::instance());
  EXPECT_EQ(window, qt.StatusWindow());
  EXPECT_TRUE(window->isVisible());
  // Qt's own messages go to the module's log while the application is ours, then to the host again.
  qWarning("from Qt during the operation");
  // The status window keeps the last lines until the user closes it: the operation ends then.
  bool closed = false;
  QTimer::singleShot(50, window, [&] {
    closed = true;
    QTest::keyClick(window, Qt::Key_Escape);
  });
  qt.EndOperation();
  EXPECT_TRUE(closed);
  EXPECT_EQ(nullptr, QCoreApplication::instance());
  EXPECT_EQ(nullptr, qt.StatusWindow());
  EXPECT_NE(std::string::npos, env.ReadLog().find("Warning: Qt: from Qt during the operation"));
  qWarning("after it");
  EXPECT_EQ("after it", host_saw);
  qInstallMessageHandler(before);
}

}  // namespace
}  // namespace corvala4
