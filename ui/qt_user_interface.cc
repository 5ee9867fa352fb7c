#include "ui/qt_user_interface.h"

#include <QApplication>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>

#include <map>

#include "engine/tester_core.h"
#include "foundation/platform/log.h"
#include "model/test_case.h"
#include "ui/compare_window.h"
#include "ui/design.h"
#include "ui/display_probe.h"
#include "ui/error_dialog.h"
#include "ui/status_window.h"
#include "ui/test_window.h"
#include "ui/unit_runner_form.h"

namespace corvala4 {

namespace {

/// Qt's own messages (a missing runtime folder, a font) while the module runs an application
/// of its own: they go to the module's log, not to the host's standard error.
void QtMessageToLog(QtMsgType type, const QMessageLogContext&, const QString& text) {
  LogEventType entry = type == QtCriticalMsg || type == QtFatalMsg ? LogEventType::Error
                       : type == QtWarningMsg                      ? LogEventType::Warning
                                                                   : LogEventType::Information;
  WriteLog(entry, "Qt: " + text.toStdString());
}

/// The buttons of a message-box style, with the result each one gives.
std::vector<std::pair<QString, int>> ButtonsOfStyle(int style) {
  switch (style & 7) {
    case kOkCancel: return {{"确定", kOk}, {"取消", kCancel}};
    case kAbortRetryIgnore: return {{"中止(&A)", kAbort}, {"重试(&R)", kRetry}, {"忽略(&I)", kIgnore}};
    case kYesNoCancel: return {{"是(&Y)", kYes}, {"否(&N)", kNo}, {"取消", kCancel}};
    case kYesNo: return {{"是(&Y)", kYes}, {"否(&N)", kNo}};
    case kRetryCancel: return {{"重试(&R)", kRetry}, {"取消", kCancel}};
    default: return {{"确定", kOk}};
  }
}

QMessageBox::Icon IconOfStyle(int style) {
  switch (style & 0x70) {
    case kCritical: return QMessageBox::Critical;
    case kQuestion: return QMessageBox::Question;
    case kExclamation: return QMessageBox::Warning;
    case kInformation: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
  }
}

/// A box at least as wide as its title, with room for the title bar's icon and buttons.
void WidenForTitle(QMessageBox& box) {
  QFont font = box.font();
  font.setBold(true);
  int width = QFontMetrics(font).horizontalAdvance(box.windowTitle()) + 160;
  if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum), grid->rowCount(), 0,
                  1, grid->columnCount());
}

}  // namespace

QtUserInterface::QtUserInterface(QString platform) : platform_(std::move(platform)) {}

QtUserInterface::~QtUserInterface() {
  if (!QCoreApplication::instance()) {
    // The host's application is gone already, and with it what the windows need to
    // be destroyed; the process is ending.
    (void)error_dialog_.release();
    (void)test_window_.release();
    (void)status_window_.release();
    (void)compare_window_.release();
    (void)unit_runner_.release();
  }
}

QtUserInterface::Session::Session(QtUserInterface& ui) : ui_(ui) {
  ui_.Enter();
  up_ = ui_.EnsureApplication();
}

QtUserInterface::Session::~Session() {
  ui_.Leave();
}

void QtUserInterface::Enter() {
  ++depth_;
}

void QtUserInterface::Leave() {
  if (--depth_ > 0 || !own_app_) return;
  // The host is no Qt application: nothing of ours outlives the operation, so the next
  // one, or a host that makes its own application later, starts clean.
  own_translations_.reset();
  error_dialog_.reset();
  test_window_.reset();
  status_window_.reset();
  compare_window_.reset();
  unit_runner_.reset();
  own_app_.reset();
  qInstallMessageHandler(host_messages_);
}

bool QtUserInterface::EnsureApplication() {
  if (QCoreApplication::instance()) return true;
  DisplayProbe probe(platform_);
  if (!probe.Answers()) return false;
  static int argc;
  static char name[] = "corvala4";
  static char option[] = "-platform";
  static QByteArray platform;
  static char* argv[4];
  platform = platform_.toUtf8();
  argc = 0;
  argv[argc++] = name;
  if (!platform.isEmpty()) {
    argv[argc++] = option;
    argv[argc++] = platform.data();
  }
  argv[argc] = nullptr;
  host_messages_ = qInstallMessageHandler(QtMessageToLog);
  own_app_ = std::make_unique<QApplication>(argc, argv);
  // Our own windows come and go during a run; none of them ends the application.
  own_app_->setQuitOnLastWindowClosed(false);
  own_translations_ = std::make_unique<QtTranslations>();
  return true;
}

