// The options dialog: the external compare program, the status window and what a
// double-click in the test window's list does.
#pragma once

#include <QDialog>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTabWidget;

namespace corvala4 {

class GlobalSetting;
class TesterCore;

class frm选项 : public QDialog {
 public:
  frm选项();

  /// Loads the current settings and shows the dialog modally; returns when it closes.
  void ShowModal(TesterCore& tester);
  /// Loads it without showing it: the settings into the controls, the first tab.
  void Load(TesterCore& tester);

  /// The settings into the controls, and back.
  void LoadSettings();
  void SaveSettings();

  /// Closing with OK saves; if saving fails the user is told and the dialog stays open.
  void done(int result) override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void OfferComparePrograms(GlobalSetting& setting);
  void act比较程序_Click();
  void Form_Load();
  void cmd确定_Click();
  void cmd取消_Click();
  void cmd应用_Click();
  void cmd恢复默认值_Click();
  void cmd选择文件_Click();

  TesterCore* mobjTester_ = nullptr;
  QTabWidget* SSTab选项;
  QGroupBox* Frame1;
  QCheckBox* chk启用外部比较工具;
  QLabel* Label外部比较工具说明;
  QGroupBox* Frame路径设置;
  QLineEdit* txt外部工具路径;
  QPushButton* cmd恢复默认值;
  QPushButton* cmd选择文件;
  QAction* act比较程序;
  QMenu* mnu比较程序;
  QGroupBox* Frame显示设定;
  QCheckBox* chk显示状态窗口;
  QLabel* Label显示状态窗口说明;
  QGroupBox* Frame动作设定;
  QLabel* Label动作设定;
  QComboBox* Combo动作设定;
  QPushButton* cmd确定;
  QPushButton* cmd取消;
  QPushButton* cmd应用;
};

}  // namespace corvala4
