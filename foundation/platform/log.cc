#include "foundation/platform/log.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>
#include <sys/syscall.h>

#include <cstdio>
#include <ctime>
#include <mutex>

#include "corvala4/user_interface.h"
#include "foundation/platform/atomic_file.h"
#include "foundation/platform/descriptor.h"
#include "foundation/platform/user_folders.h"

namespace corvala4 {

namespace {

std::mutex& LogMutex() {
  static std::mutex m;
  return m;
}

std::string& OverridePath() {
  static std::string path;
  return path;
}

const char* TypeWord(LogEventType type) {
  switch (type) {
    case LogEventType::Error: return "Error";
    case LogEventType::Warning: return "Warning";
    default: return "Information";
  }
}

/// One entry is one line: line breaks inside the text become " | ".
std::string OneLine(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      if (i + 1 < text.size()) out += " | ";
    } else {
      out += c;
    }
  }
  return out;
}

/// One write with O_APPEND keeps entries whole even with other writers.
bool Append(const std::string& path, const std::string& line) {
  Fd fd(open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
  return fd.get() >= 0 && write(fd.get(), line.data(), line.size()) == static_cast<ssize_t>(line.size());
}

}  // namespace

LogEventType LogTypeOfStyle(int style) {
  if (style & kCritical) return LogEventType::Error;
  if (style & kQuestion) return LogEventType::Warning;
  return LogEventType::Information;
}

std::string ModuleFilePath() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&ModuleFilePath), &info) == 0 || !info.dli_fname) return {};
  std::string path = info.dli_fname;
  if (path.find('/') == std::string::npos) {
    // The main program itself: dladdr names it as it was started.
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n > 0) path.assign(buf, static_cast<size_t>(n));
  }
  return path;
}

std::string LogFilePath() {
  {
    std::lock_guard<std::mutex> lock(LogMutex());
    if (!OverridePath().empty()) return OverridePath();
  }
  std::string module = ModuleFilePath();
  if (module.empty()) return "corvala4.log";
  size_t slash = module.rfind('/');
  std::string folder = slash == std::string::npos ? "." : module.substr(0, slash);
  return folder + "/" + ModuleBaseName(module) + ".log";
}

std::string FallbackLogFilePath(const std::string& logPath) {
  size_t slash = logPath.rfind('/');
  std::string name = slash == std::string::npos ? logPath : logPath.substr(slash + 1);
  return XdgFolder("XDG_STATE_HOME", ".local/state") + "/corvala4/" + name;
}

std::string ModuleBaseName(const std::string& modulePath) {
  size_t slash = modulePath.rfind('/');
  std::string name = slash == std::string::npos ? modulePath : modulePath.substr(slash + 1);
  size_t dot = name.find('.');
  if (dot != std::string::npos && dot > 0) name.resize(dot);
  return name;
}

void SetLogFilePath(const std::string& path) {
  std::lock_guard<std::mutex> lock(LogMutex());
  OverridePath() = path;
}

void WriteLog(LogEventType type, const std::string& text) {
  std::string path = LogFilePath();
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char stamp[64];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &tm);
  std::string thread = std::to_string(static_cast<long>(syscall(SYS_gettid)));
  std::string line = std::string(stamp) + " [" + thread + "] " + TypeWord(type) + ": " + OneLine(text) + "\n";
  std::lock_guard<std::mutex> lock(LogMutex());
  if (Append(path, line)) return;
  // A module installed in a system folder cannot write beside itself when an ordinary user runs it.
  std::string fallback = FallbackLogFilePath(path);
  if (MakeFolders(fallback.substr(0, fallback.rfind('/'))) == 0 && Append(fallback, line)) return;
  static bool warned = false;
  if (!warned) {
    warned = true;
    std::fprintf(stderr, "corvala4: cannot write the log '%s' nor '%s'; entries go to standard error\n",
                 path.c_str(), fallback.c_str());
  }
  std::fputs(line.c_str(), stderr);
}

}  // namespace corvala4
