// Reading folders for the file-system service: folders opened for the *at() calls,
// their entries and what kind each one is, without following links.
#pragma once

#include <dirent.h>
#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "foundation/platform/descriptor.h"

namespace corvala4::posixfs {

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};
using Dir = std::unique_ptr<DIR, DirCloser>;

/// Opens a folder for the *at() calls; a missing or non-folder path is error 76.
Fd OpenFolder(const std::string& path);
/// Opens the folder `name` inside parentfd without following a link; none with errno on failure.
Fd OpenSubfolder(int parentfd, const char* name);
/// Reads a folder opened with openat; takes the descriptor over.
Dir ReadFolder(Fd fd, const std::string& path);
/// The next entry other than "." and "..", or null at the folder's end; a failed read raises.
dirent* NextEntry(DIR* dir, const std::string& path);
/// The entry's type without following a link; DT_UNKNOWN file systems cost one stat.
unsigned char EntryType(int dirfd, const dirent* entry);
/// A link that leads to a folder counts as a folder for DeleteFolder's matching.
bool IsFolderLike(int dirfd, const char* name, unsigned char type);
struct FolderEntry {
  std::string name;
  unsigned char type;  // as EntryType tells it
};
/// The entries of the folder open as dirfd whose names match the wildcard pattern.
std::vector<FolderEntry> MatchingEntries(int dirfd, const std::string& path, const std::string& pattern);

/// The path is a folder (a link to one included).
bool IsDirectory(const std::string& path);
/// An entry without the owner's write bit; a link never counts.
bool IsReadOnly(mode_t mode);

}  // namespace corvala4::posixfs
