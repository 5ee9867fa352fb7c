#include "foundation/platform/file_system.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <linux/fs.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <type_traits>

#include "foundation/errors.h"
#include "foundation/platform/code_page.h"
#include "foundation/platform/log.h"

namespace corvala4 {

namespace {

// ---------------------------------------------------------------------------
// Errors

/// What a path names, so that a missing one gets the right number.
enum class Subject { File, Folder };

const char* RuntimeText(int number) {
  switch (number) {
    case err::InvalidProcedureCall: return "无效的过程调用或参数";
    case err::FileNotFound: return "文件未找到";
    case err::BadFileMode: return "文件模式错误";
    case err::DeviceIO: return "设备 I/O 错误";
    case err::FileAlreadyExists: return "文件已存在";
    case err::DiskFull: return "磁盘已满";
    case err::PermissionDenied: return "没有权限";
    case err::PathFileAccess: return "路径/文件访问错误";
    case err::PathNotFound: return "路径未找到";
    default: return "文件系统错误";
  }
}

[[noreturn]] void Fail(int number, const std::string& path, const std::string& why) {
  throw Error(number, kFileSystemSource, std::string(RuntimeText(number)) + ": '" + path + "' (" + why + ")");
}

std::string ErrnoText(int error) {
  const char* text = strerrordesc_np(error);
  return text ? text : "errno " + std::to_string(error);
}

bool IsDirectory(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string FolderPartOf(const std::string& path);

int NumberFor(int error, const std::string& path, Subject subject) {
  switch (error) {
    case ENOENT:
      if (subject == Subject::Folder) return err::PathNotFound;
      return IsDirectory(FolderPartOf(path)) ? err::FileNotFound : err::PathNotFound;
    case ENOTDIR: return err::PathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
    case EISDIR: return err::PermissionDenied;
    case EEXIST: return err::FileAlreadyExists;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return err::DiskFull;
    case EIO: return err::DeviceIO;
    default: return err::PathFileAccess;
  }
}

[[noreturn]] void FailErrno(int error, const std::string& path, Subject subject) {
  Fail(NumberFor(error, path, subject), path, ErrnoText(error));
}

// ---------------------------------------------------------------------------
// Paths, looked at as text only

std::string StripTrailingSlashes(const std::string& path) {
  size_t end = path.find_last_not_of('/');
  if (end == std::string::npos) return path.empty() ? path : "/";
  return path.substr(0, end + 1);
}

std::string FileNameOf(const std::string& path) {
  std::string p = StripTrailingSlashes(path);
  if (p == "/") return "";
  return p.substr(p.rfind('/') + 1);  // npos + 1 == 0
}

std::string ParentOf(const std::string& path) {
  std::string p = StripTrailingSlashes(path);
  size_t slash = p.rfind('/');
  if (p == "/" || slash == std::string::npos) return "";
  size_t end = p.find_last_not_of('/', slash);
  return end == std::string::npos ? "/" : p.substr(0, end + 1);
}

/// The folder to open for an entry of `path` ("." for a bare name).
std::string FolderPartOf(const std::string& path) {
  std::string parent = ParentOf(path);
  return parent.empty() ? "." : parent;
}

std::string Join(const std::string& path, const std::string& name) {
  if (path.empty()) return name;
  size_t end = path.find_last_not_of('/');
  size_t start = name.find_first_not_of('/');
  std::string left = end == std::string::npos ? "" : path.substr(0, end + 1);
  std::string right = start == std::string::npos ? "" : name.substr(start);
  return left + "/" + right;
}

std::string CurrentFolder() {
  std::string buffer(256, '\0');
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) FailErrno(errno, ".", Subject::Folder);
    buffer.resize(buffer.size() * 2);
  }
  return buffer.c_str();
}

std::string AbsolutePath(const std::string& path) {
  std::string full = !path.empty() && path[0] == '/' ? path : CurrentFolder() + "/" + path;
  std::vector<std::string> parts;
  size_t pos = 0;
  while (pos <= full.size()) {
    size_t slash = full.find('/', pos);
    if (slash == std::string::npos) slash = full.size();
    std::string part = full.substr(pos, slash - pos);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(std::move(part));
    }
    pos = slash + 1;
  }
  std::string result;
  for (const std::string& part : parts) result += "/" + part;
  return result.empty() ? "/" : result;
}

