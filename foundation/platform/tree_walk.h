// The file-system service's walks over whole trees: deleting a folder with
// everything in it, and copying files, links and folders. Links are copied and
// removed as links, never followed, so nothing outside the tree is touched.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "foundation/platform/descriptor.h"

namespace corvala4::posixfs {

/// What one copy operation learns about the file systems, so that a tree of
/// many small files pays for a failing clone or copy_file_range only once.
struct CopyContext {
  bool no_clone = false;
  bool no_copy_range = false;
  std::vector<char> buffer;
  dev_t skip_dev = 0;  // the destination folder, never copied into itself
  ino_t skip_ino = 0;
};

/// Refuses the whole deletion before anything is gone when a read-only entry
/// is found and Force is false.
void CheckNothingReadOnly(int parentfd, const char* name, const std::string& shown);
/// Removes the folder `name` inside parentfd with everything in it. Every open uses
/// O_NOFOLLOW. With force, read-only folders are made writable on the way.
void RemoveTree(int parentfd, const char* name, bool force, const std::string& shown);

/// Copies a link as a link; an existing target is replaced only when overwriting.
void CopyLink(int srcdir, const char* srcname, int dstdir, const char* dstname, bool overwrite,
              const std::string& srcShown, const std::string& dstShown);
/// Copies one regular file with its mode bits and time of last modification. An
/// existing target is replaced through a temporary file and rename, so a failed
/// copy leaves it as it was and a read-only target does not block the copy.
void CopyRegular(CopyContext& ctx, int srcdir, const char* srcname, int dstdir, const char* dstname,
                 bool overwrite, const std::string& srcShown, const std::string& dstShown);
/// Fails with 58 before anything is copied when a merge without overwriting
/// would meet an existing entry.
void CheckNoConflict(int srcfd, int dstfd, const std::string& dstShown);
/// Copies the content of one folder into another, merging with what is there.
void CopyTree(CopyContext& ctx, Fd srcfd, int dstfd, bool overwrite, const std::string& srcShown,
              const std::string& dstShown);

}  // namespace corvala4::posixfs
