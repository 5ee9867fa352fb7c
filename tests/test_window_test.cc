#include "ui/test_window.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCursor>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

#include "foundation/globals.h"
#include "foundation/platform/run_lock.h"
#include "settings/global_setting.h"
#include "tests/window_fixture.h"
#include "ui/design.h"

namespace corvala4 {
namespace {

using testing::WriteFile;

class TestWindowTest : public testing::RunFixture {
 protected:
  template <typename T>
  T* Control(const char* name) {
    return testing::Control<T>(window, name);
  }
  QListWidget* List() { return Control<QListWidget>("TestList"); }
  QComboBox* Combo() { return Control<QComboBox>("Combo过滤器"); }
  /// Loads the window over the defined cases and shows it, as a launch does (but not modally).
  void Show() {
    Open();
    window.Load(core());
    ShowActive();
  }
  /// Shows the loaded window as the active one, so that its keys reach it.
  void ShowActive() {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  }
  QStringList Entries() {
    QStringList texts;
    for (int i = 0; i < List()->count(); ++i) texts << List()->item(i)->text();
    return texts;
  }
  std::vector<int> SelectedRows() {
    std::vector<int> rows;
    for (int i = 0; i < List()->count(); ++i)
      if (List()->item(i)->isSelected()) rows.push_back(i);
    return rows;
  }
  QString Panel(const char* key) { return Control<QLabel>(key)->text(); }
  void ClickEntry(int row, Qt::KeyboardModifiers modifiers = {}) {
    QRect place = List()->visualItemRect(List()->item(row));
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, modifiers, place.center());
  }
  /// Picks a selection shortcut from the drop-down list as the user does.
  void Shortcut(int index) {
    Combo()->showPopup();
    QAbstractItemView* view = Combo()->view();
    QRect entry = view->visualRect(view->model()->index(index, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, entry.center());
    QApplication::processEvents();
  }
  void DoubleClickEntry(int row, Qt::KeyboardModifiers modifiers = {}) {
    QRect place = List()->visualItemRect(List()->item(row));
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, modifiers, place.center());
    QTest::mouseDClick(List()->viewport(), Qt::LeftButton, modifiers, place.center());
  }
  QAction* Item(const char* name) { return Control<QAction>(name); }
  std::vector<std::string> Prompts() {
    std::vector<std::string> prompts;
    for (const auto& box : ui->boxes) prompts.push_back(box.prompt);
    return prompts;
  }

