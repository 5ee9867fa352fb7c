// The platform file-system service ("Scripting.FileSystemObject") on POSIX.
// Its failures carry the classic runtime numbers (53, 76, 70, 58, 61, 57, ...).
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "foundation/platform/service_factory.h"

namespace corvala4 {

/// IOMode and Format codes of OpenTextFile.
enum IOMode : int { ForReading = 1, ForWriting = 2, ForAppending = 8 };
enum TextFormat : int { TristateFalse = 0, TristateTrue = -1, TristateUseDefault = -2 };

struct FileObject {
  std::string Path;
  std::string Name;
  int64_t Size = 0;
  std::time_t DateLastModified = 0;
};

class FolderObject {
 public:
  explicit FolderObject(std::string path) : Path(std::move(path)) {}
  std::string Path;
  /// Read from the disk at each call; a symbolic link is listed as a file, never followed.
  std::vector<FolderObject> SubFolders() const;
  std::vector<FileObject> Files() const;
};

/// A text file opened in the code page (Format 0), UTF-16 (-1) or the default (-2).
/// Texts are UTF-8 on this side.
class TextStream {
 public:
  virtual ~TextStream();
  virtual bool AtEndOfStream() = 0;
  virtual std::string ReadAll() = 0;
  virtual void Write(const std::string& text) = 0;
  /// The text followed by "\r\n".
  virtual void WriteLine(const std::string& text) = 0;
  virtual void Close() = 0;
};

class FileSystemService : public Service {
 public:
  virtual bool FileExists(const std::string& filename) = 0;
  virtual std::string GetFileName(const std::string& fullpath) = 0;
  virtual void CopyFolder(const std::string& source, const std::string& destination, bool overwrite) = 0;
  virtual FileObject GetFile(const std::string& fullpath) = 0;
  virtual FolderObject GetFolder(const std::string& fullpath) = 0;
  virtual void DeleteFolder(const std::string& fullpath, bool force) = 0;
  virtual std::unique_ptr<TextStream> OpenTextFile(const std::string& fullpath, int ioMode, bool create,
                                                   int format) = 0;
  virtual void DeleteFile(const std::string& filespec, bool force) = 0;
  virtual std::string BuildPath(const std::string& path, const std::string& name) = 0;
  virtual std::string GetParentFolderName(const std::string& path) = 0;
  virtual bool FolderExists(const std::string& path) = 0;
  virtual std::string GetBaseName(const std::string& path) = 0;
  virtual std::string GetDriveName(const std::string& path) = 0;
  virtual FolderObject CreateFolder(const std::string& path) = 0;
  virtual std::string GetAbsolutePathName(const std::string& path) = 0;
  virtual void CopyFile(const std::string& src, const std::string& dst, bool force) = 0;
  virtual std::string GetExtensionName(const std::string& path) = 0;
};

std::shared_ptr<FileSystemService> NewPosixFileSystem();

/// Source text of the service's own errors.
inline constexpr const char* kFileSystemSource = "Scripting.FileSystemObject";

}  // namespace corvala4