bool HasWildcard(const std::string& name) { return name.find_first_of("*?") != std::string::npos; }

/// Only "*" and "?" are wildcards, as in the classic service; "[" is literal.
bool MatchesWildcard(const std::string& pattern, const char* name) {
  std::string escaped;
  for (char c : pattern) escaped += c == '[' ? std::string("[[]") : std::string(1, c);
  return fnmatch(escaped.c_str(), name, FNM_NOESCAPE) == 0;
}

bool IsDotOrDotDot(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

bool IsReadOnly(mode_t mode) { return !S_ISLNK(mode) && (mode & S_IWUSR) == 0; }

// ---------------------------------------------------------------------------
// Descriptors

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) close(fd_);
  }
  Fd(Fd&& other) noexcept : fd_(other.release()) {}
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      if (fd_ >= 0) close(fd_);
      fd_ = other.release();
    }
    return *this;
  }
  int get() const { return fd_; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};
using Dir = std::unique_ptr<DIR, DirCloser>;

/// Opens a folder for the *at() calls; a missing or non-folder path is error 76.
Fd OpenFolder(const std::string& path) {
  int fd = open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) FailErrno(errno, path, Subject::Folder);
  return Fd(fd);
}

/// Reads a folder opened with openat; takes the descriptor over.
Dir ReadFolder(Fd fd, const std::string& path) {
  DIR* dir = fdopendir(fd.get());
  if (!dir) FailErrno(errno, path, Subject::Folder);
  fd.release();
  return Dir(dir);
}