  testing::ScopedCapturingLauncher launcher;
  frm测试 window;
};

TEST_F(TestWindowTest, ControlsCarryTheirDesignedNamesTextsAndPlaces) {
  Define({"A"});
  Show();
  EXPECT_EQ("frm测试", window.objectName());
  EXPECT_EQ("Veltrana 4.1版 (Build 0)", window.windowTitle());
  EXPECT_EQ(QSize(649, 504), window.size());
  EXPECT_EQ("选择测试算例(可多选)：", Control<QLabel>("Label提示")->text());
  EXPECT_EQ(QRect(8, 12, 185, 17), Control<QLabel>("Label提示")->geometry());
  EXPECT_EQ(QRect(8, 32, 633, 268), List()->geometry());
  EXPECT_EQ(QRect(8, 308, 633, 133), Control<QPlainTextEdit>("txt说明")->geometry());
  EXPECT_EQ(QRect(456, 448, 105, 25), Control<QPushButton>("cmd正常测试")->geometry());
  EXPECT_EQ(QAbstractItemView::ExtendedSelection, List()->selectionMode());
  EXPECT_TRUE(Control<QPlainTextEdit>("txt说明")->isReadOnly());
  EXPECT_FALSE(Combo()->isEditable());
  QStringList shortcuts;
  for (int i = 0; i < Combo()->count(); ++i) shortcuts << Combo()->itemText(i);
  EXPECT_EQ(
      QStringList({"请选择...", "选择全部", "选择必测", "选择未通过", "必测未通过", "反向选择", "全部取消"}),
      shortcuts);
  const std::pair<const char*, const char*> buttons[] = {{"cmd选项", "选项(&P)..."},
                                                         {"cmd操作菜单", "操作菜单(&O)"},
                                                         {"cmd安静测试", "安静测试(&S)"},
                                                         {"cmd正常测试", "正常测试(&T)"},
                                                         {"cmd取消", "取消(&C)"}};
  for (const auto& [name, text] : buttons) EXPECT_EQ(text, Control<QPushButton>(name)->text());
  EXPECT_EQ("请在选中算例后点击此按钮!", Control<QPushButton>("cmd操作菜单")->toolTip());
  EXPECT_EQ("在执行过程中发生计算结果不匹配的情况时不会进行提示,仅在全部选定算例执行后提示完成.",
            Control<QPushButton>("cmd安静测试")->toolTip());
  EXPECT_EQ("双击显示详细信息", Control<QLabel>("配置文件")->toolTip());
  EXPECT_NE(nullptr, window.findChild<QObject*>("mnu快捷菜单"));

  // The list and the details grow with the window; the run buttons keep to the corner.
  window.resize(649 + 100, 504 + 90);
  EXPECT_EQ(QRect(8, 32, 733, 328), List()->geometry());
  EXPECT_EQ(QRect(8, 368, 733, 163), Control<QPlainTextEdit>("txt说明")->geometry());
  EXPECT_EQ(QRect(556, 538, 105, 25), Control<QPushButton>("cmd正常测试")->geometry());
  EXPECT_EQ(QRect(8, 538, 89, 25), Control<QPushButton>("cmd选项")->geometry());
  EXPECT_EQ(QPoint(644, 8), Combo()->pos());
  EXPECT_EQ(window.height(), Control<QStatusBar>("StatusBar")->geometry().bottom() + 1);
}

TEST_F(TestWindowTest, ListsEveryCaseInOrderWithItsMarkersAndTheDetailsOfTheFirst) {
  Define({"B!+", "A", "C-", "D#"});
  Open();
  Pass({2});
  window.Load(core());
  EXPECT_EQ(QStringList({"B(必测)", "A(通过)", "C(缺失)", "D"}), Entries());
  EXPECT_EQ(0, List()->currentRow());
  EXPECT_TRUE(SelectedRows().empty());
  std::string work = env.dir() / "TestData_make";
  EXPECT_EQ(
      "算例名称: B\n"
      "测试功能: 1\n"
      "是否必测: True\n"
      "是否存在: True\n"
      "是否通过: False\n"
      "算例目录: " +
          env.dir() / "TestData/B" +
          "\n"
          "输出目录: " +
          work +
          "/B\n"
          "工程文件: p.prj\n"
          "输出文件: (2个)\n"
          "r.out\n"
          "m.dat (计算时需保留)\n",
      Control<QPlainTextEdit>("txt说明")->toPlainText().toStdString());

  // The details follow the entry in focus; a case without outputs ends with (0个).
  ShowActive();
  ClickEntry(3);
  EXPECT_TRUE(Control<QPlainTextEdit>("txt说明")->toPlainText().endsWith("输出文件: (0个)\n"));
  EXPECT_EQ("已选算例:1", Panel("已选算例"));
}

TEST_F(TestWindowTest, PanelsCountTheSelectionAndTheWholeCollection) {
  Define({"C1!", "C2!", "C3!", "C4!", "C5", "C6", "C7", "C8", "C9", "C10"});
  Open();
  Pass({1, 2, 5, 6, 7, 8});
  window.Load(core());
  ShowActive();
  EXPECT_EQ("已选算例:0", Panel("已选算例"));
  EXPECT_EQ("必测算例:4", Panel("必测算例"));
  EXPECT_EQ("未通过算例:4", Panel("未通过算例"));
  EXPECT_EQ("算例总数:10", Panel("算例总数"));
  EXPECT_EQ("配置文件:CALC_TEST_DAT.XML", Panel("配置文件"));
  ClickEntry(2);
  ClickEntry(4, Qt::ShiftModifier);
  EXPECT_EQ("已选算例:3", Panel("已选算例"));
}

TEST_F(TestWindowTest, SelectionShortcutsSetEveryEntry) {
  Define({"M1!", "M2!", "N1", "N2", "N3"});
  Open();
  Pass({1, 3});
  window.Load(core());
  ShowActive();
  ClickEntry(4);

  Shortcut(0);  // the prompt changes nothing
  EXPECT_EQ(std::vector<int>({4}), SelectedRows());
  Shortcut(2);  // mandatory: replaces the selection
  EXPECT_EQ(std::vector<int>({0, 1}), SelectedRows());
  EXPECT_EQ(0, Combo()->currentIndex());
  EXPECT_EQ(List(), window.focusWidget());
  EXPECT_EQ("已选算例:2", Panel("已选算例"));
  Shortcut(3);  // not passed
  EXPECT_EQ(std::vector<int>({1, 3, 4}), SelectedRows());
  Shortcut(4);  // mandatory, not passed
  EXPECT_EQ(std::vector<int>({1}), SelectedRows());
  Shortcut(5);  // invert
  EXPECT_EQ(std::vector<int>({0, 2, 3, 4}), SelectedRows());
  Shortcut(1);
  EXPECT_EQ(std::vector<int>({0, 1, 2, 3, 4}), SelectedRows());
  EXPECT_EQ("已选算例:5", Panel("已选算例"));
  Shortcut(6);
  EXPECT_TRUE(SelectedRows().empty());
  EXPECT_EQ(0, Combo()->currentIndex());
}

TEST_F(TestWindowTest, F5RefillsTheListAndEscClosesTheWindow) {
  Define({"A", "B"});
  Open();
  Pass({1});
  window.Load(core());
  ShowActive();
  ClickEntry(1);
  EXPECT_EQ("A(通过)", List()->item(0)->text());
  core().TestCases()->At(1)->SetPassed(false);
  QTest::keyClick(List(), Qt::Key_F5);
  EXPECT_EQ("A", List()->item(0)->text());
  EXPECT_EQ(0, List()->currentRow());
  EXPECT_TRUE(SelectedRows().empty());
  QTest::keyClick(List(), Qt::Key_Escape);
  EXPECT_TRUE(window.isHidden());
}

TEST_F(TestWindowTest, RunWithNothingUsableSelectedSaysSoAndStaysOpen) {
  Define({"A", "X-", "Y-"});
  Show();
  QTest::mouseClick(Control<QPushButton>("cmd正常测试"), Qt::LeftButton);
  ASSERT_EQ(1u, ui->boxes.size());
  EXPECT_EQ("未选中项目!", ui->boxes[0].prompt);
  EXPECT_EQ(16, ui->boxes[0].style);
  EXPECT_EQ("Veltrana", ui->boxes[0].title);

  ClickEntry(1);
  ClickEntry(2, Qt::ControlModifier);
  QTest::mouseClick(Control<QPushButton>("cmd安静测试"), Qt::LeftButton);
  EXPECT_EQ(std::vector<std::string>({"未选中项目!", "算例'X'不存在!", "算例'Y'不存在!", "未选中项目!"}),
            Prompts());
  EXPECT_EQ(48, ui->boxes[1].style);
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(0, host.calculated);
}

TEST_F(TestWindowTest, NormalRunOfTwoSelectedCasesHidesTheWindowThenClosesIt) {
  Define({"A!", "B!", "C-", "D"});
  Show();
  ClickEntry(1);
  ClickEntry(2, Qt::ControlModifier);
  ClickEntry(3, Qt::ControlModifier);
  bool hidden_during_run = true;
  host.on_do_test = [&](TestCase&) { hidden_during_run &= window.isHidden(); };
  QTest::mouseClick(Control<QPushButton>("cmd正常测试"), Qt::LeftButton);
  EXPECT_EQ(std::vector<std::string>({"B", "D"}), Calculated());
  EXPECT_TRUE(hidden_during_run);
  EXPECT_EQ(std::vector<std::string>(
                {"算例'C'不存在!", "算例'B'通过了正确性自测试!", "算例'D'通过了正确性自测试!"}),
            Prompts());
  EXPECT_TRUE(window.isHidden());
  EXPECT_EQ(QDialog::Accepted, window.result());
  EXPECT_TRUE(core().TestCases()->At(2)->Passed());
  EXPECT_FALSE(core().TestCases()->At(1)->Passed());
}

TEST_F(TestWindowTest, QuietRunShowsOnlyTheClosingMessages) {
  Define({"A!", "B"});
  Show();
  Shortcut(1);
  QTest::mouseClick(Control<QPushButton>("cmd安静测试"), Qt::LeftButton);
  EXPECT_EQ(std::vector<std::string>({"A", "B"}), Calculated());
  ASSERT_EQ(2u, ui->boxes.size());
  EXPECT_EQ("全部选定自测试算例执行完成!", ui->boxes[0].prompt);
  EXPECT_EQ(0u, ui->boxes[1].prompt.find("祝贺您！"));
  EXPECT_TRUE(window.isHidden());
}

TEST_F(TestWindowTest, AFailingHandlerShowsTheErrorAndTheWindowGoesOn) {
  Define({"A", "B"});
  Show();
  // The cases are gone behind the window's back: the entry's tag no longer leads to one.
  core().TestCases()->Clear();
  ClickEntry(1);
  ASSERT_FALSE(ui->errors.empty());
  EXPECT_NE(std::string::npos, ui->errors[0].second.find("错误 9"));
  EXPECT_TRUE(window.isVisible());
}

TEST_F(TestWindowTest, TheCaseMenuHasItsItemsInOrderAndPopsUpAtARightClickOrTheButton) {
  Define({"A"});
  Show();
  auto* menu = Control<QMenu>("mnu快捷菜单");
  QStringList items;
  for (QAction* item : menu->actions())
    items << item->objectName() + "=" + (item->isSeparator() ? "-" : item->text());
  EXPECT_EQ(QStringList({"mnu比较算例的输出文件=比较算例(&F) ...", "mnu比较目录=比较目录(&L)", "mnu_s10=-",
                         "mnu刷新=刷新(&E)", "mnu_s20=-", "mnu定位算例的标准目录=定位算例的标准目录(&D)",
                         "mnu定位标准目录=定位标准目录(&S)", "mnu_s25=-",
                         "mnu定位算例的输出目录=定位算例的输出目录(&O)", "mnu定位输出目录=定位输出目录(&R)",
                         "mnu_s30=-", "mnu重置算例的状态=重置算例的状态(&R)",
                         "mnu删除算例的输出目录=删除算例的输出目录(&C)"}),
            items);
  EXPECT_EQ(QKeySequence(Qt::Key_F5), Item("mnu刷新")->shortcut());

  int popups = 0;
  auto close = [&](QWidget* popup) {
    popups += popup == menu;
    QTest::keyClick(popup, Qt::Key_Escape);
  };
  testing::WhenPopup(close);
  QRect entry = List()->visualItemRect(List()->item(0));
  // What a right-button click on the list makes.
  QPoint global = List()->viewport()->mapToGlobal(entry.center());
  QContextMenuEvent event(QContextMenuEvent::Mouse, entry.center(), global);
  QApplication::sendEvent(List()->viewport(), &event);
  testing::WhenPopup(close);
  QTest::mouseClick(Control<QPushButton>("cmd操作菜单"), Qt::LeftButton);
  EXPECT_EQ(2, popups);
  EXPECT_TRUE(ui->boxes.empty());
}

TEST_F(TestWindowTest, ResetCountsACaseWithoutItsFolderAsResetAndRefillsTheList) {
  Define({"A", "B-", "C", "D"});
  Open();
  Pass({1, 3, 4});
  window.Load(core());
  ShowActive();
  ClickEntry(0);
  ClickEntry(2, Qt::ShiftModifier);
  Item("mnu重置算例的状态")->trigger();
  EXPECT_EQ(std::vector<std::string>({"重置3个算例 (成功:3 失败:0)"}), Prompts());
  EXPECT_EQ(64, ui->boxes[0].style);
  EXPECT_EQ(QStringList({"A", "B(缺失)", "C", "D(通过)"}), Entries());
  EXPECT_FALSE(core().TestCases()->At(1)->Passed());
  EXPECT_FALSE(core().TestCases()->At(3)->Passed());
}

TEST_F(TestWindowTest, DeleteRemovesTheWorkingFoldersOfTheSelectedCases) {
  Define({"A", "B", "C-"});
  Show();
  Item("mnu删除算例的输出目录")->trigger();
  EXPECT_EQ(std::vector<std::string>({"删除0个目录 (成功: 0 失败: 0)"}), Prompts());

  std::string work = env.dir() / "TestData_make";
  WriteFile(work + "/A/r.out", "x");
  WriteFile(work + "/B/r.out", "x");
  Shortcut(1);
  Item("mnu删除算例的输出目录")->trigger();
  EXPECT_EQ(std::vector<std::string>(
                {"删除0个目录 (成功: 0 失败: 0)", "算例'C'不存在!", "删除2个目录 (成功: 2 失败: 0)"}),
            Prompts());
  EXPECT_FALSE(testing::Exists(work + "/A"));
  EXPECT_FALSE(testing::Exists(work + "/B"));
  EXPECT_EQ(QStringList({"A", "B", "C(缺失)"}), Entries());
}

TEST_F(TestWindowTest, ResetAndDeleteLeaveAloneTheTestDataAnotherProcessRunsOn) {
  Define({"A", "B"});
  Open();
  Pass({1});
  window.Load(core());
  ShowActive();
  std::string work = env.dir() / "TestData_make";
  WriteFile(work + "/A/r.out", "x");
  // Another process's run: it holds the lock of the test data until it is ended.
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t other = fork();
  ASSERT_GE(other, 0);
  if (other == 0) {
    int fd = open(RunLock::FileOf(env.dir() / "TestData").c_str(), O_RDWR | O_CREAT, 0666);
    if (fd < 0 || flock(fd, LOCK_EX) != 0 || write(ready[1], "x", 1) != 1) _exit(1);
    pause();
    _exit(0);
  }
  close(ready[1]);
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 1);
  close(ready[0]);

