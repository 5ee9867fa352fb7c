// The comparison rules of a standard directory (corvala4-compare.toml): which declared
// outputs are compared within a numeric tolerance, which of their lines are volatile, which
// program decides a file that still differs, and what in a calculation's output means it failed.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "foundation/windows_api.h"
#include "results/number_fields.h"

namespace re2 {
class RE2;
}

namespace corvala4 {

/// The name of the rules file in the standard directory.
inline constexpr const char* kCompareRulesFile = "corvala4-compare.toml";

/// A pattern as written and compiled.
struct RulePattern {
  std::string text;
  std::shared_ptr<const re2::RE2> re;
  bool Matches(std::string_view line) const;
};

/// One [[files]] table.
struct FileRule {
  int index = 0;                   // from 1, in the file's order
  int line = 0;                    // where the table starts in the file
  std::vector<std::string> match;  // globs on the output's declared name
  std::vector<std::string> cases;  // globs on the case folder's name; empty: every case
  std::vector<RulePattern> ignore;
  std::optional<NumberTolerance> numbers;
  std::vector<std::string> check;  // the checker's argv with placeholders; empty: none

  /// "[[files]] #2 (match *.dat, line 7)": how the reports name the rule.
  std::string Name() const;
  /// What it does, in a few words: "ignore 1 pattern, numbers relative 1e-05 absolute 1e-12, check".
  std::string Summary() const;
};

class CORVALA4_WINDOWS_API CompareRules {
 public:
  /// Reads a rules file; fails with an Error whose description names the file, the line and
  /// the key of the first mistake (unknown key, wrong type, bad pattern, negative bound).
  static std::shared_ptr<const CompareRules> Load(const std::string& path);
  /// The rules file of a standard directory, or none when it has none.
  static std::shared_ptr<const CompareRules> LoadFor(const std::string& standardFolder);

  /// The first rule whose globs fit the output's name and the case's folder, or none.
  const FileRule* Find(const std::string& caseFolder, const std::string& outputName) const;

  const std::string& Path() const { return path_; }
  const std::vector<FileRule>& Files() const { return files_; }
  const std::vector<RulePattern>& FailWhenOutputMatches() const { return fail_when_; }
  /// The first line of `text` that one of the failure patterns matches, or none.
  std::optional<std::string> FailureLine(std::string_view text) const;

 private:
  std::string path_;
  std::vector<FileRule> files_;
  std::vector<RulePattern> fail_when_;
};

/// The text of a number for the reports: "3.1e-06", "0".
std::string ShortNumber(double value);

}  // namespace corvala4
