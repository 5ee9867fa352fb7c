#include "model/path_guard.h"

#include <filesystem>
#include <system_error>

#include "foundation/errors.h"
#include "foundation/format_msg.h"
#include "foundation/globals.h"
#include "foundation/run_context.h"

namespace corvala4 {

namespace fs = std::filesystem;

namespace {

bool IsWithin(const std::string& path, const std::string& root) {
  if (path.compare(0, root.size(), root) != 0) return false;
  return path.size() == root.size() || root.back() == '/' || path[root.size()] == '/';
}

/// Where the path really leads, as far as it exists.
bool ResolvesInside(const std::string& root, const std::string& path, bool followLast) {
  std::error_code ec;
  fs::path realRoot = fs::canonical(root, ec);
  if (ec) return true;  // nothing exists below a missing root either
  fs::path p(path);
  if (!followLast) p = p.parent_path();
  while (!p.empty() && p != p.parent_path()) {
    if (fs::exists(fs::status(p, ec))) break;
    p = p.parent_path();
  }
  if (p.empty()) p = ".";
  fs::path real = fs::canonical(p, ec);
  if (ec) return false;
  return IsWithin(real.string(), realRoot.string());
}

}  // namespace

bool StaysInside(std::string_view relative) {
  if (!relative.empty() && relative.front() == '/') return false;
  int depth = 0;
  while (!relative.empty()) {
    size_t cut = relative.find('/');
    std::string_view part = relative.substr(0, cut);
    relative = cut == std::string_view::npos ? std::string_view() : relative.substr(cut + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (--depth < 0) return false;
    } else {
      ++depth;
    }
  }
  return true;
}

bool LeadsInto(const std::string& path, const std::string& folderA, const std::string& folderB) {
  std::error_code ec;
  fs::path real = fs::canonical(path, ec);
  if (ec) return false;
  for (const std::string& folder : {folderA, folderB}) {
    fs::path root = fs::canonical(folder, ec);
    if (!ec && IsWithin(real.string(), root.string())) return true;
  }
  return false;
}

void RaiseUnsafePath(const std::string& path) {
  std::string definition = G().CurrentTester ? G().CurrentTester->DefinitionFile() : std::string();
  throw Error(UnsafePathError, kModuleSource,
              FormatText("路径'%0'不在测试数据文件夹之内,已拒绝此操作!\r\n"
                        "请检查'%1'中的算例文件夹与输出文件名:它们不能是绝对路径,"
                        "也不能经'..'或符号链接离开标准目录与工作目录.",
                        path, definition));
}

void RequireInside(const std::string& root, const std::string& relative, const std::string& path,
                   bool followLast) {
  if (!StaysInside(relative) || !ResolvesInside(root, path, followLast)) RaiseUnsafePath(path);
}

}  // namespace corvala4
