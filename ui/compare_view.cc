#include "ui/compare_view.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QTimer>

#include "results/output_file.h"
#include "results/paired_lines.h"
#include "results/rule_compare.h"
#include "ui/design.h"
#include "ui/pair_view.h"

namespace corvala4 {

namespace {

const QSize kDesignedClient(Twips(12000), Twips(7200));
/// How long one slice of the pass over the files may keep the window from the user.
constexpr double kSliceSeconds = 0.03;

QLabel* Panel(QStatusBar* bar, const char* name, int minimum) {
  auto* panel = new QLabel(bar);
  panel->setObjectName(name);
  panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  panel->setMinimumWidth(Twips(minimum));
  bar->addWidget(panel);
  return panel;
}

}  // namespace

frm对比::frm对比() {
  DesignWindow(this, "frm对比", "对比输出文件", Border::Sizable);

  view_ = new PairView(this);
  view_->setObjectName("view对比");
  cmd上一处 = new QPushButton("上一处差异(&P)", this);
  cmd上一处->setObjectName("cmd上一处");
  cmd上一处->setToolTip("Shift+F7");
  cmd下一处 = new QPushButton("下一处差异(&N)", this);
  cmd下一处->setObjectName("cmd下一处");
  cmd下一处->setToolTip("F7");
  cmd关闭 = new QPushButton("关闭(&C)", this);
  cmd关闭->setObjectName("cmd关闭");
  // No default button: Enter presses the focused one, in the rows it does nothing.
  for (QPushButton* button : {cmd上一处, cmd下一处, cmd关闭}) button->setAutoDefault(false);
  StatusBar = new QStatusBar(this);
  StatusBar->setObjectName("StatusBar");
  StatusBar->setSizeGripEnabled(false);
  pnl状态 = Panel(StatusBar, "pnl状态", 1440);
  pnl首处差异 = Panel(StatusBar, "pnl首处差异", 2400);
  pnl统计 = Panel(StatusBar, "pnl统计", 2400);
  pnl当前行 = Panel(StatusBar, "pnl当前行", 2400);
  scan_ = new QTimer(this);
  scan_->setInterval(0);

  connect(new QShortcut(Qt::Key_F7, this), &QShortcut::activated, this, [this] { cmd下一处_Click(); });
  connect(new QShortcut(Qt::SHIFT | Qt::Key_F7, this), &QShortcut::activated, this,
          [this] { cmd上一处_Click(); });
  connect(cmd上一处, &QPushButton::clicked, this, [this] { cmd上一处_Click(); });
  connect(cmd下一处, &QPushButton::clicked, this, [this] { cmd下一处_Click(); });
  connect(cmd关闭, &QPushButton::clicked, this, [this] { cmd关闭_Click(); });
  connect(scan_, &QTimer::timeout, this, [this] { Scan_Timer(); });
  view_->currentChanged = [this](int64_t) { RefreshStatus(); };

  setMinimumSize(Twips(6000), Twips(3000));
  resize(kDesignedClient);
  Form_Resize();
}

frm对比::~frm对比() = default;

void frm对比::ShowForFile(OutputFile& file) {
  // Pairs marked as the file's comparison rule accepts them, and the state with its reason.
  Load(file.Name(), file.OutputPath(), file.StandardPath(), file.ExplainedStatusText(),
       RuleJudge(file.Rule()));
  CentreOnOwner(this, OwnerWindow());
  exec();
}

void frm对比::Load(const std::string& name, const std::string& outputPath, const std::string& standardPath,
                   const std::string& state, PairJudge judge) {
  scan_->stop();
  view_->SetLines(nullptr, {}, {});
  lines_.reset();
  setWindowTitle(QString::fromStdString("对比输出文件'" + name + "'"));
  state_ = state;
  lines_ = std::make_unique<PairedLines>(outputPath, standardPath, std::move(judge));
  // The first rows at once; the rest while the user looks at them.
  lines_->Scan(kSliceSeconds);
  view_->SetLines(lines_.get(), QString::fromStdString("生成结果: " + outputPath),
                  QString::fromStdString("标准结果: " + standardPath));
  if (!lines_->Complete()) scan_->start();
  RefreshStatus();
  view_->setFocus();
}

void frm对比::Scan_Timer() {
  Handle([&] {
    if (!lines_ || lines_->Scan(kSliceSeconds)) scan_->stop();
    view_->RowsChanged();
    RefreshStatus();
  });
}

void frm对比::ReadAll() {
  while (lines_ && !lines_->Scan(1.0)) {
  }
  scan_->stop();
  view_->RowsChanged();
  RefreshStatus();
}

void frm对比::RefreshStatus() {
  if (!lines_) return;
  pnl状态->setText(QString::fromStdString(state_));
  std::optional<int64_t> first = lines_->FirstDifference();
  if (first)
    pnl首处差异->setText(QString("首处差异: 第%1行").arg(*first + 1));
  else if (lines_->Complete())
    pnl首处差异->setText("没有不同的行");
  else
    pnl首处差异->setText(QString("正在读取: 已读%1行").arg(lines_->Rows()));
  pnl统计->setText(QString("不同%1行, 容许%2行%3")
                       .arg(lines_->DifferingRows())
                       .arg(lines_->ToleratedRows())
                       .arg(lines_->Complete() ? QString(", 共%1行").arg(lines_->Rows()) : QString()));
  QString current;
  if (lines_->Rows() > 0) {
    PairRow row = lines_->Row(view_->CurrentRow());
    current = QString("第%1行").arg(row.number);
    if (row.state == RowState::Differs) current += ": 不同";
    if (row.state == RowState::Tolerated) current += ": 容许 (" + QString::fromStdString(row.reason) + ")";
  }
  pnl当前行->setText(current);
}

void frm对比::NextDifference() {
  if (!lines_) return;
  if (std::optional<int64_t> row = lines_->NextDifference(view_->CurrentRow()))
    view_->SetCurrentRow(*row, true);
  view_->RowsChanged();
  RefreshStatus();
}

void frm对比::PreviousDifference() {
  if (!lines_) return;
  if (std::optional<int64_t> row = lines_->PreviousDifference(view_->CurrentRow()))
    view_->SetCurrentRow(*row, true);
  RefreshStatus();
}

void frm对比::cmd上一处_Click() {
  Handle([&] { PreviousDifference(); });
}

void frm对比::cmd下一处_Click() {
  Handle([&] { NextDifference(); });
}

void frm对比::cmd关闭_Click() {
  reject();
}

void frm对比::keyPressEvent(QKeyEvent* event) {
  if (!PressFocusedButton(this, event)) QDialog::keyPressEvent(event);
}

void frm对比::done(int result) {
  // Nothing of the files stays open once the window is gone.
  scan_->stop();
  view_->SetLines(nullptr, {}, {});
  lines_.reset();
  QDialog::done(result);
}

void frm对比::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  Form_Resize();
}

void frm对比::Form_Resize() {
  // The rows take all but the buttons' row and the status bar; the buttons keep to the right.
  Arrange({{view_, {60, 60, 11880, 6240}, 0, 0, 1, 1},
           {cmd上一处, {7080, 6390, 1575, 375}, 1, 1, 0, 0},
           {cmd下一处, {8760, 6390, 1575, 375}, 1, 1, 0, 0},
           {cmd关闭, {10440, 6390, 1500, 375}, 1, 1, 0, 0},
           {StatusBar, {0, 6840, 12000, 360}, 0, 1, 1, 0}},
          kDesignedClient, size());
}

}  // namespace corvala4
