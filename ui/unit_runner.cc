#include "ui/unit_runner.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "corvala4/unit_tests.h"
#include "ui/design.h"

namespace corvala4 {

namespace {

const QColor kPassedColour(0x1e, 0x8c, 0x3a);
const QColor kFailedColour(0xc8, 0x1e, 0x1e);

void Colour(QProgressBar* bar, const QColor& colour) {
  QPalette palette = bar->palette();
  palette.setColor(QPalette::Highlight, colour);
  bar->setPalette(palette);
}

}  // namespace

UnitRunner::UnitRunner(QWidget* parent) : QWidget(parent) {
  setObjectName("UnitRunner1");
  lvTests = new QTreeWidget(this);
  lvTests->setObjectName("lvTests");
  lvTests->setHeaderLabels({"Test", "Result", "Message"});
  lvTests->setRootIsDecorated(false);
  lvTests->setUniformRowHeights(true);
  lvTests->setColumnWidth(0, Twips(4200));
  lvTests->setColumnWidth(1, Twips(1000));
  barProgress = new QProgressBar(this);
  barProgress->setObjectName("barProgress");
  barProgress->setTextVisible(false);
  lblSummary = new QLabel(this);
  lblSummary->setObjectName("lblSummary");

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(lvTests, 1);
  layout->addWidget(barProgress);
  layout->addWidget(lblSummary);
  Reload();
}

void UnitRunner::Reload() {
  lvTests->clear();
  for (const std::string& name : UnitTestNames())
    lvTests->addTopLevelItem(new QTreeWidgetItem({QString::fromStdString(name), "", ""}));
  passed_ = failed_ = 0;
  barProgress->setValue(0);
  Colour(barProgress, kPassedColour);
  ShowCounts(lvTests->topLevelItemCount());
}

void UnitRunner::Run() {
  // Nothing here takes input while a test runs, but a test may spin the event loop itself.
  if (running_) return;
  running_ = true;
  Reload();
  int total = lvTests->topLevelItemCount();
  barProgress->setRange(0, qMax(total, 1));
  for (int i = 0; i < total; ++i) {
    QTreeWidgetItem* item = lvTests->topLevelItem(i);
    item->setText(1, "Running");
    lvTests->scrollToItem(item);
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    UnitTestResult result = RunUnitTest(static_cast<std::size_t>(i));
    item->setText(1, result.passed ? "Passed" : "Failed");
    item->setForeground(1, result.passed ? kPassedColour : kFailedColour);
    item->setText(2, QString::fromStdString(result.message));
    item->setToolTip(2, item->text(2));
    (result.passed ? passed_ : failed_) += 1;
    if (failed_) Colour(barProgress, kFailedColour);
    barProgress->setValue(i + 1);
    ShowCounts(total);
  }
  if (total == 0) barProgress->setValue(1);
  running_ = false;
}

void UnitRunner::ShowCounts(int total) {
  lblSummary->setText(QString("Tests: %1, passed: %2, failed: %3").arg(total).arg(passed_).arg(failed_));
}

}  // namespace corvala4
