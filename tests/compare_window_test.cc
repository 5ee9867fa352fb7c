#include "ui/compare_window.h"

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QPushButton>
#include <QStyleOptionHeader>
#include <QTest>
#include <QTreeWidget>

#include "foundation/globals.h"
#include "results/output_files.h"
#include "settings/global_setting.h"
#include "tests/window_fixture.h"

namespace corvala4 {
namespace {

using testing::WhenModal;
using testing::WriteFile;

/// Twelve outputs, named out of order; every fourth lacks its standard file, and the
/// produced ones are the same, differ in content, or are missing, in turn.
const char* const kNames[] = {"m.out", "c.out", "k.out", "a.out", "x.out", "b.out",
                              "l.out", "d.out", "j.out", "e.out", "i.out", "f.out"};

class CompareWindowTest : public testing::RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    std::string xml =
        "<自测试配置><自测试标准目录>TestData</自测试标准目录>"
        "<自测试算例 名称=\"梁 '一'\" 目录=\"A\" 工程文件=\"p.prj\" 必测=\"y\" 功能代号=\"1\">";
    for (int i = 0; i < 12; ++i) {
      xml += std::string("<输出文件 保留=\"n\">") + kNames[i] + "</输出文件>";
      if (i % 4 != 3) WriteFile(env.dir() / "TestData/A/" + kNames[i], "same\n");
      if (i % 4 != 2) WriteFile(env.dir() / "TestData_make/A/" + kNames[i], i % 4 == 1 ? "diff\n" : "same\n");
    }
    WriteFile(env.dir() / "TestData/A/p.prj", "");
    WriteFile(env.dir() / "CALC_TEST_DAT.XML", xml + "</自测试算例></自测试配置>");
    Open();
    tc = core().TestCases()->At(1);
    WriteFile(env.dir() / "tool", "");
    Setting().SetExternalToolPath(env.dir() / "tool");
  }
  template <typename T>
  T* Control(const char* name) {
    return testing::Control<T>(window, name);
  }
  QTreeWidget* List() { return Control<QTreeWidget>("lv输出文件"); }
  void Show() {
    tc->UpdateStatus(false);
    window.Load(*tc);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  }
  QStringList Column(int column) {
    QStringList texts;
    for (int i = 0; i < List()->topLevelItemCount(); ++i) texts << List()->topLevelItem(i)->text(column);
    return texts;
  }
  void ClickHeader(int column) {
    QHeaderView* header = List()->header();
    int x = header->sectionViewportPosition(column) + header->sectionSize(column) / 2;
    QPoint at(x, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
  }
  void Select(std::initializer_list<int> rows) {
    List()->clearSelection();
    for (int row : rows) List()->topLevelItem(row)->setSelected(true);
  }
  void Click(const char* button) { QTest::mouseClick(Control<QPushButton>(button), Qt::LeftButton); }

  testing::ScopedCapturingLauncher launcher;
  std::shared_ptr<TestCaseImpl> tc;
  frm比较 window;
};

TEST_F(CompareWindowTest, ShowForCaseComparesAnewListsEveryOutputAndKeepsThePassMarker) {
  tc->SetPassed(true);
  QString title;
  QStringList numbers, names, states;
  WhenModal([&](QWidget* modal) {
    title = modal->windowTitle();
    numbers = Column(0);
    names = Column(1);
    states = Column(2);
    QTest::keyClick(modal, Qt::Key_Escape);
  });
  window.ShowForCase(*tc);
  EXPECT_EQ("比较算例'梁 '一''的输出文件", title);
  EXPECT_EQ(QStringList({"001", "002", "003", "004", "005", "006", "007", "008", "009", "010", "011", "012"}),
            numbers);
  EXPECT_EQ("m.out", names[0]);
  EXPECT_EQ("f.out", names[11]);
  EXPECT_EQ(QStringList({"相同", "内容不同", "未找到输出文件", "未找到标准文件"}), states.mid(0, 4));
  EXPECT_TRUE(tc->Passed());  // the outputs differ, but the record stays as it was
  EXPECT_TRUE(window.isHidden());

  EXPECT_EQ(QStringList({"序号", "文件", "状态"}),
            QStringList({List()->headerItem()->text(0), List()->headerItem()->text(1),
                         List()->headerItem()->text(2)}));
  EXPECT_LE(37, List()->columnWidth(0));
  EXPECT_EQ(301, List()->columnWidth(1));
  EXPECT_EQ(107, List()->columnWidth(2));
  EXPECT_EQ(QRect(4, 4, 473, 213), List()->geometry());
  EXPECT_EQ("比较文件(&C)", Control<QPushButton>("cmd比较文件")->text());
  EXPECT_TRUE(Control<QPushButton>("cmd比较文件")->isDefault());
  EXPECT_EQ("比较目录(&D)", Control<QPushButton>("cmd比较目录")->text());
  EXPECT_EQ("关闭(&C)", Control<QPushButton>("cmd关闭")->text());
}

TEST_F(CompareWindowTest, HeaderClicksSortAsTextAndAFirstClickOnTheNumberSortsDescending) {
  Show();
  QStringList ascending = Column(0);
  QStringList descending(ascending.rbegin(), ascending.rend());
  ClickHeader(0);
  EXPECT_EQ(descending, Column(0));
  ClickHeader(0);
  EXPECT_EQ(ascending, Column(0));
  ClickHeader(0);
  EXPECT_EQ(descending, Column(0));

  ClickHeader(1);
  QStringList names = Column(1);
  EXPECT_EQ(QStringList({"a.out", "b.out", "c.out", "d.out", "e.out", "f.out", "i.out", "j.out", "k.out",
                         "l.out", "m.out", "x.out"}),
            names);
  ClickHeader(1);
  EXPECT_EQ(QStringList(names.rbegin(), names.rend()), Column(1));
  ClickHeader(2);
  QStringList states = Column(2);
  EXPECT_TRUE(std::is_sorted(states.begin(), states.end()));
  EXPECT_NE(states.first(), states.last());

  // A new load starts unsorted again.
  window.Load(*tc);
  EXPECT_EQ(ascending, Column(0));
  ClickHeader(0);
  EXPECT_EQ(descending, Column(0));
}

TEST_F(CompareWindowTest, FilesAndFoldersGoToTheToolProducedSideFirst) {
  Show();
  // Nothing selected: nothing compared, nothing said.
  Click("cmd比较文件");
  EXPECT_TRUE(launcher->calls.empty());
  EXPECT_TRUE(ui->boxes.empty());

  ClickHeader(1);  // a.out, b.out, c.out ...
  Select({2, 0});
  Click("cmd比较文件");
  std::string std_a = env.dir() / "TestData/A", work_a = env.dir() / "TestData_make/A";
  ASSERT_EQ(2u, launcher->calls.size());
  EXPECT_EQ((std::vector<std::string>{env.dir() / "tool", work_a + "/a.out", std_a + "/a.out"}),
            launcher->calls[0]);
  EXPECT_EQ(work_a + "/c.out", launcher->calls[1][1]);

  Click("cmd比较目录");
  EXPECT_EQ((std::vector<std::string>{env.dir() / "tool", work_a, std_a}), launcher->calls[2]);

  // A double-click compares the selection and keeps quiet about a failure; the button says it.
  launcher->start_error = 70;
  QTreeWidgetItem* item = List()->topLevelItem(3);
  Select({3});
  QRect place = List()->visualItemRect(item);
  QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, place.center());
  QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, place.center());
  EXPECT_EQ(work_a + "/d.out", launcher->calls.back()[1]);
  EXPECT_TRUE(ui->errors.empty());
  Click("cmd比较文件");
  ASSERT_EQ(1u, ui->errors.size());
  EXPECT_TRUE(window.isVisible());
}