  ClickEntry(0);
  Item("mnu重置算例的状态")->trigger();
  Item("mnu删除算例的输出目录")->trigger();
  kill(other, SIGKILL);
  waitpid(other, nullptr, 0);
  ASSERT_EQ(Prompts().size(), 2u);
  for (const std::string& prompt : Prompts())
    EXPECT_EQ(prompt.rfind("测试数据正被另一个运行使用, 未做任何更改!\r\n", 0), 0u) << prompt;
  EXPECT_TRUE(core().TestCases()->At(1)->Passed());
  EXPECT_TRUE(testing::Exists(work + "/A/r.out"));

  // Once it has ended, both do their work.
  Item("mnu删除算例的输出目录")->trigger();
  EXPECT_FALSE(testing::Exists(work + "/A"));
}

TEST_F(TestWindowTest, TheDoubleClickActionIsReadAtEveryDoubleClick) {
  Define({"A", "B 梁", "C"});
  Show();
  WriteFile(env.dir() / "tool", "");
  Setting().SetExternalToolPath(env.dir() / "tool");
  Setting().SetDoubleClickAction(2);
  ClickEntry(0);
  DoubleClickEntry(1, Qt::ControlModifier);  // two cases selected
  std::string work = env.dir() / "TestData_make", std = env.dir() / "TestData";
  ASSERT_EQ(2u, launcher->calls.size());
  EXPECT_EQ((std::vector<std::string>{env.dir() / "tool", work + "/A", std + "/A"}), launcher->calls[0]);
  EXPECT_EQ((std::vector<std::string>{env.dir() / "tool", work + "/B 梁", std + "/B 梁"}),
            launcher->calls[1]);

  Setting().SetDoubleClickAction(1);
  DoubleClickEntry(2);
  EXPECT_EQ(std::vector<std::string>({"C"}), ui->compared);
  Setting().SetDoubleClickAction(3);
  DoubleClickEntry(0);
  Setting().SetDoubleClickAction(-1);
  DoubleClickEntry(0);
  EXPECT_EQ(2u, launcher->calls.size());
  EXPECT_EQ(1u, ui->compared.size());
  EXPECT_TRUE(ui->boxes.empty());

  Setting().SetDoubleClickAction(0);
  DoubleClickEntry(1);
  EXPECT_EQ(std::vector<std::string>({"B 梁"}), Calculated());
  EXPECT_TRUE(window.isHidden());
}

