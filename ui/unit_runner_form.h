// The unit-runner form: hosts the runner of the host's unit tests, with a button that
// runs them and one that closes the form.
#pragma once

#include <QDialog>

class QPushButton;

namespace corvala4 {

class UnitRunner;

class frmTestRunner : public QDialog {
 public:
  frmTestRunner();

  /// Shows the form modally with the tests registered now; returns when it closes.
  void ShowModal();

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Form_Resize();
  void btnRun_Click();
  void btnClose_Click();

  UnitRunner* UnitRunner1;
  QPushButton* btnRun;
  QPushButton* btnClose;
};

/// x when it is greater than 0, else 0.
constexpr int ClampToZero(int x) { return x > 0 ? x : 0; }

}  // namespace corvala4
