#include "ui/test_window.h"

#include <QComboBox>
#include <QEvent>
#include <QItemSelection>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>

#include <algorithm>

#include "corvala4/user_interface.h"
#include "corvala4/version.h"
#include "engine/run_driver.h"
#include "engine/tester_core.h"
#include "foundation/detailed_fso.h"
#include "foundation/format_msg.h"
#include "foundation/globals.h"
#include "foundation/value.h"
#include "model/test_case.h"
#include "model/test_cases.h"
#include "results/output_files.h"
#include "settings/global_setting.h"
#include "ui/case_commands.h"
#include "ui/design.h"
#include "ui/options_dialog.h"

namespace corvala4 {

namespace {

const QSize kDesignedClient(Twips(9735), Twips(7560));

/// The status-bar panels in order, each named by its key.
const char* const kPanelKeys[] = {"已选算例", "必测算例", "未通过算例", "算例总数", "配置文件"};

}  // namespace

frm测试::frm测试() {
  DesignWindow(this, "frm测试", {}, Border::Sizable);

  Label提示 = new QLabel("选择测试算例(可多选)：", this);
  Label提示->setObjectName("Label提示");
  Combo过滤器 = new QComboBox(this);
  Combo过滤器->setObjectName("Combo过滤器");
  Combo过滤器->setEditable(false);
  Combo过滤器->addItems(
      {"请选择...", "选择全部", "选择必测", "选择未通过", "必测未通过", "反向选择", "全部取消"});
  TestList = new QListWidget(this);
  TestList->setObjectName("TestList");
  TestList->setSelectionMode(QAbstractItemView::ExtendedSelection);
  TestList->setSortingEnabled(false);
  TestList->setUniformItemSizes(true);
  TestList->setContextMenuPolicy(Qt::CustomContextMenu);
  txt说明 = ReadOnlyTextBox(this, "txt说明", true);
  cmd选项 = new QPushButton("选项(&P)...", this);
  cmd选项->setObjectName("cmd选项");
  cmd操作菜单 = new QPushButton("操作菜单(&O)", this);
  cmd操作菜单->setObjectName("cmd操作菜单");
  cmd操作菜单->setToolTip("请在选中算例后点击此按钮!");
  cmd安静测试 = new QPushButton("安静测试(&S)", this);
  cmd安静测试->setObjectName("cmd安静测试");
  cmd安静测试->setToolTip(
      "在执行过程中发生计算结果不匹配的情况时不会进行提示,仅在全部选定算例执行后提示完成.");
  cmd正常测试 = new QPushButton("正常测试(&T)", this);
  cmd正常测试->setObjectName("cmd正常测试");
  cmd取消 = new QPushButton("取消(&C)", this);
  cmd取消->setObjectName("cmd取消");
  StatusBar = new QStatusBar(this);
  StatusBar->setObjectName("StatusBar");
  for (const char* key : kPanelKeys) {
    auto* panel = new QLabel(StatusBar);
    panel->setObjectName(key);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setMinimumWidth(Twips(1440));
    panel->installEventFilter(this);
    StatusBar->addWidget(panel);
    panels_.push_back(panel);
  }
  panels_.back()->setMinimumWidth(Twips(3630));
  panels_.back()->setToolTip("双击显示详细信息");
  commands_ = new CaseCommands(*this);
  // No button is the default one: Enter in the list does what a double-click does, and on a
  // button presses that button (keyPressEvent).
  for (QPushButton* button : {cmd选项, cmd操作菜单, cmd安静测试, cmd正常测试, cmd取消})
    button->setAutoDefault(false);
  TestList->viewport()->installEventFilter(this);
  // The designed details box shows ten lines of 宋体; in the font used here it grows until ten
  // whole lines show, and the window with it.
  txt说明->setFont(DesignFont());
  details_growth_ = qMax(0, TextBoxHeight(txt说明, 10) - Twips(1995));

  connect(new QShortcut(Qt::Key_F5, this), &QShortcut::activated, this, [this] { Form_KeyF5(); });
  connect(TestList, &QListWidget::itemSelectionChanged, this, [this] { TestList_Click(); });
  connect(TestList, &QListWidget::currentRowChanged, this, [this] { TestList_Click(); });
  connect(TestList, &QListWidget::itemDoubleClicked, this, [this] { TestList_DblClick(); });
  connect(TestList, &QListWidget::customContextMenuRequested, this,
          [this](QPoint at) { commands_->PopupCaseMenu(TestList->viewport()->mapToGlobal(at)); });
  connect(Combo过滤器, &QComboBox::activated, this, [this](int index) { Combo过滤器_Click(index); });
  connect(cmd选项, &QPushButton::clicked, this, [this] { cmd选项_Click(); });
  connect(cmd操作菜单, &QPushButton::clicked, this, [this] { cmd操作菜单_Click(); });
  connect(cmd安静测试, &QPushButton::clicked, this, [this] { cmd安静测试_Click(); });
  connect(cmd正常测试, &QPushButton::clicked, this, [this] { cmd正常测试_Click(); });
  connect(cmd取消, &QPushButton::clicked, this, [this] { cmd取消_Click(); });
  setMinimumSize(Designed());
  resize(Designed());
  Form_Resize();
}

frm测试::~frm测试() = default;

void frm测试::ShowModal(TesterCore& tester) {
  Load(tester);
  CentreOnOwner(this, OwnerWindow());
  SetRunOwner(this, false);
  exec();
  SetRunOwner(nullptr, false);
}

void frm测试::Load(TesterCore& tester) {
  mobjTester_ = &tester;
  resize(Designed());
  Form_Load();
}

void frm测试::Form_Load() {
  setWindowTitle(QString::fromStdString(
      FormatMsg("Veltrana %0.%1版 (Build %2)", kVersionMajor, kVersionMinor, kVersionRevision)));
  Handle([&] { RefreshList(); });
}

void frm测试::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  Form_Resize();
}

