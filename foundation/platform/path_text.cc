#include "foundation/platform/path_text.h"

#include <fnmatch.h>

#include <vector>

namespace corvala4 {

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

std::string FolderPartOf(const std::string& path) {
  std::string parent = ParentOf(path);
  return parent.empty() ? "." : parent;
}

std::string JoinPath(const std::string& path, const std::string& name) {
  if (path.empty()) return name;
  size_t end = path.find_last_not_of('/');
  size_t start = name.find_first_not_of('/');
  std::string left = end == std::string::npos ? "" : path.substr(0, end + 1);
  std::string right = start == std::string::npos ? "" : name.substr(start);
  return left + "/" + right;
}

std::string BaseNameOf(const std::string& path) {
  std::string name = FileNameOf(path);
  size_t dot = name.rfind('.');
  return dot == std::string::npos || name == "." || name == ".." ? name : name.substr(0, dot);
}

std::string ExtensionNameOf(const std::string& path) {
  std::string name = FileNameOf(path);
  size_t dot = name.rfind('.');
  return dot == std::string::npos || name == "." || name == ".." ? "" : name.substr(dot + 1);
}

std::string AbsolutePathText(const std::string& path, const std::string& base) {
  std::string full = !path.empty() && path[0] == '/' ? path : base + "/" + path;
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

bool MatchesWildcard(const std::string& pattern, const char* name) {
  std::string escaped;
  for (char c : pattern) escaped += c == '[' ? std::string("[[]") : std::string(1, c);
  return fnmatch(escaped.c_str(), name, FNM_NOESCAPE) == 0;
}

bool IsDotOrDotDot(const char* name) {
  return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

}  // namespace corvala4