void QtUserInterface::BeginOperation() {
  Enter();
}

void QtUserInterface::EndOperation() {
  // The status window keeps the run's last lines until the user closes it. A host without an
  // application of its own runs no event loop once the operation returns, so the operation
  // waits for that here.
  if (depth_ == 1 && own_app_ && status_window_)
    while (status_window_->isVisible()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  Leave();
}

int QtUserInterface::MsgBox(const std::string& prompt, int style, const std::string& title,
                            const std::string&, int) {
  Session session(*this);
  if (!session.Up()) return headless_.MsgBox(prompt, style, title, {}, 0);
  // The box belongs to the test window, even while a run hides it, and sits on it.
  QWidget* owner = OwnerWindow();
  QMessageBox box(IconOfStyle(style), ShownText(title), ShownText(prompt), QMessageBox::NoButton,
                  owner && owner->isVisible() ? owner : nullptr);
  StyleWindow(&box);
  CentreWhenShown(&box, owner);
  WidenForTitle(box);
  std::map<QAbstractButton*, int> results;
  std::vector<QPushButton*> buttons;
  for (const auto& [text, result] : ButtonsOfStyle(style)) {
    // One role for all keeps the buttons in the order of the style, as the user knows
    // them; what each answers is kept here, not in its role.
    QPushButton* button = box.addButton(text, QMessageBox::ActionRole);
    results[button] = result;
    buttons.push_back(button);
    if (result == kCancel || (style & 7) == kOkOnly) box.setEscapeButton(button);
  }
  size_t first = static_cast<size_t>((style >> 8) & 3);
  box.setDefaultButton(buttons[first < buttons.size() ? first : 0]);
  box.exec();
  auto it = results.find(box.clickedButton());
  return it == results.end() ? kCancel : it->second;
}

void QtUserInterface::ShowErrorDialog(const std::string& summary, const std::string& details) {
  Session session(*this);
  if (!session.Up()) return headless_.ShowErrorDialog(summary, details);
  if (!error_dialog_) error_dialog_ = std::make_unique<frm错误>();
  error_dialog_->ShowEx(summary, details);
}

void QtUserInterface::DoEvents() {
  if (QCoreApplication::instance()) QCoreApplication::processEvents();
}

void QtUserInterface::ShowTestWindow(Tester& tester) {
  Session session(*this);
  if (!session.Up()) return headless_.ShowTestWindow(tester);
  if (!test_window_) test_window_ = std::make_unique<frm测试>();
  test_window_->ShowModal(TesterCore::Of(tester));
}

void QtUserInterface::ShowStatusWindow(Tester&, bool quiet) {
  Session session(*this);
  if (!session.Up()) return;
  if (!status_window_) status_window_ = std::make_unique<frm状态>();
  status_window_->ShowEx(quiet);
}

void QtUserInterface::StatusLine(const std::string& line) {
  // A window the user has closed hears nothing until the next run shows it.
  if (status_window_ && !status_window_->isHidden()) status_window_->mobjReporter_AddMsg(line);
}

void QtUserInterface::StatusClear() {
  if (status_window_ && !status_window_->isHidden()) status_window_->mobjReporter_Clear();
}

void QtUserInterface::ShowCompareWindow(TestCase& tc) {
  Session session(*this);
  if (!session.Up()) return headless_.ShowCompareWindow(tc);
  if (!compare_window_) compare_window_ = std::make_unique<frm比较>();
  compare_window_->ShowForCase(dynamic_cast<TestCaseImpl&>(tc));
}

void QtUserInterface::ShowUnitRunner(Tester& tester) {
  Session session(*this);
  if (!session.Up()) return headless_.ShowUnitRunner(tester);
  if (!unit_runner_) unit_runner_ = std::make_unique<frmTestRunner>();
  unit_runner_->ShowModal();
}

}  // namespace corvala4
