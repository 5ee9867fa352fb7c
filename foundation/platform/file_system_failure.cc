#include "foundation/platform/file_system_failure.h"

#include <errno.h>
#include <string.h>

#include "foundation/errors.h"
#include "foundation/platform/file_system.h"
#include "foundation/platform/folder_entries.h"
#include "foundation/platform/path_text.h"

namespace corvala4::posixfs {

namespace {

std::string ErrnoText(int error) {
  const char* text = strerrordesc_np(error);
  return text ? text : "errno " + std::to_string(error);
}

int NumberFor(int error, const std::string& path, Subject subject) {
  // A missing file is 53 only where its folder is there; a missing folder is always 76.
  if (error == ENOENT && (subject == Subject::Folder || !IsDirectory(FolderPartOf(path))))
    return err::PathNotFound;
  return ErrnoNumber(error);
}

}  // namespace

void Fail(int number, const std::string& path, const std::string& why) {
  std::string text = RuntimeText(number);
  if (text.empty()) text = "文件系统错误";
  throw Error(number, kFileSystemSource, text + ": '" + path + "' (" + why + ")");
}

void FailErrno(int error, const std::string& path, Subject subject) {
  Fail(NumberFor(error, path, subject), path, ErrnoText(error));
}

}  // namespace corvala4::posixfs
