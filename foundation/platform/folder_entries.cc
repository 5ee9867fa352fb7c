#include "foundation/platform/folder_entries.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "foundation/platform/file_system_failure.h"
#include "foundation/platform/path_text.h"

namespace corvala4::posixfs {

Fd OpenFolder(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) FailErrno(errno, path, Subject::Folder);
  return Fd(fd);
}

Fd OpenSubfolder(int parentfd, const char* name) {
  return Fd(openat(parentfd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

Dir ReadFolder(Fd fd, const std::string& path) {
  DIR* dir = fdopendir(fd.get());
  if (!dir) FailErrno(errno, path, Subject::Folder);
  fd.release();
  return Dir(dir);
}

dirent* NextEntry(DIR* dir, const std::string& path) {
  while (true) {
    errno = 0;
    dirent* entry = readdir(dir);
    if (!entry && errno != 0) FailErrno(errno, path, Subject::Folder);
    if (!entry || !IsDotOrDotDot(entry->d_name)) return entry;
  }
}

std::vector<FolderEntry> MatchingEntries(int dirfd, const std::string& path, const std::string& pattern) {
  // A descriptor of its own, so that reading does not move dirfd's position.
  Fd own(dup(dirfd));
  if (own.get() < 0) FailErrno(errno, path, Subject::Folder);
  Dir dir = ReadFolder(std::move(own), path);
  std::vector<FolderEntry> entries;
  while (dirent* entry = NextEntry(dir.get(), path))
    if (MatchesWildcard(pattern, entry->d_name)) entries.push_back({entry->d_name, EntryType(dirfd, entry)});
  return entries;
}

unsigned char EntryType(int dirfd, const dirent* entry) {
  if (entry->d_type != DT_UNKNOWN) return entry->d_type;
  struct stat st;
  if (fstatat(dirfd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) return DT_UNKNOWN;
  if (S_ISDIR(st.st_mode)) return DT_DIR;
  if (S_ISLNK(st.st_mode)) return DT_LNK;
  if (S_ISREG(st.st_mode)) return DT_REG;
  return DT_UNKNOWN;
}

bool IsFolderLike(int dirfd, const char* name, unsigned char type) {
  if (type == DT_DIR) return true;
  if (type != DT_LNK) return false;
  struct stat st;
  return fstatat(dirfd, name, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsReadOnly(mode_t mode) { return !S_ISLNK(mode) && (mode & S_IWUSR) == 0; }

}  // namespace corvala4::posixfs