TEST_F(CompareWindowTest, AToolSwitchedOffMissingOrNotExecutableNeverHangs) {
  Show();
  Select({0});
  Setting().SetExternalToolEnabled(false);
  testing::WhenModal([](QWidget* view) { QTest::keyClick(view, Qt::Key_Escape); });
  Click("cmd比较文件");
  EXPECT_TRUE(launcher->calls.empty());
  EXPECT_TRUE(ui->boxes.empty());

  Setting().SetExternalToolEnabled(true);
  Setting().SetExternalToolPath(env.dir() / "no tool");
  Click("cmd比较目录");
  ASSERT_EQ(1u, ui->boxes.size());
  EXPECT_EQ("错误:未找到外部比较程序'" + env.dir() / "no tool" + "'.", ui->boxes[0].prompt);
  EXPECT_EQ(16, ui->boxes[0].style);

  // The real launcher on a file that may not be run: the error dialog, and the window goes on.
  SetProcessLauncher(nullptr);
  Setting().SetExternalToolPath(env.dir() / "tool");
  Click("cmd比较文件");
  ASSERT_EQ(1u, ui->errors.size());
  EXPECT_NE(std::string::npos, ui->errors[0].second.find("错误 70"));
  EXPECT_TRUE(window.isVisible());
}

TEST_F(CompareWindowTest, WithoutACompareProgramTheFilesOpenInTheBuiltInViewWhichHasItsOwnButtonToo) {
  Show();
  ClickHeader(1);  // a.out, b.out, c.out ...
  Select({1, 0});
  QStringList titles;
  auto close = [&](QWidget* view) {
    titles << view->objectName() + " " + view->windowTitle();
    QTest::keyClick(view, Qt::Key_Escape);
  };
  // The path empty: each selected file in the view, one after another.
  Setting().SetExternalToolPath("");
  testing::WhenModal([&](QWidget* view) {
    close(view);
    testing::WhenModal(close);
  });
  Click("cmd比较文件");
  EXPECT_EQ(QStringList({"frm对比 对比输出文件'a.out'", "frm对比 对比输出文件'b.out'"}), titles);
  // A double-click does the same.
  titles.clear();
  Select({2});
  testing::WhenModal(close);
  QRect place = List()->visualItemRect(List()->topLevelItem(2));
  QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, place.center());
  QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, place.center());
  EXPECT_EQ(QStringList({"frm对比 对比输出文件'c.out'"}), titles);
  EXPECT_TRUE(launcher->calls.empty());

  // With the program set, 比较文件 starts it and 查看差异 still opens the view.
  Setting().SetExternalToolPath(env.dir() / "tool");
  Select({0});
  Click("cmd比较文件");
  EXPECT_EQ(1u, launcher->calls.size());
  titles.clear();
  testing::WhenModal(close);
  Click("cmd查看差异");
  EXPECT_EQ(QStringList({"frm对比 对比输出文件'a.out'"}), titles);
  EXPECT_EQ(1u, launcher->calls.size());
  EXPECT_TRUE(ui->errors.empty());
}

