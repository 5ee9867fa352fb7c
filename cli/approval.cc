#include "cli/approval.h"

#include <fcntl.h>
#include <pwd.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "cli/build_identity.h"
#include "cli/calculation_record.h"
#include "cli/host_session.h"
#include "foundation/platform/atomic_file.h"
#include "foundation/platform/descriptor.h"
#include "model/path_guard.h"
#include "model/test_case.h"
#include "results/output_files.h"

namespace corvala4::cli {

namespace {

bool IsFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool IsFolder(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

timespec ModifiedAt(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return {};
  return st.st_mtim;
}

bool Later(const timespec& a, const timespec& b) {
  return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

bool SameBytes(const std::string& a, const std::string& b) {
  struct stat sa {
  }, sb{};
  if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0 || sa.st_size != sb.st_size) return false;
  Fd fa(OpenRegularFile(AT_FDCWD, a.c_str())), fb(OpenRegularFile(AT_FDCWD, b.c_str()));
  bool same = fa.get() >= 0 && fb.get() >= 0;
  std::vector<char> x(1 << 16), y(1 << 16);
  while (same) {
    ssize_t n = read(fa.get(), x.data(), x.size());
    if (n <= 0) {
      same = n == 0;
      break;
    }
    ssize_t m = 0;
    while (m < n) {
      ssize_t k = read(fb.get(), y.data() + m, static_cast<size_t>(n - m));
      if (k <= 0) break;
      m += k;
    }
    same = m == n && memcmp(x.data(), y.data(), static_cast<size_t>(n)) == 0;
  }
  return same;
}

/// Copies src to a new temporary file beside dest, written out to the disk; returns its
/// path, or fills `error`.
std::string CopyToTemporary(const std::string& src, const std::string& dest, std::string& error) {
  size_t slash = dest.find_last_of('/');
  if (slash != std::string::npos)
    if (int e = MakeFolders(dest.substr(0, slash)); e != 0) {
      error = "cannot make the folder of '" + dest + "': " + strerror(e);
      return {};
    }
  Fd in(OpenRegularFile(AT_FDCWD, src.c_str()));
  if (in.get() < 0) {
    error = "cannot read '" + src + "': " + strerror(errno);
    return {};
  }
  std::string temp = dest + ".corvala4-XXXXXX";
  int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) {
    error = "cannot write beside '" + dest + "': " + strerror(errno);
    return {};
  }
  struct stat st {};
  fchmod(fd, stat(dest.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644);
  std::vector<char> buf(1 << 16);
  int e = 0;
  while (e == 0) {
    ssize_t n = read(in.get(), buf.data(), buf.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) e = errno;
    if (n <= 0) break;
    for (ssize_t done = 0; done < n && e == 0;) {
      ssize_t w = write(fd, buf.data() + done, static_cast<size_t>(n - done));
      if (w < 0 && errno != EINTR) e = errno;
      if (w > 0) done += w;
    }
  }
  if (e == 0 && fsync(fd) != 0) e = errno;
  if (close(fd) != 0 && e == 0) e = errno;
  if (e != 0) {
    unlink(temp.c_str());
    error = "cannot write '" + dest + "': " + strerror(e);
    return {};
  }
  return temp;
}

/// Keeps a field on its line and apart from the next.
std::string Field(std::string text) {
  for (char& c : text)
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  return text;
}

}  // namespace

std::string ApprovalLogOf(const std::string& standardDirectory) {
  return standardDirectory + "/corvala4-approvals.txt";
}

std::string UserName() {
  char buf[4096];
  struct passwd pw {
  }, *found = nullptr;
  if (getpwuid_r(geteuid(), &pw, buf, sizeof buf, &found) == 0 && found) return found->pw_name;
  if (const char* user = std::getenv("USER"); user && *user) return user;
  return "uid " + std::to_string(geteuid());
}

Approval ApproveCase(TestCaseImpl& tc, const std::string& reason, const std::string& standardDirectory) {
  Approval a;
  std::string folder = tc.TestCaseFolder();
  if (!IsFolder(folder)) {
    a.message = "its working folder '" + folder + "' does not exist: run the case first";
    return a;
  }
  std::optional<CalculationRecord> record = ReadCalculationRecord(folder);
  if (!record) {
    a.message = "no calculation by `corvala4 run` is recorded in '" + folder + "': run the case first";
    return a;
  }
  if (!record->success) {
    a.message = "its last calculation did not succeed (" + record->reason + ")";
    return a;
  }
  struct Pair {
    std::string name, output, standard;
  };
  std::vector<Pair> files;
  std::string missing, newer;
  timespec recorded = ModifiedAt(RecordFileOf(folder));
  for (const std::shared_ptr<OutputFile>& file : *tc.OutputFiles()) {
    if (!StaysInside(file->Name())) {
      a.message = "the output '" + file->Name() + "' names a place outside the case's folders";
      return a;
    }
    std::string output = file->OutputPath();
    if (!IsFile(output)) missing += (missing.empty() ? "" : ", ") + file->Name();
    else if (Later(ModifiedAt(output), recorded)) newer += (newer.empty() ? "" : ", ") + file->Name();
    files.push_back({file->Name(), output, file->StandardPath()});
  }
  if (!missing.empty()) {
    a.message = "its outputs are missing in '" + folder + "': " + missing;
    return a;
  }
  // Written after the recorded calculation (by a host's own run, or by hand): not its outputs.
  if (!newer.empty()) {
    a.message =
        "its outputs changed after its last calculation by `corvala4 run`: " + newer + "; run the case first";
    return a;
  }

  // Every new standard file is written out before any is put in place.
  std::vector<std::pair<std::string, std::string>> temps;  // temporary, standard
  std::vector<std::string> names;
  std::string error;
  for (const Pair& f : files) {
    if (SameBytes(f.output, f.standard)) continue;
    std::string temp = CopyToTemporary(f.output, f.standard, error);
    if (temp.empty()) break;
    temps.emplace_back(temp, f.standard);
    names.push_back(f.name);
  }
  if (!error.empty()) {
    for (const auto& t : temps) unlink(t.first.c_str());
    a.message = error + "; no standard file of this case was changed";
    return a;
  }
  if (temps.empty()) {
    a.approved = true;
    a.message = "its outputs are the same as its standard files already; nothing changed";
    return a;
  }
  for (const auto& [temp, standard] : temps) {
    if (rename(temp.c_str(), standard.c_str()) != 0) {
      error = "cannot replace '" + standard + "': " + strerror(errno);
      unlink(temp.c_str());
    } else {
      a.files.push_back(standard);
    }
  }

  std::string when = LocalTimeText(std::time(nullptr), "%Y-%m-%d %H:%M:%S %z");
  std::string joined;
  for (const std::string& name : names) joined += (joined.empty() ? "" : ", ") + name;
  std::string line = when + "\t" + Field(UserName()) + "\t" + Field(tc.Caption()) + " [" +
                     Field(tc.Folder()) + "]\t" + Field(joined) + "\t" + Field(reason) + "\t" +
                     Field(IdentityText(record->build)) + "\n";
  std::string log = ApprovalLogOf(standardDirectory);
  int fd = open(log.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  // One write: lines of approvals made at the same time never mix.
  bool logged = fd >= 0 && write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  if (fd >= 0) close(fd);

  a.approved = error.empty() && logged;
  a.message = "approved " + joined;
  if (!error.empty()) a.message += "; but " + error;
  if (!logged) a.message += "; but the approval log '" + log + "' could not be written";
  return a;
}

}  // namespace corvala4::cli
