// The compare window: the output files of one case with how each compares with its
// standard file; single files or the case's folders go to the external compare program.
#pragma once

#include <QDialog>

#include <memory>

class QPushButton;
class QTreeWidget;

namespace corvala4 {

class OutputFile;
class OutputFiles;
class frm对比;
class TestCaseImpl;

class frm比较 : public QDialog {
 public:
  frm比较();
  ~frm比较() override;

  /// Compares the case's outputs anew, its pass marker untouched, and shows them modally;
  /// returns when the window closes.
  void ShowForCase(TestCaseImpl& tc);
  /// Loads the window for a case without showing it: caption and list.
  void Load(TestCaseImpl& tc);

  /// A new collection of the output files of the selected items, in display order.
  std::shared_ptr<OutputFiles> GetSelectedFiles();
  /// Hands each file and its standard file to the external compare program, or, where none
  /// is set (switched off or no path), shows each in the built-in compare view.
  void CompareFiles(const OutputFiles& files);
  /// The file beside its standard file in the built-in compare view, modally.
  void ShowDifferences(OutputFile& file);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Form_Load();
  void Form_Resize();
  void cmd比较文件_Click();
  void cmd查看差异_Click();
  void cmd比较目录_Click();
  void cmd关闭_Click();
  void lv输出文件_DblClick();
  void lv输出文件_ColumnClick(int section);

  TestCaseImpl* case_ = nullptr;
  /// The column the list is sorted by and its direction; the list starts unsorted.
  int sort_column_ = 0;
  bool descending_ = false;
  QTreeWidget* lv输出文件;
  QWidget* Picture1;
  QPushButton* cmd查看差异;
  QPushButton* cmd比较文件;
  QPushButton* cmd比较目录;
  QPushButton* cmd关闭;
  std::unique_ptr<frm对比> view_;
};

}  // namespace corvala4