TEST_F(TestWindowTest, CompareCommandsHandTheSelectedCasesOrTheRootFolders) {
  Define({"A", "B", "C-"});
  Show();
  WriteFile(env.dir() / "tool", "");
  Setting().SetExternalToolPath(env.dir() / "tool");
  Shortcut(1);
  Item("mnu比较算例的输出文件")->trigger();
  EXPECT_EQ(std::vector<std::string>({"A", "B"}), ui->compared);
  Item("mnu比较目录")->trigger();
  ASSERT_EQ(1u, launcher->calls.size());
  std::vector<std::string> roots = {env.dir() / "tool", env.dir() / "TestData_make", env.dir() / "TestData"};
  EXPECT_EQ(roots, launcher->calls[0]);
}

TEST_F(TestWindowTest, FoldersOpenInTheFileBrowserEachAsOneArgument) {
  Define({"A", "梁 '一'", "C-"});
  Show();
  std::string work = env.dir() / "TestData_make", std = env.dir() / "TestData";
  Shortcut(1);
  Item("mnu定位算例的标准目录")->trigger();
  Item("mnu定位算例的输出目录")->trigger();
  Item("mnu定位标准目录")->trigger();
  Item("mnu定位输出目录")->trigger();
  std::vector<std::vector<std::string>> opened;
  for (const std::string& folder : {std + "/A", std + "/梁 '一'", work + "/A", work + "/梁 '一'", std, work})
    opened.push_back({"xdg-open", folder});
  EXPECT_EQ(opened, launcher->calls);
  EXPECT_EQ("explorer.exe \"" + std + "/梁 '一'\"", launcher->texts[1]);
  EXPECT_TRUE(testing::Exists(work));

  // Without xdg-open the user is told what is missing.
  launcher->start_error = 53;
  Item("mnu定位标准目录")->trigger();
  ASSERT_EQ(1u, ui->errors.size());
  EXPECT_EQ("无法打开文件浏览器:未找到程序'xdg-open'.", ui->errors[0].first);
  EXPECT_TRUE(window.isVisible());
}