/// The entry's type without following a link; DT_UNKNOWN file systems cost one stat.
unsigned char EntryType(int dirfd, const dirent* entry) {
  if (entry->d_type != DT_UNKNOWN) return entry->d_type;
  struct stat st;
  if (fstatat(dirfd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) return DT_UNKNOWN;
  if (S_ISDIR(st.st_mode)) return DT_DIR;
  if (S_ISLNK(st.st_mode)) return DT_LNK;
  if (S_ISREG(st.st_mode)) return DT_REG;
  return DT_UNKNOWN;
}

/// A link that leads to a folder counts as a folder for DeleteFolder's matching.
bool IsFolderLike(int dirfd, const char* name, unsigned char type) {
  if (type == DT_DIR) return true;
  if (type != DT_LNK) return false;
  struct stat st;
  return fstatat(dirfd, name, &st, 0) == 0 && S_ISDIR(st.st_mode);
}

// ---------------------------------------------------------------------------
// Deleting

/// Refuses the whole deletion before anything is gone when a read-only entry
/// is found and Force is false.
void CheckNothingReadOnly(int parentfd, const char* name, const std::string& shown) {
  struct stat st;
  if (fstatat(parentfd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) FailErrno(errno, shown, Subject::File);
  if (IsReadOnly(st.st_mode)) Fail(err::PermissionDenied, shown, "read-only");
  if (!S_ISDIR(st.st_mode)) return;
  int fd = openat(parentfd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) FailErrno(errno, shown, Subject::Folder);
  Dir dir = ReadFolder(Fd(fd), shown);
  while (dirent* entry = readdir(dir.get())) {
    if (!IsDotOrDotDot(entry->d_name))
      CheckNothingReadOnly(dirfd(dir.get()), entry->d_name, Join(shown, entry->d_name));
  }
}

/// Removes the folder `name` inside parentfd with everything in it. Links are
/// removed as links: every open uses O_NOFOLLOW, so nothing outside is touched.
void RemoveTree(int parentfd, const char* name, bool force, const std::string& shown) {
  int fd = openat(parentfd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0 && errno == EACCES && force) {
    struct stat st;
    if (fstatat(parentfd, name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode) &&
        fchmodat(parentfd, name, (st.st_mode & 07777) | S_IRWXU, 0) == 0)
      fd = openat(parentfd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  }
  if (fd < 0) FailErrno(errno, shown, Subject::Folder);
  if (force) {
    // A read-only folder must become writable before its entries can go.
    struct stat st;
    if (fstat(fd, &st) == 0 && (st.st_mode & S_IRWXU) != S_IRWXU) fchmod(fd, (st.st_mode & 07777) | S_IRWXU);
  }
  {
    Dir dir = ReadFolder(Fd(fd), shown);
    int dfd = dirfd(dir.get());
    while (true) {
      errno = 0;
      dirent* entry = readdir(dir.get());
      if (!entry) {
        if (errno != 0) FailErrno(errno, shown, Subject::Folder);
        break;
      }
      if (IsDotOrDotDot(entry->d_name)) continue;
      if (EntryType(dfd, entry) == DT_DIR) {
        RemoveTree(dfd, entry->d_name, force, Join(shown, entry->d_name));
      } else if (unlinkat(dfd, entry->d_name, 0) != 0 && errno != ENOENT) {
        FailErrno(errno, Join(shown, entry->d_name), Subject::File);
      }
    }
  }
  if (unlinkat(parentfd, name, AT_REMOVEDIR) != 0) FailErrno(errno, shown, Subject::Folder);
}

// ---------------------------------------------------------------------------
// Copying

/// What one copy operation learns about the file systems, so that a tree of
/// many small files pays for a failing clone or copy_file_range only once.
struct CopyContext {
  bool no_clone = false;
  bool no_copy_range = false;
  std::vector<char> buffer;
  dev_t skip_dev = 0;  // the destination folder, never copied into itself
  ino_t skip_ino = 0;
};

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

void CopyLink(int srcdir, const char* srcname, int dstdir, const char* dstname, bool overwrite,
              const std::string& src_shown, const std::string& dst_shown) {
  std::string target(PATH_MAX, '\0');
  ssize_t n = readlinkat(srcdir, srcname, target.data(), target.size());
  if (n < 0) FailErrno(errno, src_shown, Subject::File);
  target.resize(static_cast<size_t>(n));
  if (symlinkat(target.c_str(), dstdir, dstname) == 0) return;
  if (errno != EEXIST) FailErrno(errno, dst_shown, Subject::File);
  CheckReplaceable(dstdir, dstname, overwrite, dst_shown);
  std::string temp = TempName();
  if (symlinkat(target.c_str(), dstdir, temp.c_str()) != 0) FailErrno(errno, dst_shown, Subject::File);
  ReplaceWith(dstdir, temp, dstname, dst_shown);
}

/// Copies one regular file with its mode bits and time of last modification. An
/// existing target is replaced through a temporary file and rename, so a failed
/// copy leaves it as it was and a read-only target does not block the copy.
void CopyRegular(CopyContext& ctx, int srcdir, const char* srcname, int dstdir, const char* dstname,
                 bool overwrite, const std::string& src_shown, const std::string& dst_shown) {
  Fd in(openat(srcdir, srcname, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (in.get() < 0) FailErrno(errno, src_shown, Subject::File);
  struct stat st;
  if (fstat(in.get(), &st) != 0) FailErrno(errno, src_shown, Subject::File);
  if (!S_ISREG(st.st_mode)) Fail(err::DeviceIO, src_shown, "a pipe or device, not a file");
  mode_t mode = st.st_mode & 01777;  // set-id bits are not carried over

  std::string temp;
  Fd out(openat(dstdir, dstname, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
  if (out.get() < 0) {
    if (errno != EEXIST) FailErrno(errno, dst_shown, Subject::File);
    CheckReplaceable(dstdir, dstname, overwrite, dst_shown);
    struct stat existing;
    if (fstatat(dstdir, dstname, &existing, AT_SYMLINK_NOFOLLOW) == 0 && existing.st_dev == st.st_dev &&
        existing.st_ino == st.st_ino)
      Fail(err::PermissionDenied, dst_shown, "source and target are the same file");
    temp = TempName();
    out = Fd(openat(dstdir, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
    if (out.get() < 0) FailErrno(errno, dst_shown, Subject::File);
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
    FailErrno(error, dst_shown, Subject::File);
  }
  if (!temp.empty()) ReplaceWith(dstdir, temp, dstname, dst_shown);
}

/// Fails with 58 before anything is copied when a merge without overwriting
/// would meet an existing entry.
void CheckNoConflict(int srcfd, int dstfd, const std::string& dst_shown) {
  // A descriptor of its own, so that reading does not move srcfd's position.
  Fd own(openat(srcfd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (own.get() < 0) FailErrno(errno, dst_shown, Subject::Folder);
  Dir dir = ReadFolder(std::move(own), dst_shown);
  while (dirent* entry = readdir(dir.get())) {
    if (IsDotOrDotDot(entry->d_name)) continue;
    struct stat st;
    if (fstatat(dstfd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    std::string shown = Join(dst_shown, entry->d_name);
    unsigned char type = EntryType(dirfd(dir.get()), entry);
    if (type != DT_DIR || !S_ISDIR(st.st_mode)) {
      if (type == DT_DIR || type == DT_LNK || type == DT_REG)
        Fail(err::FileAlreadyExists, shown, "the target exists and overwriting was not asked for");
      continue;
    }
    Fd sub_src(openat(srcfd, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    Fd sub_dst(openat(dstfd, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (sub_src.get() >= 0 && sub_dst.get() >= 0) CheckNoConflict(sub_src.get(), sub_dst.get(), shown);
  }
}

/// Copies the content of one folder into another, merging with what is there.
void CopyTree(CopyContext& ctx, Fd srcfd, int dstfd, bool overwrite, const std::string& src_shown,
              const std::string& dst_shown) {
  Dir dir = ReadFolder(std::move(srcfd), src_shown);
  int sfd = dirfd(dir.get());
  while (true) {
    errno = 0;
    dirent* entry = readdir(dir.get());
    if (!entry) {
      if (errno != 0) FailErrno(errno, src_shown, Subject::Folder);
      break;
    }
    const char* name = entry->d_name;
    if (IsDotOrDotDot(name)) continue;
    std::string src_path = Join(src_shown, name);
    std::string dst_path = Join(dst_shown, name);
    switch (EntryType(sfd, entry)) {
      case DT_REG: CopyRegular(ctx, sfd, name, dstfd, name, overwrite, src_path, dst_path); break;
      case DT_LNK: CopyLink(sfd, name, dstfd, name, overwrite, src_path, dst_path); break;
      case DT_DIR: {
        Fd sub(openat(sfd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (sub.get() < 0) FailErrno(errno, src_path, Subject::Folder);
        struct stat st;
        if (fstat(sub.get(), &st) != 0) FailErrno(errno, src_path, Subject::Folder);
        if (st.st_dev == ctx.skip_dev && st.st_ino == ctx.skip_ino) break;  // the copy itself
        bool created = mkdirat(dstfd, name, S_IRWXU) == 0;
        if (!created && errno != EEXIST) FailErrno(errno, dst_path, Subject::Folder);
        Fd target(openat(dstfd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
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

// ---------------------------------------------------------------------------
// Text streams

/// The length of the text without a UTF-8 sequence cut off at its end.
size_t CompleteUtf8Prefix(const std::string& text) {
  size_t n = text.size();
  for (size_t back = 1; back <= 4 && back <= n; ++back) {
    unsigned char c = static_cast<unsigned char>(text[n - back]);
    if ((c & 0xC0) == 0x80) continue;  // a continuation byte: look further back
    size_t need = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    return need > back ? n - back : n;
  }
  return n;
}

class PosixTextStream : public TextStream {
 public:
  PosixTextStream(int fd, int mode, int format, std::string path, bool empty)
      : fd_(fd), mode_(mode), format_(format), path_(std::move(path)) {
    bool new_content = mode == ForWriting || (mode == ForAppending && empty);
    if (format == TristateTrue && new_content) pending_bytes_ = "\xFF\xFE";
  }
  ~PosixTextStream() override {
    if (fd_.get() < 0) return;
    try {
      Close();
    } catch (const Error& e) {
      // A destructor cannot raise; the loss is at least on record.
      WriteLog(LogEventType::Error, e.Description());
    } catch (...) {
      WriteLog(LogEventType::Error, "'" + path_ + "' could not be closed");
    }
  }

  bool AtEndOfStream() override {
    Require(ForReading);
    if (!peek_.empty()) return false;
    if (!eof_) ReadMore(64 * 1024);
    return peek_.empty();
  }

  std::string ReadAll() override {
    Require(ForReading);
    // Size the buffer once from the file's length, so a large file is not copied
    // over and over while it grows.
    struct stat st {};
    bool sized = fstat(fd_.get(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0;
    if (sized) peek_.reserve(peek_.size() + static_cast<size_t>(st.st_size) + 1);
    while (!eof_) {
      // The spare byte of a sized buffer is enough to see the end without growing it.
      size_t room = peek_.capacity() - peek_.size();
      ReadMore(room >= 64 * 1024 || (sized && room > 0) ? room : std::max<size_t>(peek_.size(), 256 * 1024));
    }
    std::string bytes = std::move(peek_);
    peek_.clear();
    bool at_start = !started_;
    started_ = true;
    if (format_ != TristateTrue) return FromCodePageOwned(std::move(bytes));
    std::string_view view = bytes;
    const char* codeset = "UTF-16LE";
    if (at_start && view.size() >= 2 && view.substr(0, 2) == "\xFF\xFE") {
      view.remove_prefix(2);
    } else if (at_start && view.size() >= 2 && view.substr(0, 2) == "\xFE\xFF") {
      view.remove_prefix(2);
      codeset = "UTF-16BE";
    }
    return ConvertText(view, codeset, "UTF-8");
  }

  void Write(const std::string& text) override {
    Require(0);
    pending_text_ += text;
    if (pending_text_.size() >= 64 * 1024) Flush(false);
  }

  void WriteLine(const std::string& text) override {
    Write(text);
    Write("\r\n");
  }

  void Close() override {
    if (fd_.get() < 0) return;
    int error = 0;
    try {
      if (mode_ != ForReading) Flush(true);
    } catch (...) {
      close(fd_.release());
      throw;
    }
    if (close(fd_.release()) != 0) error = errno;
    if (error != 0 && mode_ != ForReading) FailErrno(error, path_, Subject::File);
  }

 private:
  /// mode 0 means any writing mode.
  void Require(int mode) {
    if (fd_.get() < 0) Fail(err::BadFileMode, path_, "the stream is closed");
    bool ok = mode == ForReading ? mode_ == ForReading : mode_ != ForReading;
    if (!ok) Fail(err::BadFileMode, path_, mode == ForReading ? "opened for writing" : "opened for reading");
  }

  void ReadMore(size_t chunk) {
    size_t used = peek_.size();
    peek_.resize(used + chunk);
    while (true) {
      ssize_t n = read(fd_.get(), peek_.data() + used, chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        int error = errno;
        peek_.resize(used);
        FailErrno(error, path_, Subject::File);
      }
      peek_.resize(used + static_cast<size_t>(n));
      if (n == 0) eof_ = true;
      return;
    }
  }

  /// Converts and writes what is pending. Before the end, a character cut between
  /// two Write calls waits for its remaining bytes.
  void Flush(bool final) {
    size_t whole = final ? pending_text_.size() : CompleteUtf8Prefix(pending_text_);
    if (whole > 0) {
      std::string_view text(pending_text_.data(), whole);
      pending_bytes_ += format_ == TristateTrue ? ConvertText(text, "UTF-8", "UTF-16LE") : ToCodePage(text);
      pending_text_.erase(0, whole);
    }
    size_t done = 0;
    while (done < pending_bytes_.size()) {
      ssize_t n = write(fd_.get(), pending_bytes_.data() + done, pending_bytes_.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) {
        int error = errno;
        pending_bytes_.erase(0, done);
        FailErrno(error, path_, Subject::File);
      }
      done += static_cast<size_t>(n);
    }
    pending_bytes_.clear();
  }

  Fd fd_;
  int mode_;
  int format_;
  std::string path_;
  std::string peek_;  // read ahead, not yet handed out
  bool eof_ = false;
  bool started_ = false;
  std::string pending_text_;   // UTF-8, not yet converted
  std::string pending_bytes_;  // converted, not yet written
};

// ---------------------------------------------------------------------------
// The service

class PosixFileSystem : public FileSystemService {
 public:
  bool FileExists(const std::string& filename) override {
    struct stat st;
    return stat(filename.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
  }

  bool FolderExists(const std::string& path) override { return IsDirectory(path); }

  std::string GetFileName(const std::string& fullpath) override { return FileNameOf(fullpath); }

  std::string GetBaseName(const std::string& path) override {
    std::string name = FileNameOf(path);
    size_t dot = name.rfind('.');
    return dot == std::string::npos || name == "." || name == ".." ? name : name.substr(0, dot);
  }

  std::string GetExtensionName(const std::string& path) override {
    std::string name = FileNameOf(path);
    size_t dot = name.rfind('.');
    return dot == std::string::npos || name == "." || name == ".." ? "" : name.substr(dot + 1);
  }

  std::string GetParentFolderName(const std::string& path) override { return ParentOf(path); }

  std::string GetDriveName(const std::string&) override { return ""; }

  std::string BuildPath(const std::string& path, const std::string& name) override {
    return Join(path, name);
  }

  std::string GetAbsolutePathName(const std::string& path) override { return AbsolutePath(path); }

  FileObject GetFile(const std::string& fullpath) override {
    struct stat st;
    if (stat(fullpath.c_str(), &st) != 0) FailErrno(errno, fullpath, Subject::File);
    if (S_ISDIR(st.st_mode)) Fail(err::FileNotFound, fullpath, "a folder, not a file");
    FileObject file;
    file.Path = AbsolutePath(fullpath);
    file.Name = FileNameOf(fullpath);
    file.Size = st.st_size;
    file.DateLastModified = st.st_mtime;
    return file;
  }

  FolderObject GetFolder(const std::string& fullpath) override {
    struct stat st;
    if (stat(fullpath.c_str(), &st) != 0) FailErrno(errno, fullpath, Subject::Folder);
    if (!S_ISDIR(st.st_mode)) Fail(err::PathNotFound, fullpath, "a file, not a folder");
    return FolderObject(AbsolutePath(fullpath));
  }

  FolderObject CreateFolder(const std::string& path) override {
    if (mkdir(path.c_str(), 0777) != 0) FailErrno(errno, path, Subject::Folder);
    return FolderObject(AbsolutePath(path));
  }

  void DeleteFile(const std::string& filespec, bool force) override {
    size_t slash = filespec.rfind('/');
    std::string name = filespec.substr(slash == std::string::npos ? 0 : slash + 1);
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : filespec.substr(0, slash);
    Fd dir_fd = OpenFolder(folder);
    std::vector<std::string> matches;
    if (HasWildcard(name)) {
      Fd copy(dup(dir_fd.get()));
      if (copy.get() < 0) FailErrno(errno, folder, Subject::Folder);
      Dir dir = ReadFolder(std::move(copy), folder);
      while (dirent* entry = readdir(dir.get())) {
        if (IsDotOrDotDot(entry->d_name) || !MatchesWildcard(name, entry->d_name)) continue;
        if (EntryType(dir_fd.get(), entry) != DT_DIR) matches.push_back(entry->d_name);
      }
      if (matches.empty()) Fail(err::FileNotFound, filespec, "no file matches");
    } else {
      struct stat st;
      if (name.empty()) Fail(err::FileNotFound, filespec, "no file name");
      if (fstatat(dir_fd.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        FailErrno(errno, filespec, Subject::File);
      if (S_ISDIR(st.st_mode)) Fail(err::FileNotFound, filespec, "a folder, not a file");
      matches.push_back(name);
    }
    if (!force) {
      for (const std::string& match : matches) {
        struct stat st;
        if (fstatat(dir_fd.get(), match.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && IsReadOnly(st.st_mode))
          Fail(err::PermissionDenied, Join(folder, match), "read-only file");
      }
    }
    for (const std::string& match : matches) {
      if (unlinkat(dir_fd.get(), match.c_str(), 0) != 0) FailErrno(errno, Join(folder, match), Subject::File);
    }
  }

  void DeleteFolder(const std::string& fullpath, bool force) override {
    std::string path = StripTrailingSlashes(fullpath);
    std::string name = FileNameOf(path);
    if (path.empty()) Fail(err::PathNotFound, fullpath, "no folder name");
    if (path == "/" || name == "." || name == "..")
      Fail(err::InvalidProcedureCall, fullpath, "this folder cannot be deleted by name");
    std::string folder = FolderPartOf(path);
    Fd parent = OpenFolder(folder);
    struct Match {
      std::string name;
      bool link;
    };
    std::vector<Match> matches;
    if (HasWildcard(name)) {
      Fd copy(dup(parent.get()));
      if (copy.get() < 0) FailErrno(errno, folder, Subject::Folder);
      Dir dir = ReadFolder(std::move(copy), folder);
      while (dirent* entry = readdir(dir.get())) {
        if (IsDotOrDotDot(entry->d_name) || !MatchesWildcard(name, entry->d_name)) continue;
        unsigned char type = EntryType(parent.get(), entry);
        if (IsFolderLike(parent.get(), entry->d_name, type))
          matches.push_back({entry->d_name, type == DT_LNK});
      }
      if (matches.empty()) Fail(err::PathNotFound, fullpath, "no folder matches");
    } else {
      struct stat st;
      if (fstatat(parent.get(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        FailErrno(errno, fullpath, Subject::Folder);
      bool link = S_ISLNK(st.st_mode);
      if (!S_ISDIR(st.st_mode) && !(link && IsFolderLike(parent.get(), name.c_str(), DT_LNK)))
        Fail(err::PathNotFound, fullpath, "a file, not a folder");
      matches.push_back({name, link});
    }
    if (!force) {
      for (const Match& match : matches)
        if (!match.link) CheckNothingReadOnly(parent.get(), match.name.c_str(), Join(folder, match.name));
    }
    for (const Match& match : matches) {
      std::string shown = Join(folder, match.name);
      if (match.link) {
        if (unlinkat(parent.get(), match.name.c_str(), 0) != 0) FailErrno(errno, shown, Subject::Folder);
      } else {
        RemoveTree(parent.get(), match.name.c_str(), force, shown);
      }
    }
  }

  void CopyFile(const std::string& src, const std::string& dst, bool force) override {
    std::string target = !dst.empty() && dst.back() == '/' ? dst + FileNameOf(src) : dst;
    std::string src_name = FileNameOf(src);
    std::string dst_name = FileNameOf(target);
    if (src_name.empty() || src.back() == '/') Fail(err::FileNotFound, src, "no file name");
    if (dst_name.empty()) Fail(err::PathNotFound, dst, "no file name");
    Fd src_dir = OpenFolder(FolderPartOf(src));
    struct stat st;
    if (fstatat(src_dir.get(), src_name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
      FailErrno(errno, src, Subject::File);
    if (S_ISDIR(st.st_mode)) Fail(err::FileNotFound, src, "a folder, not a file");
    Fd dst_dir = OpenFolder(FolderPartOf(target));
    CopyContext ctx;
    if (S_ISLNK(st.st_mode))
      CopyLink(src_dir.get(), src_name.c_str(), dst_dir.get(), dst_name.c_str(), force, src, target);
    else if (S_ISREG(st.st_mode))
      CopyRegular(ctx, src_dir.get(), src_name.c_str(), dst_dir.get(), dst_name.c_str(), force, src, target);
    else
      Fail(err::PathFileAccess, src, "not a regular file");
  }

  void CopyFolder(const std::string& source, const std::string& destination, bool overwrite) override {
    Fd src(open(source.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (src.get() < 0) FailErrno(errno, source, Subject::Folder);
    struct stat src_st;
    if (fstat(src.get(), &src_st) != 0) FailErrno(errno, source, Subject::Folder);

    std::string dst_path = StripTrailingSlashes(destination);
    if (dst_path.empty()) Fail(err::PathNotFound, destination, "no folder name");
    bool created = mkdir(dst_path.c_str(), S_IRWXU) == 0;
    if (!created && errno != EEXIST) FailErrno(errno, destination, Subject::Folder);
    Fd dst(open(dst_path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dst.get() < 0) {
      if (errno == ENOTDIR) Fail(err::FileAlreadyExists, destination, "a file of that name exists");
      FailErrno(errno, destination, Subject::Folder);
    }
    struct stat dst_st;
    if (fstat(dst.get(), &dst_st) != 0) FailErrno(errno, destination, Subject::Folder);
    if (dst_st.st_dev == src_st.st_dev && dst_st.st_ino == src_st.st_ino)
      Fail(err::PermissionDenied, destination, "source and target are the same folder");
    if (!created && !overwrite) CheckNoConflict(src.get(), dst.get(), destination);

    CopyContext ctx;
    ctx.skip_dev = dst_st.st_dev;
    ctx.skip_ino = dst_st.st_ino;
    CopyTree(ctx, std::move(src), dst.get(), overwrite, source, destination);
    if (created && fchmod(dst.get(), src_st.st_mode & 07777) != 0)
      FailErrno(errno, destination, Subject::Folder);
  }

  std::unique_ptr<TextStream> OpenTextFile(const std::string& fullpath, int ioMode, bool create,
                                           int format) override {
    int flags = O_CLOEXEC;
    switch (ioMode) {
      case ForReading: flags |= O_RDONLY; break;
      case ForWriting: flags |= O_WRONLY | O_TRUNC; break;
      case ForAppending: flags |= O_WRONLY | O_APPEND; break;
      default:
        Fail(err::InvalidProcedureCall, fullpath, "IOMode " + std::to_string(ioMode) + " is not 1, 2 or 8");
    }
    if (format != TristateFalse && format != TristateTrue && format != TristateUseDefault)
      Fail(err::InvalidProcedureCall, fullpath, "Format " + std::to_string(format) + " is not 0, -1 or -2");
    if (create) flags |= O_CREAT;
    // Opened without waiting, so that a pipe in a file's place fails instead of hanging.
    int fd = open(fullpath.c_str(), flags | O_NONBLOCK, 0666);
    if (fd < 0) FailErrno(errno, fullpath, Subject::File);
    Fd owner(fd);
    struct stat st;
    if (fstat(fd, &st) != 0) FailErrno(errno, fullpath, Subject::File);
    if (S_ISDIR(st.st_mode)) Fail(err::PermissionDenied, fullpath, "a folder, not a file");
    // Reading a pipe or a device could wait or run forever.
    if (ioMode == ForReading && !S_ISREG(st.st_mode))
      Fail(err::DeviceIO, fullpath, "a pipe or device, not a file");
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return std::make_unique<PosixTextStream>(owner.release(), ioMode, format, fullpath, st.st_size == 0);
  }
};

/// Lists one folder, sorted by name; links are files, never followed.
template <typename Entry>
std::vector<Entry> List(const std::string& path, bool folders) {
  Dir dir = ReadFolder(OpenFolder(path), path);
  int fd = dirfd(dir.get());
  std::vector<Entry> entries;
  while (true) {
    errno = 0;
    dirent* entry = readdir(dir.get());
    if (!entry) {
      if (errno != 0) FailErrno(errno, path, Subject::Folder);
      break;
    }
    if (IsDotOrDotDot(entry->d_name)) continue;
    bool is_folder = EntryType(fd, entry) == DT_DIR;
    if (is_folder != folders) continue;
    if constexpr (std::is_same_v<Entry, FolderObject>) {
      entries.emplace_back(Join(path, entry->d_name));
    } else {
      struct stat st;
      if (fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone meanwhile
      FileObject file;
      file.Path = Join(path, entry->d_name);
      file.Name = entry->d_name;
      file.Size = st.st_size;
      file.DateLastModified = st.st_mtime;
      entries.push_back(std::move(file));
    }
  }
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.Path < b.Path; });
  return entries;
}

}  // namespace

TextStream::~TextStream() = default;

std::vector<FolderObject> FolderObject::SubFolders() const { return List<FolderObject>(Path, true); }

std::vector<FileObject> FolderObject::Files() const { return List<FileObject>(Path, false); }

std::shared_ptr<FileSystemService> NewPosixFileSystem() { return std::make_shared<PosixFileSystem>(); }

}  // namespace corvala4
