#include "foundation/startup.h"

#include <mutex>

#include "corvala4/user_interface.h"
#include "corvala4/version.h"
#include "foundation/platform/log.h"

namespace corvala4 {

std::optional<std::string> ReleaseNumberWarning(int minorVersion) {
  int d = minorVersion % 10;
  if (d < 0) d = -d;
  if (d != 3 && d != 4 && d != 7) return std::nullopt;
  return "次要版本号尾数不应是3/4/7中的任意一个,当前尾数是" + std::to_string(d) + ",请勿发布此版本!";
}

void Main() {
  if (auto warning = ReleaseNumberWarning(kVersionMinor))
    CurrentUserInterface().MsgBox(*warning, kOkOnly | kExclamation, "", "", 0);
  // The log is opened for appending at each entry, so it is never emptied and a
  // folder that cannot be written costs nothing here.
}

void EnsureStarted() {
  static std::once_flag once;
  std::call_once(once, Main);
}

}  // namespace corvala4
