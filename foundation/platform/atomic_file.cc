#include "foundation/platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>
#include <vector>

#include "foundation/platform/descriptor.h"

namespace corvala4 {

int ReadWholeFile(const std::string& path, std::string& content) {
  content.clear();
  Fd fd(open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return errno;
  struct stat st;
  if (fstat(fd.get(), &st) != 0) return errno;
  if (S_ISDIR(st.st_mode)) return EISDIR;
  char buf[65536];
  while (true) {
    ssize_t n = read(fd.get(), buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) break;
    content.append(buf, static_cast<size_t>(n));
  }
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

namespace {

/// Fills the open temporary, makes it last and renames it over path; the temporary is gone
/// on any failure.
int FillAndRename(Fd fd, const std::string& temp, const std::string& path, const std::string& content,
                  mode_t newMode) {
  auto fail = [&](int e) {
    unlink(temp.c_str());
    return e;
  };
  struct stat st;
  mode_t mode = stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : newMode;
  if (fchmod(fd.get(), mode) != 0) return fail(errno);
  for (size_t done = 0; done < content.size();) {
    ssize_t n = write(fd.get(), content.data() + done, content.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail(errno);
    }
    done += static_cast<size_t>(n);
  }
  if (fsync(fd.get()) != 0) return fail(errno);
  if (close(fd.release()) != 0) return fail(errno);
  if (rename(temp.c_str(), path.c_str()) != 0) return fail(errno);
  return 0;
}

}  // namespace

int ReplaceFileAtomically(const std::string& path, const std::string& content, mode_t newMode) {
  std::string templ = path + ".XXXXXX";
  std::vector<char> name(templ.begin(), templ.end());
  name.push_back('\0');
  Fd fd(mkostemp(name.data(), O_CLOEXEC));
  if (fd.get() < 0) return errno;
  return FillAndRename(std::move(fd), name.data(), path, content, newMode);
}

int ReplaceFileThrough(const std::string& temp, const std::string& path, const std::string& content,
                       mode_t newMode) {
  if (unlink(temp.c_str()) != 0 && errno != ENOENT) return errno;
  Fd fd(open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, newMode));
  if (fd.get() < 0) return errno;
  return FillAndRename(std::move(fd), temp, path, content, newMode);
}

}  // namespace corvala4
