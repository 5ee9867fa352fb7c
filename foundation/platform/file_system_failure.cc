#include "foundation/platform/file_system_failure.h"

#include <errno.h>
#include <string.h>

#include "foundation/errors.h"
#include "foundation/platform/file_system.h"
#include "foundation/platform/folder_entries.h"
#include "foundation/platform/path_text.h"

namespace corvala4::posixfs {

namespace {

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

std::string ErrnoText(int error) {
  const char* text = strerrordesc_np(error);
  return text ? text : "errno " + std::to_string(error);
}

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

}  // namespace

void Fail(int number, const std::string& path, const std::string& why) {
  throw Error(number, kFileSystemSource, std::string(RuntimeText(number)) + ": '" + path + "' (" + why + ")");
}

void FailErrno(int error, const std::string& path, Subject subject) {
  Fail(NumberFor(error, path, subject), path, ErrnoText(error));
}

}  // namespace corvala4::posixfs
