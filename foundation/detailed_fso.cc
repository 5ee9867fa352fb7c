#include "foundation/detailed_fso.h"

#include <initializer_list>
#include <string_view>

#include "foundation/create_object.h"
#include "foundation/errors.h"
#include "foundation/value.h"

namespace corvala4 {

namespace {

/// The texts one operation's failure is described with. The summary is
/// before + first parameter [+ between + second parameter] + after.
struct OperationTexts {
  const char* before;
  const char* between;  // null: the summary names one parameter
  const char* after;
  const char* operation;
  const char* labels[4];  // one a parameter, in order; the rest null
};

enum Op {
  kFileExists,
  kGetFileName,
  kCopyFolder,
  kGetFile,
  kGetFolder,
  kDeleteFolder,
  kOpenTextFile,
  kDeleteFile,
  kBuildPath,
  kGetParentFolderName,
  kFolderExists,
  kGetBaseName,
  kGetDriveName,
  kCreateFolder,
  kGetAbsolutePathName,
  kCopyFile,
  kGetExtensionName,
};

const OperationTexts kTexts[] = {
    {"检查文件'", nullptr, "'的存在状态失败!", "操作:检查文件是否存在", {"文件名:"}},
    {"获取'", nullptr, "'的文件名失败!", "操作:获取文件名", {"文件名:"}},
    {"复制文件夹'", "'到'", "'失败!", "操作:复制文件夹", {"源路径:", "目标路径:", "覆盖文件:"}},
    {"获取'", nullptr, "'的文件对象失败!", "操作:获取文件对象", {"文件名:"}},
    {"获取'", nullptr, "'的文件夹对象失败!", "操作:获取文件夹对象", {"文件夹:"}},
    {"删除文件夹'", nullptr, "'失败!", "操作:删除文件夹", {"文件夹:", "强制删除:"}},
    {"打开'", nullptr, "'文件失败!", "操作:打开文本文件", {"文件名:", "读写模式:", "是否创建:", "使用格式:"}},
    {"删除文件'", nullptr, "'失败!", "操作:删除文件", {"文件名:", "强制删除:"}},
    {"路径'", "'与'", "'合并失败!", "操作:组合路径", {"前部分:", "后部分:"}},
    {"获取'", nullptr, "'的父目录失败!", "操作:得到父目录名", {"路径:"}},
    {"检查文件夹'", nullptr, "'的存在状态失败!", "操作:检查目录是否存在", {"路径:"}},
    {"获取文件'", nullptr, "'的主文件名失败!", "操作:得到主文件名", {"路径:"}},
    {"获取'", nullptr, "'的驱动器名失败!", "操作:得到驱动器名称", {"路径:"}},
    {"创建'", nullptr, "'文件夹失败!", "操作:创建目录", {"路径:"}},
    {"取得'", nullptr, "'的绝对路径失败!", "操作:得到绝对路径", {"路径:"}},
    {"复制文件'", "'到'", "'失败!", "操作:复制文件", {"源路径:", "目标路径:", "强制覆盖:"}},
    {"获取'", nullptr, "'的扩展名失败!", "操作:得到扩展名", {"路径:"}},
};

std::string_view ModeText(int mode) {
  switch (mode) {
    case ForAppending: return "追加";
    case ForReading: return "读取";
    case ForWriting: return "输出";
    default: return "";
  }
}

std::string_view FormatText(int format) {
  switch (format) {
    case TristateFalse: return "Ascii";
    case TristateTrue: return "Unicode";
    case TristateUseDefault: return "系统默认";
    default: return "";
  }
}

/// summary + "<+>" + E + "\r\n" + operation line + "\r\n" + one line per parameter.
std::string Describe(Op op, std::initializer_list<std::string_view> values, const std::string& inner) {
  const OperationTexts& texts = kTexts[op];
  const std::string_view* value = values.begin();
  std::string text = texts.before;
  text += value[0];
  if (texts.between) {
    text += texts.between;
    text += value[1];
  }
  text += texts.after;
  text += ErrDetailSep();
  text += inner;
  text += "\r\n";
  text += texts.operation;
  for (const char* label : texts.labels) {
    if (!label) break;
    text += "\r\n";
    text += label;
    text += *value++;
  }
  return text;
}

/// Runs one service call; its failure (or the missing service's) is raised again
/// with the same number and source and the operation's own description.
template <typename Call>
auto Forward(FileSystemService* service, Op op, std::initializer_list<std::string_view> values, Call call) {
  try {
    if (!service) Raise(err::ObjectNotSet);
    return call(*service);
  } catch (const Error& e) {
    throw Error(e.Number(), e.Source(), Describe(op, values, e.Description()));
  }
}

}  // namespace

DetailedFSO::DetailedFSO()
    : service_(std::dynamic_pointer_cast<FileSystemService>(CreateObjectEx("Scripting.FileSystemObject"))) {}

DetailedFSO::DetailedFSO(std::shared_ptr<FileSystemService> service) : service_(std::move(service)) {}

bool DetailedFSO::FileExists(const std::string& filename) {
  return Forward(service_.get(), kFileExists, {filename},
                 [&](FileSystemService& s) { return s.FileExists(filename); });
}

std::string DetailedFSO::GetFileName(const std::string& fullpath) {
  return Forward(service_.get(), kGetFileName, {fullpath},
                 [&](FileSystemService& s) { return s.GetFileName(fullpath); });
}

void DetailedFSO::CopyFolder(const std::string& source, const std::string& Destination, bool OverwriteFiles) {
  return Forward(service_.get(), kCopyFolder, {source, Destination, BoolText(OverwriteFiles)},
                 [&](FileSystemService& s) { return s.CopyFolder(source, Destination, OverwriteFiles); });
}

FileObject DetailedFSO::GetFile(const std::string& fullpath) {
  return Forward(service_.get(), kGetFile, {fullpath},
                 [&](FileSystemService& s) { return s.GetFile(fullpath); });
}

FolderObject DetailedFSO::GetFolder(const std::string& fullpath) {
  return Forward(service_.get(), kGetFolder, {fullpath},
                 [&](FileSystemService& s) { return s.GetFolder(fullpath); });
}

void DetailedFSO::DeleteFolder(const std::string& fullpath, bool Force) {
  return Forward(service_.get(), kDeleteFolder, {fullpath, BoolText(Force)},
                 [&](FileSystemService& s) { return s.DeleteFolder(fullpath, Force); });
}

std::unique_ptr<TextStream> DetailedFSO::OpenTextFile(const std::string& fullpath, int IOMode, bool Create,
                                                      int Format) {
  return Forward(service_.get(), kOpenTextFile,
                 {fullpath, ModeText(IOMode), BoolText(Create), FormatText(Format)},
                 [&](FileSystemService& s) { return s.OpenTextFile(fullpath, IOMode, Create, Format); });
}

void DetailedFSO::DeleteFile(const std::string& filespec, bool Force) {
  return Forward(service_.get(), kDeleteFile, {filespec, BoolText(Force)},
                 [&](FileSystemService& s) { return s.DeleteFile(filespec, Force); });
}

std::string DetailedFSO::BuildPath(const std::string& path, const std::string& name) {
  return Forward(service_.get(), kBuildPath, {path, name},
                 [&](FileSystemService& s) { return s.BuildPath(path, name); });
}

std::string DetailedFSO::GetParentFolderName(const std::string& path) {
  return Forward(service_.get(), kGetParentFolderName, {path},
                 [&](FileSystemService& s) { return s.GetParentFolderName(path); });
}

bool DetailedFSO::FolderExists(const std::string& path) {
  return Forward(service_.get(), kFolderExists, {path},
                 [&](FileSystemService& s) { return s.FolderExists(path); });
}

std::string DetailedFSO::GetBaseName(const std::string& path) {
  return Forward(service_.get(), kGetBaseName, {path},
                 [&](FileSystemService& s) { return s.GetBaseName(path); });
}

std::string DetailedFSO::GetDriveName(const std::string& path) {
  return Forward(service_.get(), kGetDriveName, {path},
                 [&](FileSystemService& s) { return s.GetDriveName(path); });
}

FolderObject DetailedFSO::CreateFolder(const std::string& path) {
  return Forward(service_.get(), kCreateFolder, {path},
                 [&](FileSystemService& s) { return s.CreateFolder(path); });
}

std::string DetailedFSO::GetAbsolutePathName(const std::string& path) {
  return Forward(service_.get(), kGetAbsolutePathName, {path},
                 [&](FileSystemService& s) { return s.GetAbsolutePathName(path); });
}

void DetailedFSO::CopyFile(const std::string& src, const std::string& dst, bool Force) {
  return Forward(service_.get(), kCopyFile, {src, dst, BoolText(Force)},
                 [&](FileSystemService& s) { return s.CopyFile(src, dst, Force); });
}

std::string DetailedFSO::GetExtensionName(const std::string& path) {
  return Forward(service_.get(), kGetExtensionName, {path},
                 [&](FileSystemService& s) { return s.GetExtensionName(path); });
}

}  // namespace corvala4
