// The runner the unit-runner form hosts: every unit test the host registered, with its
// result and message after a run, and how many passed and failed.
#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QTreeWidget;

namespace corvala4 {

class UnitRunner : public QWidget {
 public:
  explicit UnitRunner(QWidget* parent = nullptr);

  /// Lists the registered tests, none of them run yet.
  void Reload();
  /// Runs every registered test in order, showing each result as it comes.
  void Run();

  int Passed() const { return passed_; }
  int Failed() const { return failed_; }

 private:
  void ShowCounts(int total);

  QTreeWidget* lvTests;
  QProgressBar* barProgress;
  QLabel* lblSummary;
  int passed_ = 0;
  int failed_ = 0;
  bool running_ = false;
};

}  // namespace corvala4
