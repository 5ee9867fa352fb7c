#include "foundation/platform/run_lock.h"

#include <fcntl.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "foundation/platform/descriptor.h"
#include "foundation/platform/replacement_journal.h"

namespace corvala4 {

namespace {

/// The locks this process holds, by lock file, with how many RunLock objects share each: a
/// second open file description of the same file would wait for the first forever.
struct Held {
  Fd fd;
  int count = 0;
};
std::mutex g_mutex;
std::map<std::string, Held>& Locks() {
  static std::map<std::string, Held> locks;
  return locks;
}

std::string ReadHolder(int fd) {
  char buf[4096];
  ssize_t n = pread(fd, buf, sizeof buf - 1, 0);
  if (n <= 0) return "";
  std::string text(buf, static_cast<size_t>(n));
  if (size_t nl = text.find('\n'); nl != std::string::npos) text.resize(nl);
  return text;
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

std::string RunLock::FileOf(const std::string& standardDirectory) {
  std::string dir = standardDirectory;
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir + "/.corvala4-lock";
}

RunLock::~RunLock() { Release(); }

bool RunLock::Acquire(const std::string& standardDirectory, const std::string& what, bool wait,
                      const WaitNotice& notice, std::string& why) {
  why.clear();
  Release();
  if (!IsFolder(standardDirectory)) return true;
  std::string path = FileOf(standardDirectory);
  std::lock_guard<std::mutex> guard(g_mutex);
  if (auto it = Locks().find(path); it != Locks().end()) {
    ++it->second.count;
    key_ = path;
    return true;
  }
  // Never a link: the lock file must be this folder's own, and writing the holder through a
  // link would reach outside the test data.
  Fd fd(open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666));
  if (fd.get() < 0 && (errno == EACCES || errno == EROFS))
    fd = Fd(open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (fd.get() < 0) {
    why = "cannot open the lock file '" + path + "' (" + strerror(errno) + "): running without it";
    return true;
  }
  if (flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK) {
      why = "cannot lock '" + path + "' (" + strerror(errno) + "): running without it";
      return true;
    }
    std::string holder = ReadHolder(fd.get());
    std::string text = "the run of " + (holder.empty() ? std::string("another process") : holder) + " on " +
                       standardDirectory;
    if (!wait) {
      why = text + " holds the lock '" + path + "'";
      return false;
    }
    if (notice) notice("waiting for " + text + " to finish");
    while (flock(fd.get(), LOCK_EX) != 0)
      if (errno != EINTR) {
        why = "cannot lock '" + path + "' (" + strerror(errno) + "): running without it";
        return true;
      }
  }
  std::string me = "pid " + std::to_string(getpid()) + " (" + what + ")\n";
  if (ftruncate(fd.get(), 0) == 0) {
    [[maybe_unused]] ssize_t n = pwrite(fd.get(), me.data(), me.size(), 0);
  }
  auto& entry = Locks()[path];
  entry.fd = std::move(fd);
  entry.count = 1;
  key_ = path;
  // Whoever takes the lock next finishes or undoes what a killed approval left.
  std::string recovered = RecoverReplacement(standardDirectory);
  if (!recovered.empty() && notice) notice(recovered + " in " + standardDirectory);
  return true;
}

void RunLock::Release() {
  if (key_.empty()) return;
  std::lock_guard<std::mutex> guard(g_mutex);
  auto it = Locks().find(key_);
  if (it != Locks().end() && --it->second.count == 0) {
    // Emptied first: a process that waits then reads no stale holder.
    if (ftruncate(it->second.fd.get(), 0) != 0) {
    }
    Locks().erase(it);  // closing the last descriptor gives the lock up
  }
  key_.clear();
}

}  // namespace corvala4
