// The test window: every case of the tester with its state, selection shortcuts,
// the details of the case in focus, five counters, a normal or quiet run of the
// selected cases; its case commands are CaseCommands.
#pragma once

#include <QDialog>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;

namespace corvala4 {

class TesterCore;
class TestCaseImpl;
class TestCasesImpl;
class CaseCommands;
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

  /// The tester of the open context the window was loaded for.
  TesterCore& Tester() { return *mobjTester_; }
  /// The commands of the case menu, the double-click action and the definition-file panel.
  CaseCommands& Commands() { return *commands_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  /// Enter in the list does what a double-click does; on a button it presses that button.
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Form_Load();
  void Form_Resize();
  /// The designed client area, with what the details box grew for its font.
  QSize Designed() const;
  void Form_KeyF5();
  void TestList_Click();
  void TestList_DblClick();
  void Combo过滤器_Click(int index);
  void cmd选项_Click();
  void cmd操作菜单_Click();
  void cmd安静测试_Click();
  void cmd正常测试_Click();
  void cmd取消_Click();
  void StatusBar_PanelDblClick(const QString& key);
  /// A right-button click keeps the selection: the case menu acts on every picked case.
  bool TestList_RightPress(QEvent* event);

  friend class CaseCommands;
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
  CaseCommands* commands_;
  std::unique_ptr<frm选项> options_;
  /// Pixels the details box is taller than designed, so that its designed lines show whole.
  int details_growth_ = 0;
};

}  // namespace corvala4