TEST_F(CompareWindowTest, EnterPressesTheFocusedButtonAndTheWindowKeepsItsButtonsInside) {
  Show();
  EXPECT_EQ("查看差异(&V)", Control<QPushButton>("cmd查看差异")->text());
  // In the list Enter is 比较文件; on 关闭 it closes.
  Select({0});
  List()->setFocus();
  QTest::keyClick(List(), Qt::Key_Return);
  EXPECT_EQ(1u, launcher->calls.size());
  auto* close = Control<QPushButton>("cmd关闭");
  close->setFocus();
  QTest::keyClick(close, Qt::Key_Return);
  EXPECT_TRUE(window.isHidden());
  EXPECT_EQ(1u, launcher->calls.size());

  // Shrunk as far as it goes, every button still lies inside the window.
  Show();
  window.resize(10, 10);
  QApplication::processEvents();
  for (QPushButton* button : window.findChildren<QPushButton*>()) {
    QRect place(button->mapTo(&window, QPoint(0, 0)), button->size());
    EXPECT_TRUE(window.rect().contains(place)) << button->text().toStdString();
  }
  // 序号 stays readable beside the sort arrow.
  ClickHeader(0);
  QHeaderView* header = List()->header();
  QStyleOptionHeader option;
  option.initFrom(header);
  option.rect = QRect(0, 0, header->sectionSize(0), header->height());
  option.text = "序号";
  option.sortIndicator = QStyleOptionHeader::SortDown;
  QRect label = header->style()->subElementRect(QStyle::SE_HeaderLabel, &option, header);
  EXPECT_GE(label.width(), header->fontMetrics().horizontalAdvance("序号"));
}

}  // namespace
}  // namespace corvala4
