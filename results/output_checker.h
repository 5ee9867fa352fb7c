// The program a comparison rule names to decide an output that the built-in comparison
// finds different: run without a shell in the case's working folder, bounded in time.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace corvala4 {

/// How long a checker may take before it is ended and the file counts as different.
inline constexpr int kCheckerSeconds = 60;

struct CheckerResult {
  bool same = false;       // it exited with 0
  std::string verdict;     // "exit status 1", "ended by signal 9", "more than 60 s", "cannot start: ..."
  std::string last_lines;  // the end of what it printed, standard output and error together
};

/// The placeholders a checker's words may hold, in the order the output fills them: the standard
/// file, the produced output, the case's standard and working folders, the output's declared name
/// and its stem, the project file and its stem.
inline constexpr const char* kCheckerPlaceholders[] = {
    "standard", "output", "standard_folder", "folder", "name", "stem", "project", "project_stem"};

/// Fills {name} placeholders of each word from `values`; "{{" and "}}" are braces. An unknown
/// placeholder stays as written, so that the checker sees what was meant.
std::vector<std::string> FillPlaceholders(const std::vector<std::string>& words,
                                          const std::map<std::string, std::string>& values);

/// Runs argv in `folder` with its own process group; after `seconds` the whole group is killed.
CheckerResult RunChecker(const std::vector<std::string>& argv, const std::string& folder,
                         int seconds = kCheckerSeconds);

}  // namespace corvala4
