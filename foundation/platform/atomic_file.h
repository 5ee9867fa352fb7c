// Whole-file reading and replacing for the small stores of the module (settings, registry):
// a file is replaced through a temporary file and a rename, so it is never half-written.
#pragma once

#include <string>
#include <sys/types.h>

namespace corvala4 {

/// The file's bytes; 0, or the errno of the failure (ENOENT when it does not exist).
int ReadWholeFile(const std::string& path, std::string& content);
/// Creates the folder and its parents; 0 or an errno.
int MakeFolders(const std::string& folder);
/// Writes the content to a temporary file beside path and renames it over path; an existing
/// file keeps its permissions, a new one gets newMode. 0 or an errno; path is untouched on failure.
int ReplaceFileAtomically(const std::string& path, const std::string& content, mode_t newMode);
/// The same through a temporary of a fixed name (any file of that name is replaced), so that one
/// left by a killed writer can be found and removed.
int ReplaceFileThrough(const std::string& temp, const std::string& path, const std::string& content,
                       mode_t newMode);

}  // namespace corvala4
