// The user interface with Qt widgets: message boxes, the error dialog, the test and
// status windows. In a host that is a Qt application it uses that application; in
// any other it makes one for the time of each call that shows something.
#pragma once

#include <QString>

#include <memory>

#include "corvala4/user_interface.h"

class QApplication;

namespace corvala4 {

class frm错误;
class frm测试;
class frm状态;

class QtUserInterface : public UserInterface {
 public:
  /// platform: the Qt platform plugin for an application of our own ("" for Qt's choice).
  explicit QtUserInterface(QString platform = {});
  ~QtUserInterface() override;

  int MsgBox(const std::string& prompt, int style, const std::string& title, const std::string& helpFile,
             int helpContext) override;
  void ShowErrorDialog(const std::string& summary, const std::string& details) override;
  void DoEvents() override;
  void ShowTestWindow(Tester& tester) override;
  void ShowStatusWindow(Tester& tester, bool quiet) override;
  void StatusLine(const std::string& line) override;
  void StatusClear() override;
  void ShowCompareWindow(TestCase& tc) override;
  void ShowUnitRunner(Tester& tester) override;

  /// The status window, while it is loaded (tests).
  frm状态* StatusWindow() const { return status_window_.get(); }

 private:
  /// Keeps an application for the time of one call; the outermost of nested calls
  /// ends an application of our own, with every window it made.
  class Session {
   public:
    explicit Session(QtUserInterface& ui);
    ~Session();

   private:
    QtUserInterface& ui_;
  };

  QString platform_;
  int depth_ = 0;
  std::unique_ptr<QApplication> own_app_;
  std::unique_ptr<frm错误> error_dialog_;
  std::unique_ptr<frm测试> test_window_;
  std::unique_ptr<frm状态> status_window_;
};

}  // namespace corvala4
