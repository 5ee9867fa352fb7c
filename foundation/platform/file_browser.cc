#include "foundation/platform/file_browser.h"

#include <unistd.h>

#include <cstdlib>
#include <string_view>
#include <vector>

#include "corvala4/error.h"
#include "foundation/detailed_fso.h"
#include "foundation/errors.h"
#include "foundation/globals.h"
#include "foundation/platform/process.h"

namespace corvala4 {

namespace {

constexpr const char* kOpener = "xdg-open";

/// Starts the opener on a folder; its absence is said plainly, not as a bare "file not found".
void StartOpener(const std::string& folder, const std::string& commandText) {
  try {
    CurrentProcessLauncher().Start({kOpener, folder}, commandText);
  } catch (const Error& e) {
    if (e.Number() != err::FileNotFound) throw;
    throw Error(e.Number(), e.Source(),
                "无法打开文件浏览器:未找到程序'xdg-open'." + ErrDetailSep() + "请安装 xdg-utils.\r\n" +
                    "目录 " + folder + "\r\n命令 " + commandText);
  }
}

/// Without a session bus gdbus would try to start one of its own, which would outlive the call.
bool SessionBusKnown() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address && *address) return true;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  return runtime && *runtime && access((std::string(runtime) + "/bus").c_str(), F_OK) == 0;
}

bool FileManagerShows(const std::string& file, const std::string& commandText) {
  // The URI is escaped, so the GVariant text around it needs no quoting of its own.
  std::vector<std::string> call = {"gdbus", "call", "--session", "--timeout", "10",
                                   "--dest", "org.freedesktop.FileManager1",
                                   "--object-path", "/org/freedesktop/FileManager1",
                                   "--method", "org.freedesktop.FileManager1.ShowItems",
                                   "['" + FileUri(file) + "']", "''"};
  try {
    return CurrentProcessLauncher().Run(call, commandText) == 0;
  } catch (const Error&) {
    return false;  // gdbus is not there: the folder is opened instead
  }
}

}  // namespace

std::string OpenFolderCommandText(const std::string& folder) { return "explorer.exe \"" + folder + "\""; }

std::string ShowFileCommandText(const std::string& file) {
  return "explorer.exe /e, /select, \"" + file + "\"";
}

void OpenFolderInBrowser(const std::string& folder) { StartOpener(folder, OpenFolderCommandText(folder)); }

void ShowFileInBrowser(const std::string& file) {
  std::string text = ShowFileCommandText(file);
  std::string path = FSO().GetAbsolutePathName(file);
  if (SessionBusKnown() && FileManagerShows(path, text)) return;
  StartOpener(FSO().GetParentFolderName(path), text);
}

std::string FileUri(const std::string& path) {
  static constexpr std::string_view kHex = "0123456789ABCDEF";
  std::string uri = "file://";
  for (unsigned char c : path) {
    bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                 c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
    if (plain) {
      uri += static_cast<char>(c);
    } else {
      uri += '%';
      uri += kHex[c >> 4];
      uri += kHex[c & 15];
    }
  }
  return uri;
}

}  // namespace corvala4
