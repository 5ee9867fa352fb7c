#include "ui/status_window.h"

#include <QEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScreen>

#include "ui/design.h"

namespace corvala4 {

frm状态::frm状态() {
  DesignWindow(this, "frm状态", "自测试状态信息", Border::Modeless);
  // Boxes of the run must not cover the lines the user reads here.
  NeverOwner(this);

  Text状态 = ReadOnlyTextBox(this, "Text状态", true);

  Text状态->setGeometry(TwipsRect(0, 0, 5295, 1335));
  resize(Twips(5295), Twips(1350));
}

void frm状态::ShowEx(bool quiet) {
  // A window the user closed is loaded anew, in its corner; an open one stays put.
  bool load = isHidden();
  show();
  if (load) Form_Load();
  Text状态->clear();
  setWindowTitle(QString("自测试状态信息[") + (quiet ? "安静测试" : "正常测试") + "]");
}

void frm状态::Form_Load() {
  Handle([&] {
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    QRect desk = screen->geometry();
    QRect frame = frameGeometry();
    move(desk.width() - frame.width(), desk.height() - frame.height() - Twips(450));
  });
}

void frm状态::mobjReporter_AddMsg(const std::string& msg) {
  Handle([&] {
    // At the end, whatever the user clicked before: the box follows the newest line.
    Text状态->moveCursor(QTextCursor::End);
    Text状态->insertPlainText(ShownText(msg) + "\n");
  });
}

void frm状态::mobjReporter_Clear() {
  Handle([&] { Text状态->clear(); });
}

void frm状态::keyPressEvent(QKeyEvent* event) {
  // The window stays after the run until the user closes it: Esc does, as in any small window.
  if (event->key() == Qt::Key_Escape)
    close();
  else
    QWidget::keyPressEvent(event);
}

void frm状态::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  Form_Resize();
}

void frm状态::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  // A window restored from the task bar may keep its size, and so get no resize.
  if (event->type() == QEvent::WindowStateChange) Form_Resize();
}

void frm状态::Form_Resize() {
  Handle([&] {
    // A minimized window keeps the layout it had.
    if (isMinimized()) return;
    Text状态->setGeometry(0, 0, width(), height());
  });
}

}  // namespace corvala4
