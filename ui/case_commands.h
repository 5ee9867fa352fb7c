// The test window's commands on its cases besides running them: the case menu, the list's
// double-click action and the definition-file panel of the status bar.
#pragma once

#include <QObject>
#include <QPoint>

#include <memory>
#include <string>

class QAction;
class QMenu;

namespace corvala4 {

class RunLock;
class TestCasesImpl;
class frm测试;

class CaseCommands : public QObject {
 public:
  /// Builds the case menu on the window, its items named as designed.
  explicit CaseCommands(frm测试& window);

  /// The case menu at a place of the screen.
  void PopupCaseMenu(QPoint global);
  /// What a double-click in the list does, as the options say at this moment.
  void DoubleClickAction();
  /// A double-click on the status-bar panel with this key.
  void PanelDblClick(const QString& key);

  /// The compare window for each case in turn, the next when the user has closed the last.
  void CompareCases(const std::shared_ptr<TestCasesImpl>& cases);
  /// Each case's working folder and its standard folder to the external compare program.
  void CompareCaseFolders(const std::shared_ptr<TestCasesImpl>& cases);
  /// The folder in the desktop's file browser, without waiting for it.
  void OpenFolder(const std::string& path);

 private:
  QAction* MenuItem(const char* name, const char* caption);
  void MenuSeparator(const char* name);
  void mnu比较算例的输出文件_Click();
  void mnu比较目录_Click();
  void mnu刷新_Click();
  void mnu定位算例的标准目录_Click();
  void mnu定位标准目录_Click();
  void mnu定位算例的输出目录_Click();
  void mnu定位输出目录_Click();
  void mnu重置算例的状态_Click();
  void mnu删除算例的输出目录_Click();
  /// The test data's run lock, for a change another process's run would have made under it.
  bool TakeTestData(RunLock& lock);

  frm测试& window_;
  QMenu* mnu快捷菜单;
};

}  // namespace corvala4
