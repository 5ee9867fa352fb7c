// The built-in compare view: one produced output file beside its standard file, lines paired
// as the comparison pairs them, the differing and the tolerated pairs marked, F7 and Shift+F7
// to the next and the previous difference, the state and the first difference in its status
// bar. Files of any size open at once: the rows are read from the files as they are shown.
#pragma once

#include <QDialog>

#include <memory>
#include <string>

#include "results/paired_lines.h"

class QLabel;
class QPushButton;
class QStatusBar;
class QTimer;

namespace corvala4 {

class OutputFile;
class PairView;
class PairedLines;

class frm对比 : public QDialog {
 public:
  frm对比();
  ~frm对比() override;

  /// Shows the file beside its standard file modally; returns when the window closes.
  void ShowForFile(OutputFile& file);
  /// Loads the window for a pair of files without showing it. `state` is the comparison's word
  /// for the pair ("内容不同").
  void Load(const std::string& name, const std::string& outputPath, const std::string& standardPath,
            const std::string& state, PairJudge judge = DateLineJudge());

  /// The next and the previous block of differing rows.
  void NextDifference();
  void PreviousDifference();
  /// Reads the files to their ends (tests, benchmarks).
  void ReadAll();
  PairView* View() const { return view_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void done(int result) override;

 private:
  void Form_Resize();
  void Scan_Timer();
  void cmd上一处_Click();
  void cmd下一处_Click();
  void cmd关闭_Click();
  void RefreshStatus();

  std::unique_ptr<PairedLines> lines_;
  std::string state_;
  PairView* view_;
  QPushButton* cmd上一处;
  QPushButton* cmd下一处;
  QPushButton* cmd关闭;
  QStatusBar* StatusBar;
  QLabel* pnl状态;
  QLabel* pnl首处差异;
  QLabel* pnl统计;
  QLabel* pnl当前行;
  QTimer* scan_;
};

}  // namespace corvala4
