// The status window: the progress lines of a run, in a small modeless window in the
// lower right corner of the screen.
#pragma once

#include <QWidget>

#include <string>

class QPlainTextEdit;

namespace corvala4 {

class frm状态 : public QWidget {
 public:
  frm状态();

  /// Shows the window without waiting (placed anew when it was closed), empties it
  /// and names the run's mode in the caption.
  void ShowEx(bool quiet);

  // The reporter's events, while the window is open.
  void mobjReporter_AddMsg(const std::string& msg);
  void mobjReporter_Clear();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void changeEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Form_Load();
  void Form_Resize();

  QPlainTextEdit* Text状态;
};

}  // namespace corvala4