void frm测试::Form_Resize() {
  // The list takes two thirds of any growth in height, the details one third; the
  // run buttons keep to the lower right corner. What the details box grew for its font
  // moves everything below it down.
  int g = details_growth_ * 15;
  Arrange({{Label提示, {120, 180, 2775, 255}},
           {Combo过滤器, {8160, 120, 1455, 315}, 1, 0, 0, 0},
           {TestList, {120, 480, 9495, 4020}, 0, 0, 1, 2.0 / 3},
           {txt说明, {120, 4620, 9495, 1995 + g}, 0, 2.0 / 3, 1, 1.0 / 3},
           {cmd选项, {120, 6720 + g, 1335, 375}, 0, 1, 0, 0},
           {cmd操作菜单, {1560, 6720 + g, 1335, 375}, 0, 1, 0, 0},
           {cmd安静测试, {5160, 6720 + g, 1575, 375}, 1, 1, 0, 0},
           {cmd正常测试, {6840, 6720 + g, 1575, 375}, 1, 1, 0, 0},
           {cmd取消, {8520, 6720 + g, 1095, 375}, 1, 1, 0, 0},
           {StatusBar, {0, 7200 + g, 9735, 360}, 0, 1, 1, 0}},
          Designed(), size());
}

QSize frm测试::Designed() const {
  return QSize(kDesignedClient.width(), kDesignedClient.height() + details_growth_);
}

void frm测试::RefreshList() {
  {
    // One refresh of the details below, not one for every entry on its way in.
    QSignalBlocker quiet(TestList);
    TestList->clear();
    std::shared_ptr<TestCasesImpl> cases = mobjTester_->TestCases();
    for (int32_t i = 1; i <= cases->Count(); ++i) {
      auto* entry = new QListWidgetItem(QString::fromStdString(cases->At(i)->DisplayCaption()));
      entry->setData(Qt::UserRole, i);
      TestList->addItem(entry);
    }
    if (TestList->count() > 0) TestList->setCurrentRow(0, QItemSelectionModel::NoUpdate);
  }
  Combo过滤器->setCurrentIndex(0);
  RefreshDetails();
}

