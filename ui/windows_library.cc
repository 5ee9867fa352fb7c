// The entry of the windows' library, which the module loads when there may be a
// display: it hands out the Qt user interface when windows can really be shown.
#include <QApplication>

#include <optional>

#include "ui/display_probe.h"
#include "ui/qt_user_interface.h"

/// A new Qt user interface, or none where no window can be shown: no display answers,
/// or the host's own Qt application has no widgets.
extern "C" __attribute__((visibility("default"))) corvala4::UserInterface* corvala4_CreateQtUserInterface() {
  try {
    if (QCoreApplication* app = QCoreApplication::instance())
      return qobject_cast<QApplication*>(app) ? new corvala4::QtUserInterface() : nullptr;
    std::optional<QString> platform = corvala4::ReachablePlatform();
    return platform ? new corvala4::QtUserInterface(*platform) : nullptr;
  } catch (...) {
    return nullptr;
  }
}
