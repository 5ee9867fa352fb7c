// For the tests of hosts in other languages: closes the module's modal window from any
// thread, as a person would, by a call posted to the windows' own thread.
#include <QApplication>
#include <QWidget>
#include <atomic>

namespace {
std::atomic<int> closed{0};
}

/// Asks the windows' thread to close the modal window it shows; answers how many it has
/// closed so far (0 until a window has been shown and closed).
extern "C" __attribute__((visibility("default"))) int corvala4_test_close_modal_window() {
  if (QCoreApplication* app = QCoreApplication::instance()) {
    QMetaObject::invokeMethod(
        app,
        [] {
          if (QWidget* window = QApplication::activeModalWidget()) {
            window->close();
            ++closed;
          }
        },
        Qt::QueuedConnection);
  }
  return closed;
}