TEST_F(TestWindowTest, OnlyTheDefinitionFilePanelOffersToShowTheFile) {
  Define({"A"});
  Show();
  unsetenv("DBUS_SESSION_BUS_ADDRESS");
  QTest::mouseDClick(Control<QLabel>("已选算例"), Qt::LeftButton);
  EXPECT_TRUE(ui->boxes.empty());
  std::string file = env.dir() / "CALC_TEST_DAT.XML";
  ui->answers = {kCancel, kOk};
  QTest::mouseDClick(Control<QLabel>("配置文件"), Qt::LeftButton);
  ASSERT_EQ(1u, ui->boxes.size());
  EXPECT_EQ(file + "\r\n是否定位文件?", ui->boxes[0].prompt);
  EXPECT_EQ("配置文件", ui->boxes[0].title);
  EXPECT_EQ(65, ui->boxes[0].style);
  EXPECT_TRUE(launcher->calls.empty());
  QTest::mouseDClick(Control<QLabel>("配置文件"), Qt::LeftButton);
  ASSERT_EQ(1u, launcher->calls.size());
  EXPECT_EQ((std::vector<std::string>{"xdg-open", env.dir().path()}), launcher->calls[0]);
  EXPECT_EQ("explorer.exe /e, /select, \"" + file + "\"", launcher->texts[0]);
}