void frm测试::RefreshDetails() {
  std::string text;
  if (std::shared_ptr<TestCaseImpl> tc = GetActiveCase()) {
    std::shared_ptr<OutputFiles> outputs = tc->OutputFiles();
    text = "算例名称: " + tc->Caption() + "\r\n" + "测试功能: " + tc->FuncNumText() + "\r\n" +
           "是否必测: " + BoolText(tc->Mandatory()) + "\r\n" +
           "是否存在: " + BoolText(tc->StandardFolderExists()) + "\r\n" +
           "是否通过: " + BoolText(tc->Passed()) + "\r\n" + "算例目录: " + tc->StandardFolder() + "\r\n" +
           "输出目录: " + tc->TestCaseFolder() + "\r\n" + "工程文件: " + tc->ProjectFileName() + "\r\n" +
           "输出文件: (" + std::to_string(outputs->Count()) + "个)" + "\r\n";
    for (const std::shared_ptr<OutputFile>& file : *outputs)
      text += file->Name() + (file->Keep() ? " (计算时需保留)" : "") + "\r\n";
  }
  txt说明->setPlainText(ShownText(text));

  std::shared_ptr<TestCasesImpl> cases = mobjTester_->TestCases();
  int32_t count = cases->Count();
  std::string values[] = {
      std::to_string(TestList->selectionModel()->selectedRows().size()),
      std::to_string(cases->MandatoryCount()),
      std::to_string(count - cases->PassedCount()),
      std::to_string(count),
      FSO().GetFileName(mobjTester_->DefinitionFile()),
  };
  for (size_t i = 0; i < panels_.size(); ++i)
    panels_[i]->setText(QString(kPanelKeys[i]) + ":" + QString::fromStdString(values[i]));
}

std::shared_ptr<TestCaseImpl> frm测试::GetActiveCase() {
  int row = TestList->currentRow();
  if (row < 0) return nullptr;
  return CaseOfRow(row);
}

std::shared_ptr<TestCasesImpl> frm测试::GetSelectedCases() {
  std::vector<int> rows;
  for (const QModelIndex& index : TestList->selectionModel()->selectedRows()) rows.push_back(index.row());
  std::sort(rows.begin(), rows.end());
  auto cases = std::make_shared<TestCasesImpl>();
  for (int row : rows) {
    std::shared_ptr<TestCaseImpl> tc = CaseOfRow(row);
    if (tc->StandardFolderExists())
      cases->Add(tc);
    else
      mobjTester_->ShowMessage(FormatMsg("算例'%0'不存在!", tc->Caption()), kOkOnly | kExclamation);
  }
  return cases;
}

void frm测试::StartRun(const std::shared_ptr<TestCasesImpl>& cases, bool quiet) {
  if (!cases || cases->Count() < 1) {
    mobjTester_->ShowMessage("未选中项目!", kOkOnly | kCritical);
    return;
  }
  // Hidden for the run, so no second run can start from it; the status window and
  // the messages of the run stand alone meanwhile.
  hide();
  SetRunOwner(this, true);
  mobjTester_->Driver().RunCases(cases, quiet);
  SetRunOwner(this, false);
  accept();
}

std::shared_ptr<TestCaseImpl> frm测试::CaseOfRow(int row) {
  return mobjTester_->TestCases()->At(TestList->item(row)->data(Qt::UserRole).toInt());
}

