// The error dialog: the summary of one error beside a stop sign, and its technical
// details folded away until the user asks for them.
#pragma once

#include <QDialog>

#include <string>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace corvala4 {

class frm错误 : public QDialog {
 public:
  frm错误();

  /// Shows the error modally, folded; silent when the current tester runs without
  /// a user interface or there is none.
  void ShowEx(const std::string& summary, const std::string& details);

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Form_Load();
  void Form_Layout();
  void cmd确定_Click();
  void cmd详细信息_Click();
  void FoldDetails();
  void UnfoldDetails();
  /// The client height of a window whose outer height the layout names.
  void SetOuterHeight(int twips);
  /// Pixels the summary grew beyond its designed height.
  int growth_ = 0;

  QLabel* Image1;
  QLabel* lbl概述;
  QPushButton* cmd确定;
  QPushButton* cmd详细信息;
  QPlainTextEdit* txt细节;
  std::string summary_;
  std::string details_;
};

}  // namespace corvala4
