#include "cli/approval.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <vector>

#include "cli/build_identity.h"
#include "cli/calculation_record.h"
#include "cli/host_session.h"
#include "foundation/platform/descriptor.h"
#include "foundation/platform/replacement_journal.h"
#include "model/path_guard.h"
#include "model/test_case.h"
#include "results/line_pairs.h"
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

/// Where a path really leads ("" when it cannot be resolved).
std::string RealPath(const std::string& path) {
  char* real = realpath(path.c_str(), nullptr);
  if (!real) return "";
  std::string text(real);
  free(real);
  return text;
}

bool Within(const std::string& path, const std::string& root) {
  return !root.empty() && path.compare(0, root.size(), root) == 0 &&
         (path.size() == root.size() || path[root.size()] == '/');
}

/// The nearest folder on the way to a file that exists, resolved.
std::string RealFolderOf(std::string path) {
  while (true) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0) return RealPath(slash == 0 ? "/" : ".");
    path.resize(slash);
    if (IsFolder(path)) return RealPath(path);
  }
}

/// Temporaries that approvals of earlier versions left beside a standard file ("r.out.corvala4-Ab12Cd").
void RemoveOldTemporaries(const std::string& standard) {
  size_t slash = standard.find_last_of('/');
  std::string folder = standard.substr(0, slash), prefix = standard.substr(slash + 1) + ".corvala4-";
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name.compare(0, prefix.size(), prefix) == 0 && IsOwnTemporary(name))
      unlinkat(dirfd(dir), name.c_str(), 0);
  }
  closedir(dir);
}

