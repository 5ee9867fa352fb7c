// The file-system facade: every file and folder operation of the module goes
// through it, and every failure is re-raised with a detailed Chinese description.
#pragma once

#include <memory>
#include <string>

#include "foundation/platform/file_system.h"
#include "foundation/windows_api.h"

namespace corvala4 {

class DetailedFSO {
 public:
  /// Creates the platform service through CreateObjectEx; may be left without one.
  DetailedFSO();
  /// Wraps a given service (none: every operation fails with error 91).
  explicit DetailedFSO(std::shared_ptr<FileSystemService> service);

  bool FileExists(const std::string& filename);
  CORVALA4_WINDOWS_API std::string GetFileName(const std::string& fullpath);
  void CopyFolder(const std::string& source, const std::string& Destination, bool OverwriteFiles);
  FileObject GetFile(const std::string& fullpath);
  FolderObject GetFolder(const std::string& fullpath);
  void DeleteFolder(const std::string& fullpath, bool Force);
  std::unique_ptr<TextStream> OpenTextFile(const std::string& fullpath, int IOMode, bool Create, int Format);
  void DeleteFile(const std::string& filespec, bool Force);
  std::string BuildPath(const std::string& path, const std::string& name);
  std::string GetParentFolderName(const std::string& path);
  bool FolderExists(const std::string& path);
  std::string GetBaseName(const std::string& path);
  std::string GetDriveName(const std::string& path);
  FolderObject CreateFolder(const std::string& path);
  std::string GetAbsolutePathName(const std::string& path);
  void CopyFile(const std::string& src, const std::string& dst, bool Force);
  std::string GetExtensionName(const std::string& path);

  bool HasService() const { return service_ != nullptr; }

 private:
  std::shared_ptr<FileSystemService> service_;
};

}  // namespace corvala4
