#include "ui/compare_window.h"

#include <QHeaderView>
#include <QPushButton>
#include <QStyleOptionHeader>
#include <QTreeWidget>

#include "foundation/globals.h"
#include "model/test_case.h"
#include "results/output_files.h"
#include "settings/global_setting.h"
#include "ui/compare_view.h"
#include "ui/design.h"

namespace corvala4 {

namespace {

const QSize kDesignedClient(Twips(7215), Twips(4035));
const QSize kDesignedPanel(Twips(7215), Twips(675));

/// The width the first column needs for its caption and the sort arrow.
int NumberColumnWidth(QHeaderView* header) {
  QStyleOptionHeader option;
  option.initFrom(header);
  option.text = "序号";
  option.sortIndicator = QStyleOptionHeader::SortDown;
  return header->style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), header).width();
}

}  // namespace

frm比较::~frm比较() = default;

frm比较::frm比较() {
  DesignWindow(this, "frm比较", "比较算例的输出文件", Border::SizableNoMinMax);

  lv输出文件 = new QTreeWidget(this);
  lv输出文件->setObjectName("lv输出文件");
  lv输出文件->setColumnCount(3);
  lv输出文件->setHeaderLabels({"序号", "文件", "状态"});
  lv输出文件->setRootIsDecorated(false);
  lv输出文件->setUniformRowHeights(true);
  lv输出文件->setSelectionMode(QAbstractItemView::ExtendedSelection);
  lv输出文件->setSortingEnabled(false);
  lv输出文件->header()->setSectionsClickable(true);
  lv输出文件->header()->setStretchLastSection(false);
  // Wide enough for 序号 beside the sort arrow in the font used here.
  lv输出文件->setColumnWidth(0, qMax(Twips(551), NumberColumnWidth(lv输出文件->header())));
  lv输出文件->setColumnWidth(1, Twips(4520));
  lv输出文件->setColumnWidth(2, Twips(1600));
  Picture1 = new QWidget(this);
  Picture1->setObjectName("Picture1");
  cmd比较文件 = new QPushButton("比较文件(&C)", Picture1);
  cmd比较文件->setObjectName("cmd比较文件");
  cmd比较文件->setDefault(true);
  cmd查看差异 = new QPushButton("查看差异(&V)", Picture1);
  cmd查看差异->setObjectName("cmd查看差异");
  cmd查看差异->setToolTip("在本程序的对比窗口中查看选中的文件与其标准文件的差异");
  cmd比较目录 = new QPushButton("比较目录(&D)", Picture1);
  cmd比较目录->setObjectName("cmd比较目录");
  cmd关闭 = new QPushButton("关闭(&C)", Picture1);
  cmd关闭->setObjectName("cmd关闭");
  // Enter presses 比较文件, unless the focus is on another button: then that one.
  for (QPushButton* button : {cmd查看差异, cmd比较文件, cmd比较目录, cmd关闭}) button->setAutoDefault(true);

  connect(cmd比较文件, &QPushButton::clicked, this, [this] { cmd比较文件_Click(); });
  connect(cmd查看差异, &QPushButton::clicked, this, [this] { cmd查看差异_Click(); });
  connect(cmd比较目录, &QPushButton::clicked, this, [this] { cmd比较目录_Click(); });
  connect(cmd关闭, &QPushButton::clicked, this, [this] { cmd关闭_Click(); });
  connect(lv输出文件, &QTreeWidget::itemDoubleClicked, this, [this] { lv输出文件_DblClick(); });
  connect(lv输出文件->header(), &QHeaderView::sectionClicked, this,
          [this](int section) { lv输出文件_ColumnClick(section); });

  // Smaller, the buttons would leave the window.
  setMinimumSize(kDesignedClient);
  resize(kDesignedClient);
  Form_Resize();
}

void frm比较::ShowForCase(TestCaseImpl& tc) {
  case_ = &tc;
  try {
    tc.UpdateStatus(false);
    Load(tc);
    CentreOnOwner(this, OwnerWindow());
    exec();
  } catch (...) {
    case_ = nullptr;
    throw;
  }
  case_ = nullptr;
}

void frm比较::Load(TestCaseImpl& tc) {
  case_ = &tc;
  resize(kDesignedClient);
  Form_Load();
}