TEST_F(TestWindowTest, TheOptionsDialogOpensModallyAndTheDetailsAreRefreshedAfter) {
  Define({"A"});
  Show();
  QString opened;
  testing::WhenModal([&](QWidget* dialog) {
    opened = dialog->objectName();
    QTest::keyClick(dialog, Qt::Key_Escape);
  });
  QTest::mouseClick(Control<QPushButton>("cmd选项"), Qt::LeftButton);
  EXPECT_EQ("frm选项", opened);
  EXPECT_TRUE(window.isVisible());
  QTest::mouseClick(Control<QPushButton>("cmd取消"), Qt::LeftButton);
  EXPECT_TRUE(window.isHidden());
  EXPECT_EQ(QDialog::Rejected, window.result());
}

TEST_F(TestWindowTest, NoButtonIsTheDefaultEnterInTheListActsAsADoubleClickAndOnAButtonPressesIt) {
  Define({"A", "B"});
  Show();
  for (QPushButton* button : window.findChildren<QPushButton*>())
    EXPECT_FALSE(button->isDefault()) << button->text().toStdString();
  Setting().SetDoubleClickAction(1);
  ClickEntry(1);
  QTest::keyClick(List(), Qt::Key_Return);
  EXPECT_EQ(std::vector<std::string>({"B"}), ui->compared);
  EXPECT_TRUE(ui->boxes.empty());  // not the options dialog, not a run
  Setting().SetDoubleClickAction(3);
  QTest::keyClick(List(), Qt::Key_Enter);
  EXPECT_EQ(1u, ui->compared.size());
  EXPECT_TRUE(window.isVisible());

  Control<QPushButton>("cmd取消")->setFocus();
  QTest::keyClick(Control<QPushButton>("cmd取消"), Qt::Key_Return);
  EXPECT_TRUE(window.isHidden());
  EXPECT_EQ(QDialog::Rejected, window.result());
}

