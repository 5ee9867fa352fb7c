#include "ui/display_probe.h"

#include <QFile>
#include <QLibraryInfo>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "foundation/platform/descriptor.h"

namespace corvala4 {

namespace {

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
  Fd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  return fd.get() >= 0 && connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

}  // namespace

DisplayProbe::DisplayProbe(const QString& platform) {
  if (platform == "xcb") {
    answers_ = HoldX();
  } else if (platform == "wayland") {
    answers_ = WaylandAnswers();
  } else {
    QByteArray named = qgetenv("QT_QPA_PLATFORM");
    for (const QByteArray& p : named.split(';')) {
      answers_ = p.startsWith("xcb") ? HoldX() : p.startsWith("wayland") ? WaylandAnswers() : true;
      if (answers_) break;
    }
  }
}

DisplayProbe::~DisplayProbe() {
  if (x_) xcb_disconnect(x_);
}

bool DisplayProbe::HoldX() {
  if (x_) return true;
  // A server that is starting anew answers again within moments.
  for (int attempt = 0; attempt < 20; ++attempt) {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) == 0) {
      x_ = connection;
      return true;
    }
    xcb_disconnect(connection);
    if (!std::getenv("DISPLAY")) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return false;
}

std::optional<QString> ReachablePlatform() {
  if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    return DisplayProbe("").Answers() ? std::optional<QString>(QString()) : std::nullopt;
  if (DisplayProbe("xcb").Answers()) return QString("xcb");
  QString wayland = QLibraryInfo::path(QLibraryInfo::PluginsPath) + "/platforms/libqwayland-generic.so";
  if (DisplayProbe("wayland").Answers() && QFile::exists(wayland)) return QString("wayland");
  return std::nullopt;
}

}  // namespace corvala4