void frm比较::Form_Load() {
  Handle([&] {
    setWindowTitle(QString::fromStdString("比较算例'" + case_->Caption() + "'的输出文件"));
    lv输出文件->clear();
    sort_column_ = 0;
    descending_ = false;
    lv输出文件->header()->setSortIndicatorShown(false);
    for (const std::shared_ptr<OutputFile>& file : *case_->OutputFiles()) {
      int n = lv输出文件->topLevelItemCount() + 1;
      QString number = QString("%1").arg(n, 3, 10, QChar('0'));
      auto* item = new QTreeWidgetItem(
          {number, QString::fromStdString(file->Name()), QString::fromStdString(file->ExplainedStatusText())});
      item->setData(0, Qt::UserRole, QString::fromStdString(file->Name()));
      lv输出文件->addTopLevelItem(item);
    }
  });
}

void frm比较::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  Form_Resize();
}

void frm比较::Form_Resize() {
  // The button panel keeps to the bottom edge, its buttons to its right end; the list takes the rest.
  Arrange({{lv输出文件, {60, 60, 7095, 3195}, 0, 0, 1, 1}, {Picture1, {0, 3360, 7215, 675}, 0, 1, 1, 0}},
          kDesignedClient, size());
  Arrange({{cmd查看差异, {1560, 120, 1455, 375}, 1, 0, 0, 0},
           {cmd比较文件, {3060, 120, 1455, 375}, 1, 0, 0, 0},
           {cmd比较目录, {4560, 120, 1455, 375}, 1, 0, 0, 0},
           {cmd关闭, {6060, 120, 975, 375}, 1, 0, 0, 0}},
          kDesignedPanel, Picture1->size());
}

std::shared_ptr<OutputFiles> frm比较::GetSelectedFiles() {
  auto files = std::make_shared<OutputFiles>();
  for (int i = 0; i < lv输出文件->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = lv输出文件->topLevelItem(i);
    if (!item->isSelected()) continue;
    std::string key = item->data(0, Qt::UserRole).toString().toStdString();
    for (const std::shared_ptr<OutputFile>& file : *case_->OutputFiles())
      if (file->Name() == key) files->Add(file);
  }
  return files;
}

void frm比较::CompareFiles(const OutputFiles& files) {
  // Without a compare program of the user's, the built-in view shows the pair instead.
  GlobalSetting& setting = Setting();
  bool tool = setting.ExternalToolEnabled() && !setting.ExternalToolPath().empty();
  for (const std::shared_ptr<OutputFile>& file : files) {
    if (tool)
      file->CompareWithTool();
    else
      ShowDifferences(*file);
  }
}

void frm比较::ShowDifferences(OutputFile& file) {
  if (!view_) view_ = std::make_unique<frm对比>();
  view_->ShowForFile(file);
}

void frm比较::cmd查看差异_Click() {
  Handle([&] {
    std::shared_ptr<OutputFiles> files = GetSelectedFiles();
    for (const std::shared_ptr<OutputFile>& file : *files) ShowDifferences(*file);
  });
}

void frm比较::cmd比较文件_Click() {
  Handle([&] { CompareFiles(*GetSelectedFiles()); });
}

void frm比较::cmd比较目录_Click() {
  Handle([&] { case_->CompareWithTool(); });
}

void frm比较::cmd关闭_Click() {
  reject();
}

void frm比较::lv输出文件_DblClick() {
  // A double-click is a quick look: what fails here is not worth a dialog.
  try {
    CompareFiles(*GetSelectedFiles());
  } catch (...) {
  }
}

void frm比较::lv输出文件_ColumnClick(int section) {
  Handle([&] {
    QString header = lv输出文件->headerItem()->text(section);
    int column = header == "序号" ? 0 : header == "文件" ? 1 : header == "状态" ? 2 : -1;
    if (column < 0) return;
    descending_ = column == sort_column_ ? !descending_ : false;
    sort_column_ = column;
    Qt::SortOrder order = descending_ ? Qt::DescendingOrder : Qt::AscendingOrder;
    lv输出文件->sortItems(column, order);
    lv输出文件->header()->setSortIndicator(column, order);
    lv输出文件->header()->setSortIndicatorShown(true);
  });
}

}  // namespace corvala4
