#include "ui/options_dialog.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTextDocument>

#include "foundation/globals.h"
#include "foundation/platform/settings_store.h"
#include "settings/global_setting.h"
#include "tests/window_fixture.h"

namespace corvala4 {
namespace {

using testing::WriteFile;

class OptionsDialogTest : public testing::RunFixture {
 protected:
  void SetUp() override {
    RunFixture::SetUp();
    Define({"A"});
    Open();
  }
  template <typename T>
  T* Control(const char* name) {
    return testing::Control<T>(dialog, name);
  }
  QLineEdit* Path() { return Control<QLineEdit>("txt外部工具路径"); }
  void Show() {
    dialog.Load(core());
    dialog.show();
  }
  void Click(const char* button) { QTest::mouseClick(Control<QPushButton>(button), Qt::LeftButton); }
  /// As typed over the whole text (the keyboard of the tests knows no Chinese).
  void TypePath(const QString& text) {
    Path()->selectAll();
    Path()->insert(text);
  }
  std::string StoredPath() { return Setting().ExternalToolPath(); }

  frm选项 dialog;
};

TEST_F(OptionsDialogTest, BothTabsCarryTheirFramesAndControls) {
  Setting().SetDoubleClickAction(2);
  Show();
  EXPECT_EQ("选项", dialog.windowTitle());
  EXPECT_EQ(QSize(410, 331), dialog.size());
  auto* tabs = Control<QTabWidget>("SSTab选项");
  ASSERT_EQ(2, tabs->count());
  EXPECT_EQ("外部比较工具", tabs->tabText(0));
  EXPECT_EQ("高级", tabs->tabText(1));
  EXPECT_EQ(0, tabs->currentIndex());
  EXPECT_EQ(tabs->widget(0), Control<QGroupBox>("Frame1")->parentWidget());
  EXPECT_EQ("", Control<QGroupBox>("Frame1")->title());
  EXPECT_EQ("路径设置", Control<QGroupBox>("Frame路径设置")->title());
  EXPECT_EQ(tabs->widget(1), Control<QGroupBox>("Frame动作设定")->parentWidget());
  EXPECT_EQ("显示设定", Control<QGroupBox>("Frame显示设定")->title());
  QTextDocument note;
  note.setHtml(Control<QLabel>("Label外部比较工具说明")->text());
  EXPECT_TRUE(note.toPlainText().startsWith("说明:外部比较工具是在自测试算例不通过的时候调用的外部程序,"));
  EXPECT_TRUE(
      note.toPlainText().endsWith("格式如下: \"程序路径\" \"生成结果文件全路径\" \"标准结果文件全路径\""));
  EXPECT_EQ("双击列表元素时:", Control<QLabel>("Label动作设定")->text());
  auto* actions = Control<QComboBox>("Combo动作设定");
  EXPECT_EQ(QStringList({"测试选中项目", "比较输出文件", "比较算例目录"}),
            QStringList({actions->itemText(0), actions->itemText(1), actions->itemText(2)}));
  EXPECT_EQ(2, actions->currentIndex());
}

TEST_F(OptionsDialogTest, NothingStoredShowsTheDefaultsAndOkSavesWhatIsShown) {
  Show();
  std::string fallback = env.dir() / "plavex.exe";
  EXPECT_EQ(QString::fromStdString(fallback), Path()->text());
  EXPECT_TRUE(Control<QCheckBox>("chk启用外部比较工具")->isChecked());
  EXPECT_FALSE(Control<QCheckBox>("chk显示状态窗口")->isChecked());
  EXPECT_EQ(0, Control<QComboBox>("Combo动作设定")->currentIndex());

  TypePath("/opt/比较 工具/meld");
  QTest::keyClick(Path(), Qt::Key_Return);  // no default button: Enter presses nothing
  EXPECT_TRUE(dialog.isVisible());
  Control<QCheckBox>("chk启用外部比较工具")->setChecked(false);
  Control<QComboBox>("Combo动作设定")->setCurrentIndex(1);
  Click("cmd确定");
  EXPECT_TRUE(dialog.isHidden());
  EXPECT_EQ(QDialog::Accepted, dialog.result());
  EXPECT_EQ("/opt/比较 工具/meld", StoredPath());
  EXPECT_FALSE(Setting().ExternalToolEnabled());
  EXPECT_EQ(1, Setting().DoubleClickAction());
}

TEST_F(OptionsDialogTest, CancelEscAndTheCloseBoxStoreNothingButWhatApplyStored) {
  Setting().SetExternalToolPath("/old");
  Show();
  TypePath("/new");
  Click("cmd取消");
  EXPECT_TRUE(dialog.isHidden());
  EXPECT_EQ("/old", StoredPath());

  Show();
  EXPECT_EQ("/old", Path()->text());
  Click("cmd恢复默认值");
  EXPECT_EQ(QString::fromStdString(env.dir() / "plavex.exe"), Path()->text());
  QTest::keyClick(&dialog, Qt::Key_Escape);
  EXPECT_TRUE(dialog.isHidden());
  EXPECT_EQ("/old", StoredPath());

  Show();
  TypePath("/applied");
  Click("cmd应用");
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ("/applied", StoredPath());
  TypePath("/dropped");
  dialog.close();
  EXPECT_TRUE(dialog.isHidden());
  EXPECT_EQ("/applied", StoredPath());
}

TEST_F(OptionsDialogTest, WithTheStatusWindowClearedTheNextRunShowsNone) {
  core().SetStatWindowEnabled(true);
  Show();
  EXPECT_TRUE(Control<QCheckBox>("chk显示状态窗口")->isChecked());
  QTest::mouseClick(Control<QCheckBox>("chk显示状态窗口"), Qt::LeftButton);
  Click("cmd确定");
  core().Driver().RunCases(core().TestCases(), true);
  EXPECT_EQ(1, host.calculated);
  EXPECT_TRUE(std::find(ui->calls.begin(), ui->calls.end(), "StatusWindow") == ui->calls.end());
}

TEST_F(OptionsDialogTest, TheFileDialogStartsAtThePathAndCancellingItKeepsTheText) {
  std::string tool = env.dir() / "工具 一/compare";
  WriteFile(tool, "#!/bin/sh\n");
  chmod(tool.c_str(), 0755);
  WriteFile(env.dir() / "工具 一/notes.txt", "");
  Setting().SetExternalToolPath(env.dir() / "工具 一/old");
  Show();
  QStringList filters;
  QString start;
  testing::WhenModal([&](QWidget* modal) {
    auto* files = qobject_cast<QFileDialog*>(modal);
    ASSERT_NE(nullptr, files);
    EXPECT_EQ("CommonDialog", files->objectName());
    filters = files->nameFilters();
    start = files->directory().absolutePath();
    QTest::keyClick(files, Qt::Key_Escape);
  });
  Click("cmd选择文件");
  EXPECT_EQ(QStringList({"可执行文件 (*)", "任意文件 (*)"}), filters);
  EXPECT_EQ(QString::fromStdString(env.dir() / "工具 一"), start);
  EXPECT_EQ(QString::fromStdString(env.dir() / "工具 一/old"), Path()->text());

  testing::WhenModal([&](QWidget* modal) {
    auto* name = modal->findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(nullptr, name);
    name->setText("compare");
    QTest::keyClick(name, Qt::Key_Return);
  });
  Click("cmd选择文件");
  EXPECT_EQ(QString::fromStdString(tool), Path()->text());
  EXPECT_EQ(env.dir() / "工具 一/old", StoredPath());  // nothing stored before OK or apply
}

TEST_F(OptionsDialogTest, UnknownValuesAndFailuresLeaveTheDialogUsable) {
  // An action the dialog does not offer shows no entry and is kept.
  Setting().SetDoubleClickAction(3);
  Show();
  EXPECT_EQ(-1, Control<QComboBox>("Combo动作设定")->currentIndex());
  Click("cmd应用");
  EXPECT_EQ(3, Setting().DoubleClickAction());

  // OK that cannot store says so and keeps the dialog open; cancel then closes it.
  std::string store = env.dir() / "config";
  setenv("XDG_CONFIG_HOME", (env.dir() / "CALC_TEST_DAT.XML").c_str(), 1);
  Click("cmd确定");
  ASSERT_EQ(1u, ui->errors.size());
  EXPECT_TRUE(dialog.isVisible());
  setenv("XDG_CONFIG_HOME", store.c_str(), 1);
  Click("cmd取消");
  EXPECT_TRUE(dialog.isHidden());

  // A stored switch that is no Boolean text: the load says so, the dialog still opens.
  WriteFile(store + "/corvala4/" + SettingsAppName() + ".ini", "[ExternalTool]\nEnabled=maybe\n");
  Show();
  ASSERT_EQ(2u, ui->errors.size());
  EXPECT_NE(std::string::npos, ui->errors[1].second.find("错误 13"));
  EXPECT_TRUE(dialog.isVisible());
}

TEST_F(OptionsDialogTest, TheCompareProgramsOnThePathAreOfferedWhereTheRegistryNamesNone) {
  std::string bin = env.dir() / "bin";
  WriteFile(bin + "/meld", "#!/bin/sh\n");
  WriteFile(bin + "/kompare", "#!/bin/sh\n");
  WriteFile(bin + "/diffuse", "not a program");
  chmod((bin + "/meld").c_str(), 0755);
  chmod((bin + "/kompare").c_str(), 0755);
  std::string path = getenv("PATH") ? getenv("PATH") : "";
  setenv("PATH", bin.c_str(), 1);
  Show();
  setenv("PATH", path.c_str(), 1);
  auto* offer = Control<QAction>("act比较程序");
  EXPECT_TRUE(offer->isVisible());
  QStringList offered;
  auto* menu = Control<QMenu>("mnu比较程序");
  for (QAction* item : menu->actions()) offered << item->text();
  EXPECT_EQ(QStringList({QString::fromStdString(bin + "/meld"), QString::fromStdString(bin + "/kompare")}),
            offered);
  menu->actions()[1]->trigger();
  EXPECT_EQ(bin + "/kompare", Path()->text().toStdString());
  EXPECT_NE(bin + "/kompare", StoredPath());  // stored only on OK or apply
  dialog.hide();

  // Nothing found: nothing offered.
  setenv("PATH", (env.dir() / "none").c_str(), 1);
  Show();
  setenv("PATH", path.c_str(), 1);
  EXPECT_FALSE(offer->isVisible());
  dialog.hide();
}

TEST_F(OptionsDialogTest, EnterPressesTheFocusedButtonAndNothingInThePathBox) {
  Show();
  TypePath("/x/tool");
  Path()->setFocus();
  QTest::keyClick(Path(), Qt::Key_Return);
  EXPECT_TRUE(dialog.isVisible());
  Control<QPushButton>("cmd应用")->setFocus();
  QTest::keyClick(Control<QPushButton>("cmd应用"), Qt::Key_Return);
  EXPECT_EQ("/x/tool", StoredPath());
  EXPECT_TRUE(dialog.isVisible());
  Control<QPushButton>("cmd取消")->setFocus();
  QTest::keyClick(Control<QPushButton>("cmd取消"), Qt::Key_Return);
  EXPECT_TRUE(dialog.isHidden());
}

}  // namespace
}  // namespace corvala4
