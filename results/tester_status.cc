#include "results/tester_status.h"

#include <sys/stat.h>

#include <cstdio>
#include <memory>

#include "foundation/create_object.h"
#include "foundation/detailed_fso.h"
#include "foundation/errors.h"
#include "foundation/format_msg.h"
#include "foundation/globals.h"
#include "foundation/platform/regexp.h"
#include "foundation/run_context.h"
#include "foundation/string_collection.h"

namespace corvala4 {

namespace {

std::tm LocalTime(std::time_t t) {
  std::tm tm{};
  localtime_r(&t, &tm);
  return tm;
}

}  // namespace

RunContext& TesterStatus::Owner() const {
  if (!tester_) Raise(err::ObjectNotSet);
  return *tester_;
}

std::string TesterStatus::HostPath() const { return Owner().HostEXE(); }

std::string TesterStatus::HostFolder() const { return FSO().GetParentFolderName(HostPath()); }

std::string TesterStatus::RecordPath() const {
  return FSO().BuildPath(Owner().RecordFolder(), FSO().GetBaseName(HostPath()) + "_Test_Ver.txt");
}

int32_t TesterStatus::PackDate(std::time_t t) {
  std::tm tm = LocalTime(t);
  // A year before 1980 makes the last term negative, and the OR keeps the sign.
  return (tm.tm_mday * 2048) | ((tm.tm_mon + 1) * 128) | (tm.tm_year + 1900 - 1980);
}

int32_t TesterStatus::PackTime(std::time_t t) {
  std::tm tm = LocalTime(t);
  // Seconds halved, an exact half going to the even neighbour: 1 -> 0, 3 -> 2, 5 -> 2.
  int32_t h2 = tm.tm_sec / 2;
  if (tm.tm_sec % 2 != 0 && h2 % 2 != 0) ++h2;
  return (h2 * 2048) | (tm.tm_min * 32) | tm.tm_hour;
}

std::string TesterStatus::LongDate(std::time_t t) {
  std::tm tm = LocalTime(t);
  return FormatMsg("%0年%1月%2日", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

std::string TesterStatus::LongTime(std::time_t t) {
  std::tm tm = LocalTime(t);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buf;
}

void TesterStatus::RecordVersionPassed() {
  std::string host = HostPath();
  FileObject file = FSO().GetFile(host);
  std::time_t t = file.DateLastModified;
  std::string line = FormatText("%0,%1,%2,[%3(%4,%5)]", static_cast<long long>(file.Size), PackDate(t),
                               PackTime(t), host, LongDate(t), LongTime(t));
  std::string record = RecordPath();
  // Appended to as a file of its own only: a link in its place would carry the line elsewhere,
  // and replacing it would lose the builds it holds.
  struct stat st {};
  if (lstat(record.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
    throw Error(err::PermissionDenied, kModuleSource,
                FormatText("版本记录文件'%0'不是普通文件(符号链接或文件夹),未写入本版本的测试记录.", record));
  std::unique_ptr<TextStream> stream = FSO().OpenTextFile(record, ForAppending, true, TristateFalse);
  // One write of the whole line: an append never interleaves with another
  // process's line, and a failure never leaves half of it.
  stream->Write(line + "\r\n");
  stream->Close();
}

bool TesterStatus::VersionPassed() {
  std::string host = HostPath();
  FileObject file = FSO().GetFile(host);
  std::string record = RecordPath();
  if (!FSO().FileExists(record)) return false;

  StringCollection lines;
  lines.Load(record);
  std::shared_ptr<RegExp> re = std::dynamic_pointer_cast<RegExp>(CreateObjectEx("vbscript.regexp"));
  if (!re) Raise(err::ObjectNotSet);
  re->Pattern = R"((\d+),(\d+),(\d+),\[.+\(.+,.+\)\])";
  re->Multiline = false;

  std::string size = std::to_string(file.Size);
  std::string date = std::to_string(PackDate(file.DateLastModified));
  std::string time = std::to_string(PackTime(file.DateLastModified));
  for (const std::string& line : lines) {
    std::vector<RegExp::Match> matches = re->Execute(line);
    if (matches.empty() || matches[0].SubMatches.size() < 3) continue;
    const auto& groups = matches[0].SubMatches;
    // Textual comparison: a stored "0123" is not the size 123.
    if (groups[0].value_or("") == size && groups[1].value_or("") == date && groups[2].value_or("") == time)
      return true;
  }
  return false;
}

}  // namespace corvala4
