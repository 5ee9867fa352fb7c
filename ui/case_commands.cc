#include "ui/case_commands.h"

#include <QListWidget>
#include <QMenu>

#include "corvala4/user_interface.h"
#include "engine/tester_core.h"
#include "foundation/format_msg.h"
#include "foundation/globals.h"
#include "foundation/platform/file_browser.h"
#include "foundation/platform/run_lock.h"
#include "model/test_case.h"
#include "model/test_cases.h"
#include "settings/global_setting.h"
#include "ui/design.h"
#include "ui/test_window.h"

namespace corvala4 {

CaseCommands::CaseCommands(frm测试& window) : QObject(&window), window_(window) {
  mnu快捷菜单 = new QMenu(&window);
  mnu快捷菜单->setObjectName("mnu快捷菜单");
  QAction* mnu比较算例的输出文件 = MenuItem("mnu比较算例的输出文件", "比较算例(&F) ...");
  QAction* mnu比较目录 = MenuItem("mnu比较目录", "比较目录(&L)");
  MenuSeparator("mnu_s10");
  QAction* mnu刷新 = MenuItem("mnu刷新", "刷新(&E)");
  mnu刷新->setShortcut(Qt::Key_F5);
  mnu刷新->setShortcutVisibleInContextMenu(true);
  MenuSeparator("mnu_s20");
  QAction* mnu定位算例的标准目录 = MenuItem("mnu定位算例的标准目录", "定位算例的标准目录(&D)");
  QAction* mnu定位标准目录 = MenuItem("mnu定位标准目录", "定位标准目录(&S)");
  MenuSeparator("mnu_s25");
  QAction* mnu定位算例的输出目录 = MenuItem("mnu定位算例的输出目录", "定位算例的输出目录(&O)");
  QAction* mnu定位输出目录 = MenuItem("mnu定位输出目录", "定位输出目录(&R)");
  MenuSeparator("mnu_s30");
  QAction* mnu重置算例的状态 = MenuItem("mnu重置算例的状态", "重置算例的状态(&R)");
  QAction* mnu删除算例的输出目录 = MenuItem("mnu删除算例的输出目录", "删除算例的输出目录(&C)");

  connect(mnu比较算例的输出文件, &QAction::triggered, this, [this] { mnu比较算例的输出文件_Click(); });
  connect(mnu比较目录, &QAction::triggered, this, [this] { mnu比较目录_Click(); });
  connect(mnu刷新, &QAction::triggered, this, [this] { mnu刷新_Click(); });
  connect(mnu定位算例的标准目录, &QAction::triggered, this, [this] { mnu定位算例的标准目录_Click(); });
  connect(mnu定位标准目录, &QAction::triggered, this, [this] { mnu定位标准目录_Click(); });
  connect(mnu定位算例的输出目录, &QAction::triggered, this, [this] { mnu定位算例的输出目录_Click(); });
  connect(mnu定位输出目录, &QAction::triggered, this, [this] { mnu定位输出目录_Click(); });
  connect(mnu重置算例的状态, &QAction::triggered, this, [this] { mnu重置算例的状态_Click(); });
  connect(mnu删除算例的输出目录, &QAction::triggered, this, [this] { mnu删除算例的输出目录_Click(); });
}

QAction* CaseCommands::MenuItem(const char* name, const char* caption) {
  QAction* item = mnu快捷菜单->addAction(caption);
  item->setObjectName(name);
  return item;
}

void CaseCommands::MenuSeparator(const char* name) {
  mnu快捷菜单->addSeparator()->setObjectName(name);
}

void CaseCommands::PopupCaseMenu(QPoint global) {
  Handle([&] { mnu快捷菜单->exec(global); });
}

void CaseCommands::DoubleClickAction() {
  Handle([&] {
    // Read at every double-click: the options dialog may have changed it meanwhile.
    switch (Setting().DoubleClickAction()) {
      case 0: window_.StartRun(window_.GetSelectedCases(), false); break;
      case 1: CompareCases(window_.GetSelectedCases()); break;
      case 2: CompareCaseFolders(window_.GetSelectedCases()); break;
      default: break;
    }
  });
}

void CaseCommands::PanelDblClick(const QString& key) {
  if (key != "配置文件") return;
  Handle([&] {
    TesterCore& tester = window_.Tester();
    std::string file = tester.DefinitionFile();
    if (tester.ShowMessage(file + "\r\n是否定位文件?", kOkCancel | kInformation, "配置文件") == kOk)
      ShowFileInBrowser(file);
  });
}

void CaseCommands::mnu比较算例的输出文件_Click() {
  Handle([&] { CompareCases(window_.GetSelectedCases()); });
}

void CaseCommands::mnu比较目录_Click() {
  Handle([&] { window_.Tester().CompareFoldersWithTool(); });
}

void CaseCommands::mnu刷新_Click() {
  Handle([&] { window_.RefreshList(); });
}

void CaseCommands::mnu定位算例的标准目录_Click() {
  Handle([&] {
    std::shared_ptr<TestCasesImpl> cases = window_.GetSelectedCases();
    for (const std::shared_ptr<TestCaseImpl>& tc : cases->Cases()) OpenFolder(tc->StandardFolder());
  });
}

void CaseCommands::mnu定位标准目录_Click() {
  Handle([&] { OpenFolder(window_.Tester().StandardFolder()); });
}

void CaseCommands::mnu定位算例的输出目录_Click() {
  Handle([&] {
    std::shared_ptr<TestCasesImpl> cases = window_.GetSelectedCases();
    for (const std::shared_ptr<TestCaseImpl>& tc : cases->Cases()) OpenFolder(tc->TestCaseFolder());
  });
}

void CaseCommands::mnu定位输出目录_Click() {
  // The working directory is made when it is asked for.
  Handle([&] { OpenFolder(window_.Tester().WorkFolder()); });
}

void CaseCommands::mnu重置算例的状态_Click() {
  Handle([&] {
    // Walks the list itself: a case whose folder is missing is left as it is, and counts as reset.
    TesterCore& tester = window_.Tester();
    RunLock lock;
    if (!TakeTestData(lock)) return;
    QListWidget* list = window_.TestList;
    int total = 0, succeeded = 0;
    for (int row = 0; row < list->count(); ++row) {
      if (!list->item(row)->isSelected()) continue;
      std::string caption = list->item(row)->text().toStdString();
      try {
        std::shared_ptr<TestCaseImpl> tc = window_.CaseOfRow(row);
        caption = tc->Caption();
        if (tc->StandardFolderExists()) tc->SetPassed(false);
        ++succeeded;
      } catch (...) {
        tester.ShowMessage("算例 '" + caption + "'重置失败!", kOkOnly | kCritical);
      }
      ++total;
    }
    window_.RefreshList();
    tester.ShowMessage(FormatMsg("重置%0个算例 (成功:%1 失败:%2)", total, succeeded, total - succeeded),
                       kOkOnly | kInformation);
  });
}

void CaseCommands::mnu删除算例的输出目录_Click() {
  Handle([&] {
    RunLock lock;
    if (!TakeTestData(lock)) return;
    std::shared_ptr<TestCasesImpl> cases = window_.GetSelectedCases();
    int total = 0, succeeded = 0;
    for (const std::shared_ptr<TestCaseImpl>& tc : cases->Cases()) {
      try {
        tc->RemoveTestFolder();
        ++succeeded;
      } catch (...) {
        ShowCaught();
      }
      ++total;
    }
    window_.Tester().ShowMessage(
        FormatMsg("删除%0个目录 (成功: %1 失败: %2)", total, succeeded, total - succeeded),
        kOkOnly | kInformation);
  });
}

bool CaseCommands::TakeTestData(RunLock& lock) {
  // Another host's run or `corvala4 run` calculates in these folders: never waited for, since
  // the window would hang; the user tries again when it has ended.
  TesterCore& tester = window_.Tester();
  std::string why;
  if (lock.Acquire(tester.StandardFolder(), tester.HostEXE(), false, {}, why)) return true;
  tester.ShowMessage("测试数据正被另一个运行使用, 未做任何更改!\r\n" + why, kOkOnly | kExclamation);
  return false;
}

void CaseCommands::CompareCases(const std::shared_ptr<TestCasesImpl>& cases) {
  for (const std::shared_ptr<TestCaseImpl>& tc : cases->Cases())
    CurrentUserInterface().ShowCompareWindow(*tc);
}

void CaseCommands::CompareCaseFolders(const std::shared_ptr<TestCasesImpl>& cases) {
  for (const std::shared_ptr<TestCaseImpl>& tc : cases->Cases()) tc->CompareWithTool();
}

void CaseCommands::OpenFolder(const std::string& path) {
  OpenFolderInBrowser(path);
}

}  // namespace corvala4
