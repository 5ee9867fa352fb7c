#include "ui/options_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyle>
#include <QTabWidget>

#include "engine/tester_core.h"
#include "foundation/globals.h"
#include "settings/global_setting.h"
#include "ui/design.h"

namespace corvala4 {

namespace {

/// The tab strip above a page; the controls of a page were placed below it.
constexpr int kTabStripTwips = 360;

QRect PageRect(int left, int top, int width, int height) {
  return TwipsRect(left - 60, top - kTabStripTwips, width, height);
}

template <typename T>
T* Named(T* widget, const char* name) {
  widget->setObjectName(name);
  return widget;
}

/// The designed filters name Windows' patterns; here a program is any file one may run,
/// whatever its name, so the first filter lists the executable files instead.
const QString kExecutableFilter = "可执行文件 (*)";
const QString kAnyFileFilter = "任意文件 (*)";

void ListOnly(QFileDialog& dialog, const QString& filter) {
  QDir::Filters files = QDir::AllDirs | QDir::Files | QDir::NoDot;
  dialog.setFilter(filter == kExecutableFilter ? files | QDir::Executable : files);
}

}  // namespace

frm选项::frm选项() {
  DesignWindow(this, "frm选项", "选项", Border::Fixed);

  SSTab选项 = Named(new QTabWidget(this), "SSTab选项");
  auto* tool_page = new QWidget;
  auto* advanced_page = new QWidget;
  SSTab选项->addTab(tool_page, "外部比较工具");
  SSTab选项->addTab(advanced_page, "高级");
  Frame1 = Named(new QGroupBox(tool_page), "Frame1");
  chk启用外部比较工具 = Named(new QCheckBox("启用外部比较工具", Frame1), "chk启用外部比较工具");
  Label外部比较工具说明 = Named(new QLabel(Frame1), "Label外部比较工具说明");
  // The CJK fonts here set lines wider apart than 宋体: a tighter line keeps the whole note,
  // with the command line it describes, inside its frame.
  Label外部比较工具说明->setTextFormat(Qt::RichText);
  Label外部比较工具说明->setText(
      "<div style=\"line-height:14px\">"
      "说明:外部比较工具是在自测试算例不通过的时候调用的外部程序,该程序必须可以通过命令行调用."
      "自测试模块调用它时会使用标准结果文件和生成结果文件的全路径作参数.格式如下: "
      "&quot;程序路径&quot; &quot;生成结果文件全路径&quot; &quot;标准结果文件全路径&quot;</div>");
  Label外部比较工具说明->setWordWrap(true);
  Label外部比较工具说明->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Frame路径设置 = Named(new QGroupBox("路径设置", tool_page), "Frame路径设置");
  txt外部工具路径 = Named(new QLineEdit(Frame路径设置), "txt外部工具路径");
  cmd恢复默认值 = Named(new QPushButton("恢复默认值(&D)", Frame路径设置), "cmd恢复默认值");
  cmd选择文件 = Named(new QPushButton("选择文件(&B)...", Frame路径设置), "cmd选择文件");
  Frame显示设定 = Named(new QGroupBox("显示设定", advanced_page), "Frame显示设定");
  chk显示状态窗口 = Named(new QCheckBox("显示状态窗口", Frame显示设定), "chk显示状态窗口");
  Label显示状态窗口说明 = Named(
      new QLabel("说明:该选项选中后,在计算过程中会有一个包含当前自测试状态信息的窗口被显示.", Frame显示设定),
      "Label显示状态窗口说明");
  Label显示状态窗口说明->setWordWrap(true);
  Label显示状态窗口说明->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Frame动作设定 = Named(new QGroupBox("动作设定", advanced_page), "Frame动作设定");
  Label动作设定 = Named(new QLabel("双击列表元素时:", Frame动作设定), "Label动作设定");
  Combo动作设定 = Named(new QComboBox(Frame动作设定), "Combo动作设定");
  Combo动作设定->setEditable(false);
  Combo动作设定->addItems({"测试选中项目", "比较输出文件", "比较算例目录"});
  cmd确定 = Named(new QPushButton("确定(&O)", this), "cmd确定");
  cmd取消 = Named(new QPushButton("取消(&C)", this), "cmd取消");
  cmd应用 = Named(new QPushButton("应用(&A)", this), "cmd应用");
  // No button is the default one: Enter in the path box must not press one; on a button it
  // presses that button (keyPressEvent).
  for (QPushButton* button : {cmd恢复默认值, cmd选择文件, cmd确定, cmd取消, cmd应用})
    button->setAutoDefault(false);
  // The compare programs of this machine, offered at the end of the path box.
  act比较程序 =
      txt外部工具路径->addAction(style()->standardIcon(QStyle::SP_ArrowDown), QLineEdit::TrailingPosition);
  act比较程序->setObjectName("act比较程序");
  act比较程序->setToolTip("选择本机找到的比较程序");
  mnu比较程序 = Named(new QMenu(this), "mnu比较程序");

  connect(cmd确定, &QPushButton::clicked, this, [this] { cmd确定_Click(); });
  connect(cmd取消, &QPushButton::clicked, this, [this] { cmd取消_Click(); });
  connect(cmd应用, &QPushButton::clicked, this, [this] { cmd应用_Click(); });
  connect(cmd恢复默认值, &QPushButton::clicked, this, [this] { cmd恢复默认值_Click(); });
  connect(cmd选择文件, &QPushButton::clicked, this, [this] { cmd选择文件_Click(); });
  connect(act比较程序, &QAction::triggered, this, [this] { act比较程序_Click(); });

  SSTab选项->setGeometry(TwipsRect(120, 120, 5895, 4215));
  Frame1->setGeometry(PageRect(120, 450, 5535, 1935));
  chk启用外部比较工具->setGeometry(TwipsRect(240, 360, 1815, 255));
  Label外部比较工具说明->setGeometry(TwipsRect(2160, 360, 3255, 1515));
  Frame路径设置->setGeometry(PageRect(120, 2520, 5535, 1455));
  txt外部工具路径->setGeometry(TwipsRect(240, 360, 5055, 300));
  cmd恢复默认值->setGeometry(TwipsRect(2280, 720, 1455, 375));
  cmd选择文件->setGeometry(TwipsRect(3840, 720, 1455, 375));
  Frame显示设定->setGeometry(PageRect(120, 555, 5655, 975));
  chk显示状态窗口->setGeometry(TwipsRect(240, 360, 1455, 255));
  Label显示状态窗口说明->setGeometry(TwipsRect(1800, 360, 3735, 495));
  Frame动作设定->setGeometry(PageRect(120, 1680, 5655, 855));
  Label动作设定->setGeometry(TwipsRect(240, 375, 1575, 255));
  Combo动作设定->setGeometry(TwipsRect(1800, 330, 2055, 300));
  cmd确定->setGeometry(TwipsRect(2520, 4440, 1095, 375));
  cmd取消->setGeometry(TwipsRect(3720, 4440, 1095, 375));
  cmd应用->setGeometry(TwipsRect(4920, 4440, 1095, 375));
  setFixedSize(Twips(6150), Twips(4965));
}

void frm选项::ShowModal(TesterCore& tester) {
  Load(tester);
  CentreOnOwner(this, OwnerWindow());
  exec();
}

void frm选项::Load(TesterCore& tester) {
  mobjTester_ = &tester;
  Form_Load();
}

void frm选项::Form_Load() {
  Handle([&] {
    SSTab选项->setCurrentIndex(0);
    LoadSettings();
  });
}

void frm选项::LoadSettings() {
  GlobalSetting& setting = Setting();
  txt外部工具路径->setText(QString::fromStdString(setting.ExternalToolPath()));
  chk启用外部比较工具->setChecked(setting.ExternalToolEnabled());
  chk显示状态窗口->setChecked(mobjTester_->StatWindowEnabled());
  // An action this dialog does not offer shows no entry, and stays stored as it is.
  int32_t action = setting.DoubleClickAction();
  Combo动作设定->setCurrentIndex(action >= 0 && action < Combo动作设定->count() ? action : -1);
  OfferComparePrograms(setting);
}

void frm选项::OfferComparePrograms(GlobalSetting& setting) {
  // Where the maker's installation names no program, the compare programs a Linux desktop
  // has are the ones a user would pick.
  mnu比较程序->clear();
  if (setting.RegisteredToolFolder().empty()) {
    for (const char* name : {"meld", "kdiff3", "kompare", "diffuse"}) {
      QString path = QStandardPaths::findExecutable(name);
      if (path.isEmpty()) continue;
      connect(mnu比较程序->addAction(path), &QAction::triggered, this,
              [this, path] { txt外部工具路径->setText(path); });
    }
  }
  act比较程序->setVisible(!mnu比较程序->isEmpty());
}

void frm选项::act比较程序_Click() {
  Handle([&] { mnu比较程序->exec(txt外部工具路径->mapToGlobal(QPoint(0, txt外部工具路径->height()))); });
}

void frm选项::keyPressEvent(QKeyEvent* event) {
  if (!PressFocusedButton(this, event)) QDialog::keyPressEvent(event);
}

void frm选项::SaveSettings() {
  GlobalSetting& setting = Setting();
  setting.SetExternalToolPath(txt外部工具路径->text().toStdString());
  setting.SetExternalToolEnabled(chk启用外部比较工具->isChecked());
  mobjTester_->SetStatWindowEnabled(chk显示状态窗口->isChecked());
  if (Combo动作设定->currentIndex() >= 0) setting.SetDoubleClickAction(Combo动作设定->currentIndex());
}

void frm选项::done(int result) {
  if (result == Accepted) {
    // Closing must not pass for saving: what cannot be stored is said, and the user decides.
    try {
      SaveSettings();
    } catch (...) {
      ShowCaught();
      return;
    }
  }
  QDialog::done(result);
}

void frm选项::cmd确定_Click() {
  accept();
}

void frm选项::cmd取消_Click() {
  reject();
}

void frm选项::cmd应用_Click() {
  Handle([&] { SaveSettings(); });
}

void frm选项::cmd恢复默认值_Click() {
  Handle([&] { txt外部工具路径->setText(QString::fromStdString(Setting().DefaultToolPath())); });
}

void frm选项::cmd选择文件_Click() {
  Handle([&] {
    // Qt's own texts of the dialog in Chinese, also in a host's application, for as long as it is up.
    QtTranslations chinese;
    QFileDialog dialog(this);
    dialog.setObjectName("CommonDialog");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({kExecutableFilter, kAnyFileFilter});
    ListOnly(dialog, kExecutableFilter);
    connect(&dialog, &QFileDialog::filterSelected, this,
            [&dialog](const QString& filter) { ListOnly(dialog, filter); });
    QString initial = txt外部工具路径->text();
    if (!initial.isEmpty()) dialog.selectFile(initial);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
      txt外部工具路径->setText(dialog.selectedFiles().first());
  });
}

}  // namespace corvala4
