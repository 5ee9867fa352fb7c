#include "ui/test_window.h"

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

#include "tests/window_fixture.h"

namespace corvala4 {
namespace {

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
  std::vector<std::string> Prompts() {
    std::vector<std::string> prompts;
    for (const auto& box : ui->boxes) prompts.push_back(box.prompt);
    return prompts;
  }

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
  EXPECT_EQ(QStringList({"请选择...", "选择全部", "选择必测", "选择未通过", "必测未通过", "反向选择", "全部取消"}),
            shortcuts);
  const std::pair<const char*, const char*> buttons[] = {
      {"cmd选项", "选项(&P)..."},         {"cmd操作菜单", "操作菜单(&O)"}, {"cmd安静测试", "安静测试(&S)"},
      {"cmd正常测试", "正常测试(&T)"}, {"cmd取消", "取消(&C)"}};
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
  EXPECT_EQ("算例名称: B\n"
            "测试功能: 1\n"
            "是否必测: True\n"
            "是否存在: True\n"
            "是否通过: False\n"
            "算例目录: " + env.dir() / "TestData/B" + "\n"
            "输出目录: " + work + "/B\n"
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
  EXPECT_EQ(std::vector<std::string>({"算例'C'不存在!", "算例'B'通过了正确性自测试!", "算例'D'通过了正确性自测试!"}),
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

TEST_F(TestWindowTest, LaterCommandsSayTheyAreNotThereYet) {
  Define({"A"});
  Show();
  QTest::mouseClick(Control<QPushButton>("cmd选项"), Qt::LeftButton);
  QTest::mouseClick(Control<QPushButton>("cmd操作菜单"), Qt::LeftButton);
  EXPECT_EQ(std::vector<std::string>({"选项对话框尚未完成,暂不能使用.", "算例操作菜单尚未完成,暂不能使用."}),
            Prompts());
  EXPECT_EQ(64, ui->boxes[0].style);
  QTest::mouseClick(Control<QPushButton>("cmd取消"), Qt::LeftButton);
  EXPECT_TRUE(window.isHidden());
  EXPECT_EQ(QDialog::Rejected, window.result());
}

}  // namespace
}  // namespace corvala4
