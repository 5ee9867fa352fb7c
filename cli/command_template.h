// The calculation command of `corvala4 run`: split into words as a shell splits them
// (quotes, backslashes), each word's placeholders filled per case; never run through a shell.
#pragma once

#include <string>
#include <vector>

namespace corvala4::cli {

/// What a case fills into the placeholders {host}, {project}, {func}, {folder}, {caption}, and
/// {stem} or {project_stem}: the project file's name without its folder and last extension, the
/// job name that many solvers take instead of a file.
struct CaseValues {
  std::string host;     // the host executable, absolute
  std::string project;  // the project file in the working folder
  std::string func;     // the function code, in decimal
  std::string folder;   // the working folder
  std::string caption;  // the case's name
};

/// A file's name without its folder and its last extension ("beam01" of ".../beam01.prj").
std::string FileStem(const std::string& path);

class CommandTemplate {
 public:
  /// The host's own calculation command line.
  static constexpr const char* kDefault = "{host} {project} {func}";

  /// Fails with std::invalid_argument saying what is wrong: no word, an open quote,
  /// an unknown or unclosed placeholder ("{{" and "}}" stand for braces).
  explicit CommandTemplate(const std::string& text);

  /// The program and its arguments for one case. A relative program path with a slash is
  /// taken from the current folder, since the command runs in the working folder.
  std::vector<std::string> Expand(const CaseValues& values) const;

 private:
  std::vector<std::string> words_;
};

}  // namespace corvala4::cli