TEST_F(TestWindowTest, ARightClickKeepsTheSelectionInsideItOrOutsideAndPicksAnEntryOnlyWhereNoneIs) {
  Define({"A", "B", "C", "D"});
  Show();
  auto rightClick = [&](int row) {
    QString popped;
    testing::WhenPopup([&](QWidget* popup) {
      popped = popup->objectName();
      QTest::keyClick(popup, Qt::Key_Escape);
    });
    // What a right-button click on the list makes: the press, the menu, the release.
    QPoint at = List()->visualItemRect(List()->item(row)).center();
    QTest::mousePress(List()->viewport(), Qt::RightButton, {}, at);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, List()->viewport()->mapToGlobal(at));
    QApplication::sendEvent(List()->viewport(), &event);
    QTest::mouseRelease(List()->viewport(), Qt::RightButton, {}, at);
    EXPECT_EQ("mnu快捷菜单", popped);
  };
  rightClick(1);
  EXPECT_EQ(std::vector<int>({1}), SelectedRows());
  ClickEntry(0);
  ClickEntry(2, Qt::ShiftModifier);
  rightClick(1);
  EXPECT_EQ(std::vector<int>({0, 1, 2}), SelectedRows());
  rightClick(3);
  EXPECT_EQ(std::vector<int>({0, 1, 2}), SelectedRows());
  EXPECT_EQ("已选算例:3", Panel("已选算例"));
}

TEST_F(TestWindowTest, TheCaseMenuFromTheKeyboardOpensUnderItsButton) {
  Define({"A"});
  Show();
  window.move(0, 0);  // room below the button on the screen for the whole menu
  QPoint at;
  testing::WhenPopup([&](QWidget* popup) {
    at = popup->pos();
    QTest::keyClick(popup, Qt::Key_Escape);
  });
  QCursor::setPos(window.mapToGlobal(QPoint(600, 20)));
  auto* button = Control<QPushButton>("cmd操作菜单");
  button->setFocus();
  QTest::keyClick(button, Qt::Key_Space);
  EXPECT_EQ(button->mapToGlobal(QPoint(0, button->height())), at);
}

TEST_F(TestWindowTest, TheDetailsShowTheirDesignedTenLinesWholeInTheFontUsed) {
  Define({"A"});
  Show();
  auto* details = Control<QPlainTextEdit>("txt说明");
  int spacing = QFontMetrics(details->font()).lineSpacing();
  int shown = (details->viewport()->height() - 2 * qCeil(details->document()->documentMargin())) / spacing;
  EXPECT_GE(shown, 10) << "line spacing " << spacing;
  // Nothing below the details overlaps them, and the window still holds its status bar.
  EXPECT_GT(Control<QPushButton>("cmd正常测试")->y(), details->geometry().bottom());
  EXPECT_EQ(window.height(), Control<QStatusBar>("StatusBar")->geometry().bottom() + 1);
  EXPECT_EQ(window.minimumSize(), window.size());
}

}  // namespace
}  // namespace corvala4