void frm测试::SelectWhere(const std::function<bool(int row, bool selected)>& rule) {
  int count = TestList->count();
  std::vector<bool> selected(static_cast<size_t>(count), false);
  for (const QModelIndex& index : TestList->selectionModel()->selectedRows())
    selected[static_cast<size_t>(index.row())] = true;
  for (int row = 0; row < count; ++row) {
    size_t i = static_cast<size_t>(row);
    selected[i] = rule(row, selected[i]);
  }
  // One selection of whole runs of entries: selecting entry by entry would cost the
  // selection model time for every entry already selected.
  QItemSelection selection;
  QAbstractItemModel* model = TestList->model();
  for (int row = 0; row < count;) {
    if (!selected[static_cast<size_t>(row)]) {
      ++row;
      continue;
    }
    int first = row;
    while (row < count && selected[static_cast<size_t>(row)]) ++row;
    selection.select(model->index(first, 0), model->index(row - 1, 0));
  }
  TestList->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void frm测试::SelectAll() {
  SelectWhere([](int, bool) { return true; });
}
void frm测试::SelectNone() {
  SelectWhere([](int, bool) { return false; });
}
void frm测试::SelectMandatory() {
  SelectWhere([this](int row, bool) { return CaseOfRow(row)->Mandatory(); });
}
void frm测试::SelectNotPassed() {
  SelectWhere([this](int row, bool) { return !CaseOfRow(row)->Passed(); });
}
void frm测试::SelectMandatoryNotPassed() {
  SelectWhere([this](int row, bool) {
    std::shared_ptr<TestCaseImpl> tc = CaseOfRow(row);
    return tc->Mandatory() && !tc->Passed();
  });
}
void frm测试::InvertSelection() {
  SelectWhere([](int, bool selected) { return !selected; });
}

bool frm测试::eventFilter(QObject* watched, QEvent* event) {
  if (watched == TestList->viewport())
    return TestList_RightPress(event) || QDialog::eventFilter(watched, event);
  if (event->type() == QEvent::MouseButtonDblClick) {
    auto it = std::find(panels_.begin(), panels_.end(), watched);
    if (it != panels_.end()) StatusBar_PanelDblClick((*it)->objectName());
  }
  return QDialog::eventFilter(watched, event);
}

void frm测试::Form_KeyF5() {
  Handle([&] { RefreshList(); });
}

void frm测试::TestList_Click() {
  Handle([&] { RefreshDetails(); });
}

void frm测试::TestList_DblClick() {
  commands_->DoubleClickAction();
}

bool frm测试::TestList_RightPress(QEvent* event) {
  if (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonRelease) return false;
  auto* mouse = static_cast<QMouseEvent*>(event);
  if (mouse->button() != Qt::RightButton) return false;
  // The case menu acts on the cases the user picked: a right click keeps them picked, inside
  // the selection or outside it. Only where nothing is picked does it pick the entry it hits.
  return TestList->selectionModel()->hasSelection();
}

void frm测试::keyPressEvent(QKeyEvent* event) {
  bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && focusWidget() == TestList) {
    TestList_DblClick();
    return;
  }
  if (PressFocusedButton(this, event)) return;
  QDialog::keyPressEvent(event);
}

void frm测试::Combo过滤器_Click(int index) {
  Handle([&] {
    switch (index) {
      case 1: SelectAll(); break;
      case 2: SelectMandatory(); break;
      case 3: SelectNotPassed(); break;
      case 4: SelectMandatoryNotPassed(); break;
      case 5: InvertSelection(); break;
      case 6: SelectNone(); break;
      default: break;
    }
    Combo过滤器->setCurrentIndex(0);
    if (TestList->isVisible()) TestList->setFocus();
  });
}

void frm测试::cmd选项_Click() {
  Handle([&] {
    if (!options_) options_ = std::make_unique<frm选项>();
    options_->ShowModal(*mobjTester_);
    RefreshDetails();
  });
}

void frm测试::cmd操作菜单_Click() {
  // Under the button, whether it was clicked or pressed from the keyboard.
  commands_->PopupCaseMenu(cmd操作菜单->mapToGlobal(QPoint(0, cmd操作菜单->height())));
}

void frm测试::cmd安静测试_Click() {
  Handle([&] { StartRun(GetSelectedCases(), true); });
}

void frm测试::cmd正常测试_Click() {
  Handle([&] { StartRun(GetSelectedCases(), false); });
}

void frm测试::cmd取消_Click() {
  reject();
}

void frm测试::StatusBar_PanelDblClick(const QString& key) {
  commands_->PanelDblClick(key);
}

}  // namespace corvala4
