// The user interface with Qt widgets: message boxes, the error dialog, the test, status,
// compare and unit-runner windows. In a host that is a Qt application it uses that
// application; in any other it makes one for the time of the entry operation, or of the
// call that shows something, and ends it with every window it made.
#pragma once

#include <QString>
#include <QtGlobal>

#include <memory>

#include "corvala4/user_interface.h"
#include "foundation/platform/headless_ui.h"

class QApplication;

namespace corvala4 {

class QtTranslations;
class frm比较;
class frm错误;
class frm测试;
class frm状态;
class frmTestRunner;

class QtUserInterface : public UserInterface {
 public:
  /// platform: the Qt platform plugin for an application of our own ("" for Qt's choice).
  explicit QtUserInterface(QString platform = {});
  ~QtUserInterface() override;

  int MsgBox(const std::string& prompt, int style, const std::string& title, const std::string& helpFile,
             int helpContext) override;
  void ShowErrorDialog(const std::string& summary, const std::string& details) override;
  void DoEvents() override;
  void BeginOperation() override;
  void EndOperation() override;
  void ShowTestWindow(Tester& tester) override;
  void ShowStatusWindow(Tester& tester, bool quiet) override;
  void StatusLine(const std::string& line) override;
  void StatusClear() override;
  void ShowCompareWindow(TestCase& tc) override;
  void ShowUnitRunner(Tester& tester) override;

  /// The status window, while it is loaded (tests).
  frm状态* StatusWindow() const { return status_window_.get(); }

 private:
  /// Keeps an application for the time of one call, where one can be had.
  class Session {
   public:
    explicit Session(QtUserInterface& ui);
    ~Session();
    /// False where no display answers: the call is then answered as without one.
    bool Up() const { return up_; }

   private:
    QtUserInterface& ui_;
    bool up_;
  };
  void Enter();
  /// The outermost call or operation ends an application of our own, with its windows.
  void Leave();
  bool EnsureApplication();

  QString platform_;
  int depth_ = 0;
  std::unique_ptr<QApplication> own_app_;
  std::unique_ptr<QtTranslations> own_translations_;
  /// The host's handler of Qt's messages, given back when our application goes.
  QtMessageHandler host_messages_ = nullptr;
  std::unique_ptr<frm错误> error_dialog_;
  std::unique_ptr<frm测试> test_window_;
  std::unique_ptr<frm状态> status_window_;
  std::unique_ptr<frm比较> compare_window_;
  std::unique_ptr<frmTestRunner> unit_runner_;
  /// Answers for the windows when the display has gone away since the library was loaded.
  HeadlessUserInterface headless_;
};

}  // namespace corvala4
