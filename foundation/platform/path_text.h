// Paths looked at as text only, as the file-system service reads them: "/" is the
// separator, repeated slashes count once, and nothing here touches the disk.
#pragma once

#include <string>

namespace corvala4 {

std::string StripTrailingSlashes(const std::string& path);
/// The last part of the path ("" for "/").
std::string FileNameOf(const std::string& path);
/// Everything before the last part ("" for a bare name, "/" for a part of the root).
std::string ParentOf(const std::string& path);
/// The folder to open for an entry of `path` ("." for a bare name).
std::string FolderPartOf(const std::string& path);
/// FileNameOf without its extension; "." and ".." stay whole.
std::string BaseNameOf(const std::string& path);
/// The part of FileNameOf after its last dot, or "".
std::string ExtensionNameOf(const std::string& path);
/// Joins with exactly one "/", never dropping the left side (an absolute name is joined too).
std::string JoinPath(const std::string& path, const std::string& name);
/// The path made absolute against `base` (used only when path is relative), with ".", ".."
/// and repeated slashes collapsed textually: links are not followed.
std::string AbsolutePathText(const std::string& path, const std::string& base);

bool HasWildcard(const std::string& name);
/// Only "*" and "?" are wildcards, as in the classic service; "[" is literal.
bool MatchesWildcard(const std::string& pattern, const char* name);
bool IsDotOrDotDot(const char* name);

}  // namespace corvala4
