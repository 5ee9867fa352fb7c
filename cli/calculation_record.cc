#include "cli/calculation_record.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "foundation/platform/descriptor.h"

namespace corvala4::cli {

namespace {

/// Keeps a value on its one line.
std::string Flat(std::string text) {
  for (char& c : text)
    if (c == '\n' || c == '\r') c = ' ';
  return text;
}

}  // namespace

std::string RecordFileOf(const std::string& workingFolder) {
  return workingFolder + "/.corvala4-calculation";
}

bool WriteCalculationRecord(const std::string& workingFolder, const CalculationRecord& r) {
  // "success" comes last: a record cut short by a crash has none, and approve refuses it.
  std::string text = "caption=" + Flat(r.caption) + "\n" + "function=" + Flat(r.function) + "\n" +
                     "reason=" + Flat(r.reason) + "\n" + "host=" + Flat(r.build.path) + "\n" +
                     "size=" + std::to_string(r.build.size) + "\n" +
                     "modified=" + std::to_string(static_cast<long long>(r.build.modified)) + "\n" +
                     "sha256=" + r.build.sha256 + "\n" +
                     "finished=" + std::to_string(static_cast<long long>(r.finished)) + "\n" +
                     "success=" + std::string(r.success ? "1" : "0") + "\n";
  // Written over the file in place: a new file per case would cost the run more than the
  // rest of the record's work.
  // Never through a link the calculation left in its place: that would write outside.
  std::string path = RecordFileOf(workingFolder);
  Fd fd(open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644));
  if (fd.get() < 0 && errno == ELOOP && unlink(path.c_str()) == 0)
    fd = Fd(open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
  if (fd.get() < 0) return false;
  bool written = write(fd.get(), text.data(), text.size()) == static_cast<ssize_t>(text.size());
  return close(fd.release()) == 0 && written;
}

bool ClearCalculationRecord(const std::string& workingFolder) {
  std::string path = RecordFileOf(workingFolder);
  Fd fd(open(path.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC));
  if (fd.get() < 0 && errno == ELOOP) return unlink(path.c_str()) == 0;
  if (fd.get() < 0) return errno == ENOENT;
  return close(fd.release()) == 0;
}

std::optional<CalculationRecord> ReadCalculationRecord(const std::string& workingFolder) {
  std::string text;
  // Only the runner's own file: a link in its place is no record of it.
  Fd fd(OpenRegularFile(AT_FDCWD, RecordFileOf(workingFolder).c_str(), O_NOFOLLOW));
  if (fd.get() < 0) return std::nullopt;
  char buf[8192];
  for (ssize_t n; (n = read(fd.get(), buf, sizeof buf)) != 0;) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || text.size() > (1 << 20)) return std::nullopt;
    text.append(buf, static_cast<size_t>(n));
  }
  CalculationRecord r;
  bool has_success = false;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "success") {
      r.success = value == "1";
      has_success = true;
    } else if (key == "caption") {
      r.caption = value;
    } else if (key == "function") {
      r.function = value;
    } else if (key == "reason") {
      r.reason = value;
    } else if (key == "host") {
      r.build.path = value;
    } else if (key == "size") {
      r.build.size = std::strtoll(value.c_str(), nullptr, 10);
    } else if (key == "modified") {
      r.build.modified = static_cast<std::time_t>(std::strtoll(value.c_str(), nullptr, 10));
    } else if (key == "sha256") {
      r.build.sha256 = value;
    } else if (key == "finished") {
      r.finished = static_cast<std::time_t>(std::strtoll(value.c_str(), nullptr, 10));
    }
  }
  if (!has_success) return std::nullopt;
  return r;
}

}  // namespace corvala4::cli
