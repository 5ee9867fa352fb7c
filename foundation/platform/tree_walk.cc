#include "foundation/platform/tree_walk.h"

#include <errno.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <atomic>
#include <climits>

#include "foundation/errors.h"
#include "foundation/platform/file_system_failure.h"
#include "foundation/platform/folder_entries.h"
#include "foundation/platform/path_text.h"
#include "foundation/platform/replacement_journal.h"

namespace corvala4::posixfs {

namespace {

std::string TempName() {
  static std::atomic<unsigned> counter{0};
  return ".corvala4-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + ".tmp";
}

bool Unsupported(int error) {
  return error == EOPNOTSUPP || error == ENOTTY || error == EXDEV || error == EINVAL || error == ENOSYS ||
         error == EBADF || error == ETXTBSY;
}

/// Copies the content of `in` to `out`: a clone where the file system offers one,
/// else copy_file_range, else read and write. Returns 0 or the errno of the failure.
int CopyData(CopyContext& ctx, int in, int out, off_t size) {
  if (size > 0 && !ctx.no_clone) {
    if (ioctl(out, FICLONE, in) == 0) return 0;
    if (Unsupported(errno) || errno == EPERM) ctx.no_clone = true;
  }
  off_t copied = 0;
  if (size > 0 && !ctx.no_copy_range) {
    while (copied < size) {
      ssize_t n = copy_file_range(in, nullptr, out, nullptr, static_cast<size_t>(size - copied), 0);
      if (n > 0) {
        copied += n;
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && !(copied == 0 && Unsupported(errno))) return errno;
      if (n < 0) ctx.no_copy_range = true;
      break;  // n == 0: the file shrank or the file system declines; read the rest
    }
    if (copied >= size) return 0;
  }
  if (ctx.buffer.empty()) ctx.buffer.resize(256 * 1024);
  while (true) {
    ssize_t n = read(in, ctx.buffer.data(), ctx.buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return 0;
    for (ssize_t done = 0; done < n;) {
      ssize_t w = write(out, ctx.buffer.data() + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) return errno;
      done += w;
    }
  }
}

/// Checks an existing target before it is replaced: error 58 unless overwriting,
/// and a folder is never replaced by a file.
void CheckReplaceable(int dstdir, const char* name, bool overwrite, const std::string& shown) {
  struct stat st;
  if (fstatat(dstdir, name, &st, AT_SYMLINK_NOFOLLOW) != 0) FailErrno(errno, shown, Subject::File);
  if (S_ISDIR(st.st_mode)) Fail(err::FileAlreadyExists, shown, "a folder of that name exists");
  if (!overwrite) Fail(err::FileAlreadyExists, shown, "the target exists and overwriting was not asked for");
}

/// Puts a finished temporary entry in place of the target.
void ReplaceWith(int dstdir, const std::string& temp, const char* name, const std::string& shown) {
  if (renameat(dstdir, temp.c_str(), dstdir, name) != 0) {
    int error = errno;
    unlinkat(dstdir, temp.c_str(), 0);
    FailErrno(error, shown, Subject::File);
  }
}

}  // namespace

void CheckNothingReadOnly(int parentfd, const char* name, const std::string& shown) {
  struct stat st;
  if (fstatat(parentfd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) FailErrno(errno, shown, Subject::File);
  if (IsReadOnly(st.st_mode)) Fail(err::PermissionDenied, shown, "read-only");
  if (!S_ISDIR(st.st_mode)) return;
  Fd fd = OpenSubfolder(parentfd, name);
  if (fd.get() < 0) FailErrno(errno, shown, Subject::Folder);
  Dir dir = ReadFolder(std::move(fd), shown);
  while (dirent* entry = NextEntry(dir.get(), shown))
    CheckNothingReadOnly(dirfd(dir.get()), entry->d_name, JoinPath(shown, entry->d_name));
}

void RemoveTree(int parentfd, const char* name, bool force, const std::string& shown) {
  Fd fd = OpenSubfolder(parentfd, name);
  if (fd.get() < 0 && errno == EACCES && force) {
    struct stat st;
    if (fstatat(parentfd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode) &&
        fchmodat(parentfd, name, (st.st_mode & 07777) | S_IRWXU, 0) == 0)
      fd = OpenSubfolder(parentfd, name);
  }
  if (fd.get() < 0) FailErrno(errno, shown, Subject::Folder);
  if (force) {
    // A read-only folder must become writable before its entries can go.
    struct stat st;
    if (fstat(fd.get(), &st) == 0 && (st.st_mode & S_IRWXU) != S_IRWXU)
      fchmod(fd.get(), (st.st_mode & 07777) | S_IRWXU);
  }
  {
    Dir dir = ReadFolder(std::move(fd), shown);
    int dfd = dirfd(dir.get());
    while (dirent* entry = NextEntry(dir.get(), shown)) {
      if (EntryType(dfd, entry) == DT_DIR) {
        RemoveTree(dfd, entry->d_name, force, JoinPath(shown, entry->d_name));
      } else if (unlinkat(dfd, entry->d_name, 0) != 0 && errno != ENOENT) {
        FailErrno(errno, JoinPath(shown, entry->d_name), Subject::File);
      }
    }
  }
  if (unlinkat(parentfd, name, AT_REMOVEDIR) != 0) FailErrno(errno, shown, Subject::Folder);
}


void CopyLink(int srcdir, const char* srcname, int dstdir, const char* dstname, bool overwrite,
              const std::string& srcShown, const std::string& dstShown) {
  std::string target(PATH_MAX, '\0');
  ssize_t n = readlinkat(srcdir, srcname, target.data(), target.size());
  if (n < 0) FailErrno(errno, srcShown, Subject::File);
  target.resize(static_cast<size_t>(n));
  if (symlinkat(target.c_str(), dstdir, dstname) == 0) return;
  if (errno != EEXIST) FailErrno(errno, dstShown, Subject::File);
  CheckReplaceable(dstdir, dstname, overwrite, dstShown);
  std::string temp = TempName();
  if (symlinkat(target.c_str(), dstdir, temp.c_str()) != 0) FailErrno(errno, dstShown, Subject::File);
  ReplaceWith(dstdir, temp, dstname, dstShown);
}

void CopyRegular(CopyContext& ctx, int srcdir, const char* srcname, int dstdir, const char* dstname,
                 bool overwrite, const std::string& srcShown, const std::string& dstShown) {
  Fd in(OpenRegularFile(srcdir, srcname, O_NOFOLLOW));
  if (in.get() < 0 && (errno == EISDIR || errno == ENODEV))
    Fail(err::DeviceIO, srcShown, "a pipe or device, not a file");
  if (in.get() < 0) FailErrno(errno, srcShown, Subject::File);
  struct stat st;
  if (fstat(in.get(), &st) != 0) FailErrno(errno, srcShown, Subject::File);
  mode_t mode = st.st_mode & 01777;  // set-id bits are not carried over

  std::string temp;
  Fd out(openat(dstdir, dstname, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
  if (out.get() < 0) {
    if (errno != EEXIST) FailErrno(errno, dstShown, Subject::File);
    CheckReplaceable(dstdir, dstname, overwrite, dstShown);
    struct stat existing;
    if (fstatat(dstdir, dstname, &existing, AT_SYMLINK_NOFOLLOW) == 0 && existing.st_dev == st.st_dev &&
        existing.st_ino == st.st_ino)
      Fail(err::PermissionDenied, dstShown, "source and target are the same file");
    temp = TempName();
    out = Fd(openat(dstdir, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
    if (out.get() < 0) FailErrno(errno, dstShown, Subject::File);
  }
  const char* written = temp.empty() ? dstname : temp.c_str();
  int error = CopyData(ctx, in.get(), out.get(), st.st_size);
  if (error == 0 && fchmod(out.get(), mode) != 0) error = errno;
  if (error == 0) {
    struct timespec times[2] = {{0, UTIME_OMIT}, st.st_mtim};
    futimens(out.get(), times);
  }
  if (close(out.release()) != 0 && error == 0) error = errno;
  if (error != 0) {
    unlinkat(dstdir, written, 0);  // never leave a half-written copy behind
    FailErrno(error, dstShown, Subject::File);
  }
  if (!temp.empty()) ReplaceWith(dstdir, temp, dstname, dstShown);
}

void CheckNoConflict(int srcfd, int dstfd, const std::string& dstShown) {
  // A descriptor of its own, so that reading does not move srcfd's position.
  Fd own(openat(srcfd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (own.get() < 0) FailErrno(errno, dstShown, Subject::Folder);
  Dir dir = ReadFolder(std::move(own), dstShown);
  while (dirent* entry = NextEntry(dir.get(), dstShown)) {
    struct stat st;
    if (fstatat(dstfd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    std::string shown = JoinPath(dstShown, entry->d_name);
    unsigned char type = EntryType(dirfd(dir.get()), entry);
    if (type != DT_DIR || !S_ISDIR(st.st_mode)) {
      if (type == DT_DIR || type == DT_LNK || type == DT_REG)
        Fail(err::FileAlreadyExists, shown, "the target exists and overwriting was not asked for");
      continue;
    }
    Fd sub_src(OpenSubfolder(srcfd, entry->d_name));
    Fd sub_dst(OpenSubfolder(dstfd, entry->d_name));
    if (sub_src.get() >= 0 && sub_dst.get() >= 0) CheckNoConflict(sub_src.get(), sub_dst.get(), shown);
  }
}

void CopyTree(CopyContext& ctx, Fd srcfd, int dstfd, bool overwrite, const std::string& srcShown,
              const std::string& dstShown) {
  Dir dir = ReadFolder(std::move(srcfd), srcShown);
  int sfd = dirfd(dir.get());
  while (dirent* entry = NextEntry(dir.get(), srcShown)) {
    const char* name = entry->d_name;
    // What an approval or a copy left unfinished is not test data: a working folder never gets it.
    if (IsOwnTemporary(name)) continue;
    std::string src_path = JoinPath(srcShown, name);
    std::string dst_path = JoinPath(dstShown, name);
    switch (EntryType(sfd, entry)) {
      case DT_REG: CopyRegular(ctx, sfd, name, dstfd, name, overwrite, src_path, dst_path); break;
      case DT_LNK: CopyLink(sfd, name, dstfd, name, overwrite, src_path, dst_path); break;
      case DT_DIR: {
        Fd sub(OpenSubfolder(sfd, name));
        if (sub.get() < 0) FailErrno(errno, src_path, Subject::Folder);
        struct stat st;
        if (fstat(sub.get(), &st) != 0) FailErrno(errno, src_path, Subject::Folder);
        if (st.st_dev == ctx.skip_dev && st.st_ino == ctx.skip_ino) break;  // the copy itself
        bool created = mkdirat(dstfd, name, S_IRWXU) == 0;
        if (!created && errno != EEXIST) FailErrno(errno, dst_path, Subject::Folder);
        Fd target(OpenSubfolder(dstfd, name));
        if (target.get() < 0) {
          if (errno == ENOTDIR || errno == ELOOP)
            Fail(err::FileAlreadyExists, dst_path, "a file of that name exists");
          FailErrno(errno, dst_path, Subject::Folder);
        }
        CopyTree(ctx, std::move(sub), target.get(), overwrite, src_path, dst_path);
        // A read-only source folder becomes read-only only once it is filled.
        if (created && fchmod(target.get(), st.st_mode & 07777) != 0)
          FailErrno(errno, dst_path, Subject::Folder);
        break;
      }
      default: break;  // sockets, pipes and devices are not test data
    }
  }
}

}  // namespace corvala4::posixfs
