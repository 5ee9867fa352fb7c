#include "foundation/platform/file_system.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <type_traits>

#include "foundation/errors.h"
#include "foundation/platform/descriptor.h"
#include "foundation/platform/file_system_failure.h"
#include "foundation/platform/folder_entries.h"
#include "foundation/platform/path_text.h"
#include "foundation/platform/text_stream.h"
#include "foundation/platform/tree_walk.h"

namespace corvala4 {
namespace posixfs {
namespace {

std::string CurrentFolder() {
  std::string buffer(256, '\0');
  while (getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) FailErrno(errno, ".", Subject::Folder);
    buffer.resize(buffer.size() * 2);
  }
  return buffer.c_str();
}

/// The path made absolute against the current folder, textually.
std::string AbsolutePath(const std::string& path) {
  return AbsolutePathText(path, !path.empty() && path[0] == '/' ? std::string() : CurrentFolder());
}

class PosixFileSystem : public FileSystemService {
 public:
  bool FileExists(const std::string& filename) override {
    struct stat st;
    return stat(filename.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
  }

  bool FolderExists(const std::string& path) override { return IsDirectory(path); }

  std::string GetFileName(const std::string& fullpath) override { return FileNameOf(fullpath); }

  std::string GetBaseName(const std::string& path) override { return BaseNameOf(path); }

  std::string GetExtensionName(const std::string& path) override { return ExtensionNameOf(path); }

  std::string GetParentFolderName(const std::string& path) override { return ParentOf(path); }

  std::string GetDriveName(const std::string&) override { return ""; }

  std::string BuildPath(const std::string& path, const std::string& name) override {
    return JoinPath(path, name);
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
      for (const FolderEntry& entry : MatchingEntries(dir_fd.get(), folder, name))
        if (entry.type != DT_DIR) matches.push_back(entry.name);
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
          Fail(err::PermissionDenied, JoinPath(folder, match), "read-only file");
      }
    }
    for (const std::string& match : matches) {
      if (unlinkat(dir_fd.get(), match.c_str(), 0) != 0)
        FailErrno(errno, JoinPath(folder, match), Subject::File);
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
      for (const FolderEntry& entry : MatchingEntries(parent.get(), folder, name))
        if (IsFolderLike(parent.get(), entry.name.c_str(), entry.type))
          matches.push_back({entry.name, entry.type == DT_LNK});
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
        if (!match.link) CheckNothingReadOnly(parent.get(), match.name.c_str(), JoinPath(folder, match.name));
    }
    for (const Match& match : matches) {
      std::string shown = JoinPath(folder, match.name);
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
      case ForReading: break;
      case ForWriting: flags |= O_WRONLY | O_TRUNC; break;
      case ForAppending: flags |= O_WRONLY | O_APPEND; break;
      default:
        Fail(err::InvalidProcedureCall, fullpath, "IOMode " + std::to_string(ioMode) + " is not 1, 2 or 8");
    }
    if (format != TristateFalse && format != TristateTrue && format != TristateUseDefault)
      Fail(err::InvalidProcedureCall, fullpath, "Format " + std::to_string(format) + " is not 0, -1 or -2");
    if (create) flags |= O_CREAT;
    // Opened without waiting, so that a pipe in a file's place fails instead of hanging;
    // reading takes a regular file only, since a device could run forever.
    Fd fd = ioMode == ForReading ? OpenRegularFile(AT_FDCWD, fullpath.c_str(), flags)
                                 : Fd(open(fullpath.c_str(), flags | O_NONBLOCK, 0666));
    if (fd.get() < 0 && errno == EISDIR) Fail(err::PermissionDenied, fullpath, "a folder, not a file");
    if (fd.get() < 0 && errno == ENODEV) Fail(err::DeviceIO, fullpath, "a pipe or device, not a file");
    if (fd.get() < 0) FailErrno(errno, fullpath, Subject::File);
    struct stat st;
    if (fstat(fd.get(), &st) != 0) FailErrno(errno, fullpath, Subject::File);
    int fl = fcntl(fd.get(), F_GETFL);
    if (fl < 0 || fcntl(fd.get(), F_SETFL, fl & ~O_NONBLOCK) != 0) FailErrno(errno, fullpath, Subject::File);
    return NewTextStream(fd.release(), ioMode, format, fullpath, st.st_size == 0);
  }
};

/// Lists one folder, sorted by name; links are files, never followed.
template <typename Entry>
std::vector<Entry> List(const std::string& path, bool folders) {
  Dir dir = ReadFolder(OpenFolder(path), path);
  int fd = dirfd(dir.get());
  std::vector<Entry> entries;
  while (dirent* entry = NextEntry(dir.get(), path)) {
    bool is_folder = EntryType(fd, entry) == DT_DIR;
    if (is_folder != folders) continue;
    if constexpr (std::is_same_v<Entry, FolderObject>) {
      entries.emplace_back(JoinPath(path, entry->d_name));
    } else {
      struct stat st;
      if (fstatat(fd, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;  // gone meanwhile
      FileObject file;
      file.Path = JoinPath(path, entry->d_name);
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
}  // namespace posixfs

std::vector<FolderObject> FolderObject::SubFolders() const { return posixfs::List<FolderObject>(Path, true); }

std::vector<FileObject> FolderObject::Files() const { return posixfs::List<FileObject>(Path, false); }

std::shared_ptr<FileSystemService> NewPosixFileSystem() {
  return std::make_shared<posixfs::PosixFileSystem>();
}

}  // namespace corvala4
