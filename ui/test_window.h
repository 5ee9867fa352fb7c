// The test window: every case of the tester with its state, selection shortcuts,
// the details of the case in focus, five counters, a normal or quiet run of the
// selected cases, and the commands of its case menu.
#pragma once

#include <QDialog>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QAction;
class QStatusBar;

namespace corvala4 {

class TesterCore;
class TestCaseImpl;
class TestCasesImpl;
class frm选项;

class frm测试 : public QDialog {
 public:
  frm测试();
  ~frm测试() override;

  /// Loads the window for the tester of the open context and shows it modally;
  /// returns when it closes.
  void ShowModal(TesterCore& tester);
  /// Loads it without showing it: caption, list, details.
  void Load(TesterCore& tester);

  /// Refills the list from the tester's cases, in their order, and resets the shortcut list.
  void RefreshList();
  /// Rewrites the details of the case in focus and the five counters.
  void RefreshDetails();
  /// The case of the entry in focus, or none in an empty list.
  std::shared_ptr<TestCaseImpl> GetActiveCase();
  /// A new collection of the selected cases whose folder exists; each missing one is named in a message.
  std::shared_ptr<TestCasesImpl> GetSelectedCases();
  /// Runs the cases through the run driver with the window out of use, then closes it.
  void StartRun(const std::shared_ptr<TestCasesImpl>& cases, bool quiet);

  // Selection shortcuts: each sets the selected state of every entry.
  void SelectAll();
  void SelectNone();
  void SelectMandatory();
  void SelectNotPassed();
  void SelectMandatoryNotPassed();
  void InvertSelection();

  // Case commands.
  /// The compare window for each case in turn, the next when the user has closed the last.
  void CompareCases(const std::shared_ptr<TestCasesImpl>& cases);
  /// Each case's working folder and its standard folder to the external compare program.
  void CompareCaseFolders(const std::shared_ptr<TestCasesImpl>& cases);
  /// The folder in the desktop's file browser, without waiting for it.
  void OpenFolder(const std::string& path);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Form_Load();
  void Form_Resize();
  void Form_KeyF5();
  void TestList_Click();
  void TestList_DblClick();
  void TestList_RightClick();
  void Combo过滤器_Click(int index);
  void cmd选项_Click();
  void cmd操作菜单_Click();
  void cmd安静测试_Click();
  void cmd正常测试_Click();
  void cmd取消_Click();
  void StatusBar_PanelDblClick(const QString& key);
  void mnu比较算例的输出文件_Click();
  void mnu比较目录_Click();
  void mnu刷新_Click();
  void mnu定位算例的标准目录_Click();
  void mnu定位标准目录_Click();
  void mnu定位算例的输出目录_Click();
  void mnu定位输出目录_Click();
  void mnu重置算例的状态_Click();
  void mnu删除算例的输出目录_Click();
  /// The case commands' popup menu, at the mouse.
  void PopupCaseMenu();
  QAction* MenuItem(const char* name, const char* caption);
  void MenuSeparator(const char* name);

  std::shared_ptr<TestCaseImpl> CaseOfRow(int row);
  /// Sets each entry's selected state from what the rule says of it and its case.
  void SelectWhere(const std::function<bool(int row, bool selected)>& rule);

  TesterCore* mobjTester_ = nullptr;
  QLabel* Label提示;
  QComboBox* Combo过滤器;
  QListWidget* TestList;
  QPlainTextEdit* txt说明;
  QPushButton* cmd选项;
  QPushButton* cmd操作菜单;
  QPushButton* cmd安静测试;
  QPushButton* cmd正常测试;
  QPushButton* cmd取消;
  QStatusBar* StatusBar;
  std::vector<QLabel*> panels_;
  QMenu* mnu快捷菜单;
  std::unique_ptr<frm选项> options_;
};

}  // namespace corvala4
