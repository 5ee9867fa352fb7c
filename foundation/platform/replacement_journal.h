// New standard files put in place all together or not at all, with the line of the
// approval log that says so. A journal in the standard directory tells the next process
// that takes the run lock what a killed one left: temporaries to remove, or (once the
// log line is written) renames to finish.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace corvala4 {

struct Replacement {
  std::string source;  // the file whose copy becomes the target
  std::string target;
};

/// Replaces every target by a copy of its source and appends `logText` to `logFile`, as one
/// transaction: every copy is written to a temporary beside its target and made durable, then
/// the log text is appended and made durable, then each temporary is renamed over its target.
/// `stop` is asked between files while copying; when it answers true, or anything fails before
/// the log is written, the temporaries are removed and nothing has changed. The caller holds
/// the run lock of `journalFolder`.
struct ReplaceResult {
  bool committed = false;  // the log text is written: the replacement stands
  std::string error;       // why nothing changed, or ("stopped"), or what is left for the next lock
};
ReplaceResult ReplaceAll(const std::string& journalFolder, const std::vector<Replacement>& files,
                         const std::string& logFile, const std::string& logText,
                         const std::function<bool()>& stop = {});

/// Finishes (its log text was written) or undoes (it was not) a replacement that a process
/// ended in the middle of; what it did, "" when nothing was left.
std::string RecoverReplacement(const std::string& journalFolder);

/// The journal's file in a folder.
std::string ReplacementJournalOf(const std::string& journalFolder);

/// A name this system gives its own temporaries: never test data, never copied.
bool IsOwnTemporary(std::string_view name);

}  // namespace corvala4
