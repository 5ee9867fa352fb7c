#include "foundation/platform/replacement_journal.h"

#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <optional>

#include "foundation/platform/atomic_file.h"
#include "foundation/platform/descriptor.h"

namespace corvala4 {

namespace {

constexpr std::string_view kTempSuffix = ".corvala4-new";
constexpr std::string_view kMagic = "corvala4 replacement 1\n";

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

/// A rename or an unlink lasts only once its folder is written out.
void SyncFolder(const std::string& folder) {
  Fd fd(open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() >= 0) fsync(fd.get());
}

std::string Error(const std::string& what, const std::string& path, int e) {
  return what + " '" + path + "': " + strerror(e);
}

/// The journal: what was to be replaced, and, once the copies are durable, the log text and
/// the log's size before it. Fields are length-prefixed, so any path fits.
struct Journal {
  std::vector<std::pair<std::string, std::string>> files;  // temporary, target
  bool committing = false;
  std::string log;
  long long log_size = 0;
  std::string text;
};

void Put(std::string& out, const std::string& field) {
  out += std::to_string(field.size()) + ":" + field + "\n";
}

std::string Encode(const Journal& j) {
  std::string out(kMagic);
  Put(out, std::to_string(j.files.size()));
  for (const auto& [temp, target] : j.files) {
    Put(out, temp);
    Put(out, target);
  }
  Put(out, j.committing ? "commit" : "prepare");
  if (j.committing) {
    Put(out, j.log);
    Put(out, std::to_string(j.log_size));
    Put(out, j.text);
  }
  Put(out, "end");
  return out;
}

std::optional<std::string> Take(const std::string& in, size_t& pos) {
  size_t colon = in.find(':', pos);
  if (colon == std::string::npos || colon == pos) return std::nullopt;
  size_t len = 0;
  for (size_t i = pos; i < colon; ++i) {
    if (in[i] < '0' || in[i] > '9') return std::nullopt;
    len = len * 10 + static_cast<size_t>(in[i] - '0');
    if (len > in.size()) return std::nullopt;
  }
  if (colon + 1 + len + 1 > in.size() || in[colon + 1 + len] != '\n') return std::nullopt;
  pos = colon + 1 + len + 1;
  return in.substr(colon + 1, len);
}

/// The journal, or none when it was cut short (nothing of it had begun).
std::optional<Journal> Decode(const std::string& in) {
  if (in.compare(0, kMagic.size(), kMagic) != 0) return std::nullopt;
  size_t pos = kMagic.size();
  Journal j;
  auto count = Take(in, pos);
  if (!count) return std::nullopt;
  size_t n = std::strtoull(count->c_str(), nullptr, 10);
  for (size_t i = 0; i < n; ++i) {
    auto temp = Take(in, pos), target = Take(in, pos);
    if (!temp || !target) return std::nullopt;
    j.files.emplace_back(*temp, *target);
  }
  auto phase = Take(in, pos);
  if (!phase) return std::nullopt;
  j.committing = *phase == "commit";
  if (j.committing) {
    auto log = Take(in, pos), size = Take(in, pos), text = Take(in, pos);
    if (!log || !size || !text) return std::nullopt;
    j.log = *log;
    j.log_size = std::strtoll(size->c_str(), nullptr, 10);
    j.text = *text;
  }
  auto end = Take(in, pos);
  if (!end || *end != "end") return std::nullopt;
  return j;
}

/// Written under a temporary's name that recovery knows and removes if the writer is killed.
int WriteJournal(const std::string& folder, const Journal& j) {
  std::string path = ReplacementJournalOf(folder);
  int e = ReplaceFileThrough(path + std::string(kTempSuffix), path, Encode(j), 0644);
  if (e == 0) SyncFolder(folder);
  return e;
}

void RemoveJournal(const std::string& folder) {
  unlink(ReplacementJournalOf(folder).c_str());
  SyncFolder(folder);
}

/// Copies src to a new file `temp`, written out to the disk; 0 or an errno.
int CopyDurably(const std::string& src, const std::string& temp, const std::string& target) {
  Fd in(OpenRegularFile(AT_FDCWD, src.c_str()));
  if (in.get() < 0) return errno;
  // A temporary left by a killed copy, or a link put in its place, goes first.
  if (unlink(temp.c_str()) != 0 && errno != ENOENT) return errno;
  struct stat st {};
  mode_t mode = lstat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? (st.st_mode & 0777) : 0644;
  Fd out(open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
  if (out.get() < 0) return errno;
  fchmod(out.get(), mode);
  std::vector<char> buf(1 << 20);
  while (true) {
    ssize_t n = read(in.get(), buf.data(), buf.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) break;
    for (ssize_t done = 0; done < n;) {
      ssize_t w = write(out.get(), buf.data() + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) return errno;
      done += w;
    }
  }
  if (fsync(out.get()) != 0) return errno;
  if (close(out.release()) != 0) return errno;
  return 0;
}

void RemoveTemporaries(const Journal& j) {
  for (const auto& [temp, target] : j.files) unlink(temp.c_str());
  for (const auto& [temp, target] : j.files) SyncFolder(FolderOf(temp));
}

long long SizeOf(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : 0;
}

/// Renames every temporary that is still there over its target.
std::string PutInPlace(const Journal& j) {
  std::string error;
  for (const auto& [temp, target] : j.files)
    if (rename(temp.c_str(), target.c_str()) != 0 && errno != ENOENT && error.empty())
      error = Error("cannot replace", target, errno);
  for (const auto& [temp, target] : j.files) SyncFolder(FolderOf(target));
  return error;
}

}  // namespace

std::string ReplacementJournalOf(const std::string& journalFolder) {
  return journalFolder + "/.corvala4-journal";
}

bool IsOwnTemporary(std::string_view name) {
  auto ends = [&](std::string_view s) {
    return name.size() >= s.size() && name.compare(name.size() - s.size(), s.size(), s) == 0;
  };
  if (ends(kTempSuffix) || ends(".corvala4-journal") || ends(".corvala4-lock")) return true;
  // Earlier approvals' temporaries ("forces.out.corvala4-AbC123") and the copies of a
  // folder copy that did not finish (".corvala4-123-4.tmp").
  size_t at = name.rfind(".corvala4-");
  if (at == std::string_view::npos) return false;
  std::string_view rest = name.substr(at + 10);
  if (rest.size() == 6) {
    for (char c : rest)
      if (!isalnum(static_cast<unsigned char>(c))) return false;
    return true;
  }
  return at == 0 && ends(".tmp");
}

ReplaceResult ReplaceAll(const std::string& journalFolder, const std::vector<Replacement>& files,
                         const std::string& logFile, const std::string& logText,
                         const std::function<bool()>& stop) {
  Journal j;
  for (const Replacement& r : files) j.files.emplace_back(r.target + std::string(kTempSuffix), r.target);
  // Known before any temporary exists, so that none is ever left unaccounted for.
  if (int e = WriteJournal(journalFolder, j); e != 0)
    return {false, Error("cannot write the journal", ReplacementJournalOf(journalFolder), e)};
  auto undo = [&](const std::string& why) {
    RemoveTemporaries(j);
    RemoveJournal(journalFolder);
    return ReplaceResult{false, why};
  };
  for (size_t i = 0; i < files.size(); ++i) {
    if (stop && stop()) return undo("stopped");
    if (int e = MakeFolders(FolderOf(files[i].target)); e != 0)
      return undo(Error("cannot make the folder of", files[i].target, e));
    if (int e = CopyDurably(files[i].source, j.files[i].first, files[i].target); e != 0)
      return undo(Error("cannot copy", files[i].source, e) + " to '" + j.files[i].first + "'");
  }
  if (stop && stop()) return undo("stopped");

  Fd log(open(logFile.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
  struct stat st {};
  if (log.get() < 0 || fstat(log.get(), &st) != 0 || !S_ISREG(st.st_mode))
    return undo(Error("cannot append to the approval log", logFile, log.get() < 0 ? errno : EINVAL));
  j.committing = true;
  j.log = logFile;
  j.log_size = st.st_size;
  j.text = logText;
  if (int e = WriteJournal(journalFolder, j); e != 0)
    return undo(Error("cannot write the journal", ReplacementJournalOf(journalFolder), e));
  // One write: a log line is never torn by a concurrent reader's view, and a short one is undone.
  ssize_t n = write(log.get(), logText.data(), logText.size());
  int e = n < 0 ? errno : 0;
  if (n == static_cast<ssize_t>(logText.size()) && fsync(log.get()) != 0) e = errno;
  if (n != static_cast<ssize_t>(logText.size()) || e != 0) {
    if (ftruncate(log.get(), st.st_size) == 0) fsync(log.get());
    return undo(Error("cannot append to the approval log", logFile, e ? e : ENOSPC));
  }
  log = Fd();
  std::string error = PutInPlace(j);
  // What could not be renamed stays in the journal, for the next one that takes the lock.
  if (!error.empty()) return {true, error + "; the next run or approval finishes it"};
  RemoveJournal(journalFolder);
  return {true, ""};
}

std::string RecoverReplacement(const std::string& journalFolder) {
  std::string path = ReplacementJournalOf(journalFolder);
  // A journal whose writing was cut short: the one in place (if any) still tells what holds.
  unlink((path + std::string(kTempSuffix)).c_str());
  std::string content;
  if (ReadWholeFile(path, content) != 0) return "";
  std::optional<Journal> j = Decode(content);
  if (!j) {
    // Cut short while it was first written: no temporary had been made.
    RemoveJournal(journalFolder);
    return "removed the journal of an approval that never began";
  }
  bool logged = false;
  if (j->committing) {
    std::string tail;
    Fd log(open(j->log.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    tail.resize(j->text.size());
    if (log.get() >= 0 && j->log_size >= 0 &&
        pread(log.get(), tail.data(), tail.size(), static_cast<off_t>(j->log_size)) ==
            static_cast<ssize_t>(tail.size()) &&
        tail == j->text)
      logged = true;
    else if (SizeOf(j->log) > j->log_size)
        // A torn log line: the approval did not happen.
        [[maybe_unused]]
      int ignored = truncate(j->log.c_str(), j->log_size);
  }
  std::string what;
  if (logged) {
    std::string error = PutInPlace(*j);
    what = "finished an approval that was interrupted after its log line";
    if (!error.empty()) what += "; but " + error;
  } else {
    RemoveTemporaries(*j);
    what = "undid an approval that was interrupted before its log line (its temporaries removed)";
  }
  RemoveJournal(journalFolder);
  return what;
}

}  // namespace corvala4
