// What the window tests share besides the run fixture: a way to act on a modal window
// (a dialog's exec() or a message box) or a popup menu once it is up.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

#include "tests/run_fixture.h"

namespace corvala4::testing {

/// The control of a window by its designed name; a failure when there is none.
template <typename T>
T* Control(QWidget& window, const char* name) {
  T* control = window.findChild<T*>(name);
  EXPECT_NE(nullptr, control) << name;
  return control;
}

/// Runs act on the window that `find` returns once it is up, from the event loop that
/// window runs; a failure naming `what` when none comes up.
inline void WhenUp(std::function<QWidget*()> find, std::function<void(QWidget*)> act, const char* what) {
  auto* timer = new QTimer;
  auto ticks = std::make_shared<int>(0);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, find, act, ticks, what] {
    QWidget* up = find();
    if (!up && ++*ticks < 2000) return;
    timer->stop();
    timer->deleteLater();
    if (up)
      act(up);
    else
      ADD_FAILURE() << "no " << what << " came up";
  });
  timer->start(5);
}

/// Runs act on the next modal window that comes up (a dialog's exec() or a message
/// box). Call it before the call that opens it.
inline void WhenModal(std::function<void(QWidget*)> act) {
  // Watched, not compared by address: the next box may take the place of the last.
  QPointer<QWidget> before = QApplication::activeModalWidget();
  auto find = [before]() -> QWidget* {
    QWidget* modal = QApplication::activeModalWidget();
    return modal && modal != before && modal->isVisible() ? modal : nullptr;
  };
  WhenUp(find, std::move(act), "modal window");
}

/// Runs act on the next popup menu that comes up.
inline void WhenPopup(std::function<void(QWidget*)> act) {
  WhenUp([] { return QApplication::activePopupWidget(); }, std::move(act), "popup menu");
}

/// Answers the next `count` message boxes, one after another, with Return; their texts
/// are added to `texts`.
inline void AnswerBoxes(int count, QStringList* texts) {
  if (count <= 0) return;
  WhenModal([count, texts](QWidget* box) {
    if (auto* message = qobject_cast<QMessageBox*>(box)) *texts << message->text();
    AnswerBoxes(count - 1, texts);
    QTest::keyClick(box, Qt::Key_Return);
  });
}

}  // namespace corvala4::testing
