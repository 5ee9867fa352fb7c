// The entry of the windows' library, which the module loads when there may be a
// display: it hands out the Qt user interface when windows can really be shown.
#include <QApplication>
#include <QFile>
#include <QLibraryInfo>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "ui/qt_user_interface.h"

namespace corvala4 {
namespace {

bool XServerAnswers() {
  xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
  bool answers = xcb_connection_has_error(connection) == 0;
  xcb_disconnect(connection);
  return answers;
}

bool WaylandAnswers() {
  const char* display = std::getenv("WAYLAND_DISPLAY");
  std::string path = display && *display ? display : "wayland-0";
  if (path[0] != '/') {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime) return false;
    path = std::string(runtime) + "/" + path;
  }
  sockaddr_un address{};
  if (path.size() >= sizeof address.sun_path) return false;
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  bool answers = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  close(fd);
  return answers;
}

bool HasPlatformPlugin(const char* file) {
  return QFile::exists(QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/platforms/" + file);
}

/// The platform for an application of our own, "" for the one the user named in
/// QT_QPA_PLATFORM, or none. Qt aborts the whole process when no platform it tries
/// can connect, so X and Wayland are asked first whether their server answers.
std::optional<QString> ReachablePlatform() {
  QByteArray named = qgetenv("QT_QPA_PLATFORM");
  if (!named.isEmpty()) {
    for (const QByteArray& platform : named.split(';')) {
      bool answers = platform.startsWith("xcb")       ? XServerAnswers()
                     : platform.startsWith("wayland") ? WaylandAnswers()
                                                      : true;
      if (answers) return QString();
    }
    return std::nullopt;
  }
  if (XServerAnswers()) return QString("xcb");
  if (WaylandAnswers() && HasPlatformPlugin("libqwayland-generic.so")) return QString("wayland");
  return std::nullopt;
}

}  // namespace
}  // namespace corvala4

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