bool IsLink(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

int64_t SizeOf(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

/// What replacing the standard file by the output changes: the sizes and the first line that
/// the comparison does not accept (else the first whose bytes differ: a tolerated one).
StandardChange ChangeOf(const std::string& name, const std::string& output, const std::string& standard,
                        const FileRule* rule) {
  StandardChange c;
  c.name = name;
  c.standard_size = SizeOf(standard);
  c.output_size = SizeOf(output);
  if (c.standard_size < 0) return c;
  try {
    LinePairs pairs(standard, output, rule);
    for (LinePair pair; pairs.Next(pair);) {
      if (pair.equal || (c.line > 0 && !pair.Differs())) continue;
      c.line = pair.number;
      c.standard_line = pair.standard.value_or("");
      c.output_line = pair.output.value_or("");
      c.tolerated = pair.tolerated;
      if (pair.Differs()) break;
    }
  } catch (const std::exception& e) {
    c.line = -1;
    c.standard_line = e.what();
  }
  return c;
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

namespace {

struct Planned {
  std::string name, output, standard;
  const FileRule* rule;
};

/// Checks one case and lists the files it would replace; refuses with the reason in `a`.
std::vector<Planned> Plan(TestCaseImpl& tc, const std::string& roots_std, const std::string& roots_work,
                          bool preview, Approval& a, BuildIdentity& build) {
  std::vector<Planned> files;
  std::string folder = tc.TestCaseFolder();
  auto refuse = [&](const std::string& why) {
    a.refused = true;
    a.message = why;
    return std::vector<Planned>{};
  };
  if (!IsFolder(folder))
    return refuse("its working folder '" + folder + "' does not exist: run the case first");
  std::optional<CalculationRecord> record = ReadCalculationRecord(folder);
  if (!record)
    return refuse("no calculation by `corvala4 run` is recorded in '" + folder + "': run the case first");
  // Cases may share a working folder: only this case's own calculation vouches for its outputs.
  if (record->caption != tc.Caption() || record->function != tc.FuncNumText())
    return refuse(
        "the last calculation in '" + folder + "' was " +
        (record->caption.empty() ? std::string("of another case") : "of the case '" + record->caption + "'") +
        ", not of this one: run the case first");
  if (!record->success) return refuse("its last calculation did not succeed (" + record->reason + ")");
  build = record->build;
  std::string missing, newer;
  timespec recorded = ModifiedAt(RecordFileOf(folder));
  for (const std::shared_ptr<OutputFile>& file : *tc.OutputFiles()) {
    if (!StaysInside(file->Name()))
      return refuse("the output '" + file->Name() + "' names a place outside the case's folders");
    std::string output = file->OutputPath(), standard = file->StandardPath();
    if (!IsFile(output)) {
      missing += (missing.empty() ? "" : ", ") + file->Name();
      continue;
    }
    // Read and written only inside the test data: a link leading out is never followed.
    std::string real = RealPath(output);
    if (!Within(real, roots_work) && !Within(real, roots_std))
      return refuse("the output '" + output + "' is a link that leads out of the test data (to '" + real +
                    "')");
    if (!Within(RealFolderOf(standard), roots_std))
      return refuse("the standard file '" + standard +
                    "' lies below a link that leads out of the standard directory");
    if (IsLink(standard) && !Within(RealPath(standard), roots_std) && !Within(RealPath(standard), roots_work))
      return refuse("the standard file '" + standard + "' is a link that leads out of the test data");
    if (!preview) RemoveOldTemporaries(standard);
    if (Later(ModifiedAt(real), recorded)) newer += (newer.empty() ? "" : ", ") + file->Name();
    files.push_back({file->Name(), real, standard, file->Rule()});
  }
  if (!missing.empty()) return refuse("its outputs are missing in '" + folder + "': " + missing);
  // Written after the recorded calculation (by a host's own run, or by hand): not its outputs.
  if (!newer.empty())
    return refuse("its outputs changed after its last calculation by `corvala4 run`: " + newer +
                  "; run the case first");
  return files;
}

}  // namespace

namespace {

/// Checks every case and gathers what approving them replaces and logs; nothing is written.
Approvals Collect(const std::vector<std::shared_ptr<TestCaseImpl>>& cases, const std::string& reason,
                  const std::string& standardDirectory, bool preview, std::vector<Replacement>& replacements,
                  std::string& log_text) {
  Approvals all;
  std::string roots_std = RealPath(standardDirectory), roots_work = RealPath(standardDirectory + "_make");
  std::string when = LocalTimeText(std::time(nullptr), "%Y-%m-%d %H:%M:%S %z");
  bool any_refused = false;
  for (const std::shared_ptr<TestCaseImpl>& tc : cases) {
    Approval a;
    a.caption = tc->Caption();
    BuildIdentity build;
    std::vector<Planned> files = Plan(*tc, roots_std, roots_work, preview, a, build);
    if (a.refused) {
      any_refused = true;
      all.cases.push_back(std::move(a));
      continue;
    }
    std::string joined;
    for (const Planned& f : files) {
      if (SameBytes(f.output, f.standard)) continue;
      replacements.push_back({f.output, f.standard});
      a.files.push_back(f.standard);
      if (preview) a.changes.push_back(ChangeOf(f.name, f.output, f.standard, f.rule));
      joined += (joined.empty() ? "" : ", ") + f.name;
    }
    if (a.files.empty()) {
      a.message = std::string("its outputs are the same as its standard files already; nothing ") +
                  (preview ? "would change" : "changed");
    } else {
      a.message = (preview ? "would approve " : "approved ") + joined;
      log_text += when + "\t" + Field(UserName()) + "\t" + Field(tc->Caption()) + " [" + Field(tc->Folder()) +
                  "]\t" + Field(joined) + "\t" + Field(reason) + "\t" + Field(IdentityText(build)) + "\n";
    }
    all.cases.push_back(std::move(a));
  }
  all.approved = !any_refused;
  return all;
}

/// Nothing is approved: a case refused on its own says why already; the others say `held`, and
/// the approval as a whole `why`.
Approvals& NoneApproved(Approvals& all, const std::string& why, const std::string& held) {
  all.approved = false;
  all.failure = why;
  for (Approval& a : all.cases) {
    a.files.clear();
    if (!a.refused) {
      a.refused = true;
      a.message = held;
    }
  }
  return all;
}

constexpr const char* kTogether =
    "the cases are approved together or not at all, and one of them was refused: none was";

}  // namespace

Approvals PreviewApproval(const std::vector<std::shared_ptr<TestCaseImpl>>& cases,
                          const std::string& standardDirectory) {
  std::vector<Replacement> replacements;
  std::string log_text;
  Approvals all = Collect(cases, "", standardDirectory, true, replacements, log_text);
  if (!all.approved)
    all.failure =
        "the cases are approved together or not at all: while one of them is refused, none would be";
  return all;
}

bool CalculationSucceeded(TestCaseImpl& tc) {
  std::string folder = tc.TestCaseFolder();
  if (!IsFolder(folder)) return false;
  std::optional<CalculationRecord> record = ReadCalculationRecord(folder);
  return record && record->success && record->caption == tc.Caption() && record->function == tc.FuncNumText();
}

Approvals ApproveCases(const std::vector<std::shared_ptr<TestCaseImpl>>& cases, const std::string& reason,
                       const std::string& standardDirectory, const std::function<bool()>& stop,
                       const std::string& logFolder) {
  std::vector<Replacement> replacements;
  std::string log_text;
  Approvals all = Collect(cases, reason, standardDirectory, false, replacements, log_text);
  if (!all.approved)
    return NoneApproved(all, kTogether, "its outputs could be approved, but another case was refused");
  if (replacements.empty()) return all;
  ReplaceResult done = ReplaceAll(standardDirectory, replacements,
                                  ApprovalLogOf(logFolder.empty() ? standardDirectory : logFolder), log_text,
                                  stop);
  if (!done.committed && done.error == "stopped")
    return NoneApproved(all, "stopped before any standard file was replaced", "stopped");
  if (!done.committed)
    return NoneApproved(all, done.error + "; no standard file was changed", "nothing was written");
  all.failure = done.error;
  return all;
}

}  // namespace corvala4::cli
