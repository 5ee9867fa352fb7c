#include "foundation/platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

namespace corvala4 {

int ReadWholeFile(const std::string& path, std::string& content) {
  content.clear();
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    close(fd);
    return EISDIR;
  }
  char buf[65536];
  while (true) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      int e = errno;
      close(fd);
      return e;
    }
    if (n == 0) break;
    content.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  return 0;
}

int MakeFolders(const std::string& folder) {
  if (folder.empty()) return 0;
  struct stat st;
  if (stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
  size_t slash = folder.find_last_of('/');
  if (slash != std::string::npos && slash > 0)
    if (int e = MakeFolders(folder.substr(0, slash)); e != 0) return e;
  if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST) return errno;
  return 0;
}

int ReplaceFileAtomically(const std::string& path, const std::string& content, mode_t newMode) {
  std::string templ = path + ".XXXXXX";
  std::vector<char> name(templ.begin(), templ.end());
  name.push_back('\0');
  int fd = mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return errno;
  auto fail = [&](int e) {
    close(fd);
    unlink(name.data());
    return e;
  };
  struct stat st;
  mode_t mode = stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : newMode;
  if (fchmod(fd, mode) != 0) return fail(errno);
  size_t done = 0;
  while (done < content.size()) {
    ssize_t n = write(fd, content.data() + done, content.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail(errno);
    }
    done += static_cast<size_t>(n);
  }
  if (fsync(fd) != 0) return fail(errno);
  if (close(fd) != 0) {
    int e = errno;
    unlink(name.data());
    return e;
  }
  if (rename(name.data(), path.c_str()) != 0) {
    int e = errno;
    unlink(name.data());
    return e;
  }
  return 0;
}

}  // namespace corvala4
