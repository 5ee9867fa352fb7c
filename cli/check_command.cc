#include "cli/check_command.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "cli/host_session.h"
#include "cli/terminal.h"
#include "corvala4/error.h"
#include "engine/definition_paths.h"
#include "engine/definition_records.h"
#include "engine/tester_core.h"
#include "foundation/conversions.h"
#include "foundation/detailed_fso.h"
#include "foundation/errors.h"
#include "foundation/globals.h"
#include "foundation/platform/atomic_file.h"
#include "foundation/text.h"
#include "model/path_guard.h"
#include "results/compare_rules.h"
#include "results/output_checker.h"

namespace corvala4::cli {

namespace {

struct Problem {
  int line = 0;
  bool error = true;
  std::string text;
  std::string file;  // where it is, when not in the definition file
};

bool IsFolder(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsFile(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string Join(const std::string& folder, const std::string& name) {
  return folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name;
}

class Checker {
 public:
  Checker(bool xml, std::string standard) : xml_(xml), standard_(std::move(standard)) {}

  void Error(int line, const std::string& text) { problems.push_back({line, true, text, {}}); }
  void Warning(int line, const std::string& text) { problems.push_back({line, false, text, {}}); }

  /// A yes-or-no attribute: only a lower-case y means yes in the XML form; the TXT form takes Y too.
  void YesNo(int line, const std::string& what, const std::optional<std::string>& value, const char* yes,
             const char* no) {
    if (!value) return;
    if (*value == "y" || *value == "n" || (!xml_ && (*value == "Y" || *value == "N"))) return;
    if (xml_ && *value == "Y")
      Warning(line, what + " is \"Y\": it counts as " + no + ", since only a lower-case y means " + yes);
    else if (!xml_ && Trim(*value, " \t\r") != *value &&
             (Trim(*value, " \t\r") == "y" || Trim(*value, " \t\r") == "Y"))
      Warning(line, what + " is \"" + *value + "\" with blanks: it counts as " + no + "; write y alone");
    else
      Error(line, what + " is \"" + *value + "\": write y (" + yes + ") or n (" + no + ")");
  }

  /// A path of the definition must lie inside the test data, links included.
  bool Inside(int line, const std::string& what, const std::string& root, const std::string& relative) {
    if (!StaysInside(relative)) {
      Error(line,
            what + " '" + relative + "' lies outside the test data (absolute, or climbing out with ..)");
      return false;
    }
    try {
      RequireInside(root, relative, Join(root, relative), true);
    } catch (...) {
      Error(line, what + " '" + relative + "' leads out of the test data through a symbolic link");
      return false;
    }
    return true;
  }

  void Case(const RecordedCase& c) {
    static const std::pair<const char*, const char*> kAttributes[] = {{"名称", "caption"},
                                                                      {"目录", "folder"},
                                                                      {"工程文件", "project file"},
                                                                      {"必测", "mandatory"},
                                                                      {"功能代号", "function code"}};
    const std::optional<std::string>* values[] = {&c.caption, &c.folder, &c.project, &c.mandatory, &c.func};
    std::string name = c.caption ? "case '" + Trim(*c.caption, " \t\r\n") + "': " : "a case: ";
    std::string absent;
    for (size_t i = 0; i < 5; ++i)
      if (!*values[i]) absent += std::string(absent.empty() ? "" : ", ") + kAttributes[i].first;
    if (!absent.empty())
      Error(c.line, name +
                        (absent.find(',') != std::string::npos ? "the attributes " + absent + " are"
                                                               : "the attribute " + absent + " is") +
                        " absent; every 自测试算例 needs 名称, 目录, 工程文件, 必测 and 功能代号");
    YesNo(c.line, name + "必测", c.mandatory, "mandatory", "not mandatory");
    if (c.func) {
      if (!RoundToInteger(Val(*c.func), -32768, 32767))
        Error(c.line, name + "the function code '" + *c.func + "' does not fit from -32768 to 32767");
      else if (!TextToNumber(*c.func))
        Warning(c.line, name + "the function code '" + *c.func + "' is not a number; it reads as " +
                            std::to_string(*RoundToInteger(Val(*c.func), -32768, 32767)));
    }
    if (c.caption) {
      std::string caption = Trim(*c.caption, " \t\r\n");
      if (!captions_.insert(caption).second)
        Warning(c.line, name + "another case has this caption: --cases and approve choose both");
    }
    if (c.outputs.empty())
      Warning(c.line, name + "declares no output: it passes whenever its calculation succeeds");

    std::set<std::string> names;
    for (const RecordedOutput& o : c.outputs) {
      if (xml_ && !o.keep) Error(o.line, name + "the output '" + o.name + "' has no attribute 保留 (y or n)");
      YesNo(o.line, name + "保留 of '" + o.name + "'", o.keep, "kept", "not kept");
      if (o.name.empty())
        Error(o.line, name + "an output without a name");
      else if (!names.insert(o.name).second)
        Warning(o.line, name + "the output '" + o.name + "' is declared twice");
    }

    if (!c.folder || standard_.empty() || !IsFolder(standard_)) return;
    if (c.folder->empty()) {
      Error(c.line, name + "the case folder is empty");
      return;
    }
    if (!Inside(c.line, name + "the case folder", standard_, *c.folder)) return;
    std::string folder = Join(standard_, *c.folder);
    if (!IsFolder(folder)) {
      Error(c.line, name + "the case folder '" + folder + "' does not exist");
      return;
    }
    if (c.project && Inside(c.line, name + "the project file", folder, *c.project) &&
        !IsFile(Join(folder, *c.project)))
      Error(c.line,
            name + "the project file '" + *c.project + "' is not in the case folder '" + folder + "'");
    for (const RecordedOutput& o : c.outputs) {
      if (o.name.empty() || !Inside(o.line, name + "the output", folder, o.name)) continue;
      if (!IsFile(Join(folder, o.name)))
        Error(o.line, name + (o.keep && *o.keep == "y" ? "the kept file '" : "the standard file of '") +
                          o.name + "' is missing in '" + folder + "': the case can never pass");
    }
  }

  std::vector<Problem> problems;

 private:
  bool xml_;
  std::string standard_;
  std::set<std::string> captions_;
};

/// A name in braces that looks meant as a placeholder of the checker and is none: "{outptu}".
/// Other braces (an awk program's, a regular expression's) are the checker's own.
std::string UnknownCheckerPlaceholder(const std::string& word) {
  std::string found;
  FillBraces(word, [&found](const std::string& name) -> std::optional<std::string> {
    for (const char* k : kCheckerPlaceholders)
      if (name == k) return std::string();
    bool identifier = !name.empty() && !std::isdigit(static_cast<unsigned char>(name[0])) &&
                      std::all_of(name.begin(), name.end(), [](char c) {
                        return std::isalnum(static_cast<unsigned char>(c)) || c == '_';
                      });
    if (identifier && found.empty()) found = name;
    return std::nullopt;
  });
  return found;
}

std::string KnownCheckerPlaceholders() {
  std::string text;
  for (const char* k : kCheckerPlaceholders) text += (text.empty() ? "{" : " {") + std::string(k) + "}";
  return text;
}

/// The comparison rules of the standard directory, read as a run reads them: a mistake is an
/// error (a run would stop at it), a table that fits no declared output a warning.
std::vector<Problem> CheckRules(const std::string& standard, const std::vector<RecordedCase>& cases) {
  std::vector<Problem> problems;
  std::string path = Join(standard, kCompareRulesFile);
  std::shared_ptr<const CompareRules> rules;
  try {
    rules = CompareRules::LoadFor(standard);
  } catch (const Error& e) {
    // "比较规则文件有误: PATH:LINE: what": told as a problem at PATH:LINE.
    std::string text = e.Description();
    size_t at = text.find(path);
    Problem p{0, true, text, path};
    if (at != std::string::npos) {
      std::string rest = text.substr(at + path.size());
      if (rest.size() > 1 && rest[0] == ':' && std::isdigit(static_cast<unsigned char>(rest[1]))) {
        size_t end = rest.find(':', 1);
        p.line = std::atoi(rest.substr(1, end).c_str());
        rest = end == std::string::npos ? "" : rest.substr(end);
      }
      p.text = rest.rfind(": ", 0) == 0 ? rest.substr(2) : rest;
    }
    problems.push_back(p);
    return problems;
  }
  if (!rules) return problems;
  for (const FileRule& rule : rules->Files()) {
    for (const std::string& word : rule.check) {
      std::string unknown = UnknownCheckerPlaceholder(word);
      if (!unknown.empty())
        problems.push_back({rule.line, false,
                            rule.Name() + ": {" + unknown + "} in check is not a placeholder (known: " +
                                KnownCheckerPlaceholders() + "); the checker gets it as written",
                            path});
    }
    bool used = false;
    for (const RecordedCase& c : cases)
      for (const RecordedOutput& o : c.outputs)
        used = used || (c.folder && rules->Find(Trim(*c.folder, " \t\r\n"), o.name) == &rule);
    if (!used)
      problems.push_back({rule.line, false,
                          rule.Name() + " fits no declared output (an earlier table may take them): every "
                                        "file it names is compared exactly",
                          path});
  }
  return problems;
}

}  // namespace

int CheckCommand(const std::string& host, bool color, std::FILE* out) {
  HostSession session(host, HostSession::Open::ContextOnly);
  TesterCore& core = session.Core();
  std::string file = core.DefinitionFile();
  if (!FSO().FileExists(file)) {
    std::string xml = file.substr(0, file.size() - 3) + "XML";
    throw CommandError(2, "no definition file beside the host: looked for '" + xml + "' and '" + file +
                              "'; `corvala4 init` writes one");
  }
  bool xml = core.IsXmlDefinition();
  DefinitionRecords records;
  if (xml) {
    records = ReadXmlRecords(file);
  } else {
    std::string text;
    if (int e = ReadWholeFile(file, text))
      throw CommandError(2, "cannot read '" + file + "': " + std::strerror(e));
    records = ReadTxtRecords(text);
  }

  std::string standard;
  Checker check(xml, "");
  if (!records.problem.empty()) {
    check.Error(records.problem_line, "cannot be read: " + records.problem);
  } else {
    if (xml && FSO().FileExists(file.substr(0, file.size() - 3) + "TXT"))
      check.Warning(0, "a TXT definition file lies beside it too: it is not read while this one is there");
    if (!records.directory) {
      check.Error(
          0,
          xml ? "no standard directory: the document needs <自测试配置><自测试标准目录>DIR</自测试标准目录>"
              : "no standard-directory line (DIR;description) before the cases");
    } else {
      standard = ResolveStandardFolder(core, *records.directory);
      if (!xml && !records.cases.empty() && records.cases.front().line == records.directory_line)
        check.Error(records.directory_line,
                    "no standard-directory line (DIR;description) before the cases: this "
                    "record is taken for it");
      if (records.directory_count > 1)
        check.Warning(records.directory_line, "several standard directories: only the first is used");
      if (!IsFolder(standard))
        check.Error(records.directory_line, "the standard directory '" + standard + "' does not exist");
    }
    if (records.cases.empty()) check.Error(0, "no case: a run would have nothing to test");
  }
  Checker cases(xml, standard);
  for (const RecordedCase& c : records.cases) cases.Case(c);
  std::vector<Problem> problems = check.problems;
  problems.insert(problems.end(), cases.problems.begin(), cases.problems.end());
  std::stable_sort(problems.begin(), problems.end(),
                   [](const Problem& a, const Problem& b) { return a.line < b.line; });
  if (!standard.empty() && IsFolder(standard)) {
    std::vector<Problem> rules = CheckRules(standard, records.cases);
    problems.insert(problems.end(), rules.begin(), rules.end());
  }

  int errors = 0, warnings = 0;
  for (const Problem& p : problems) {
    (p.error ? errors : warnings)++;
    std::string where =
        (p.file.empty() ? file : p.file) + (p.line > 0 ? ":" + std::to_string(p.line) : "") + ": ";
    std::fprintf(out, "%s%s %s\n", where.c_str(),
                 p.error ? Paint("error:", kRed, color).c_str() : Paint("warning:", kYellow, color).c_str(),
                 p.text.c_str());
  }
  auto count = [](int n, const char* what) { return std::to_string(n) + " " + what + (n == 1 ? "" : "s"); };
  if (problems.empty())
    std::fprintf(out, "%s: %s, no problem found\n", file.c_str(),
                 count(static_cast<int>(records.cases.size()), "case").c_str());
  else
    std::fprintf(out, "%s: %s, %s, %s\n", file.c_str(),
                 count(static_cast<int>(records.cases.size()), "case").c_str(),
                 count(errors, "error").c_str(), count(warnings, "warning").c_str());
  return errors ? 2 : warnings ? 1 : 0;
}

Command SetUpCheckCommand(CLI::App& app, ProgramOptions& program) {
  auto host = std::make_shared<std::string>();
  CLI::App* sub = app.add_subcommand(
      "check", "reads the definition file as a run would and reports every problem at once, with its line");
  sub->add_option("HOST", *host, kHostHelp)->type_name("")->required();
  sub->footer(
      "Exit status: 0 no problem, 1 warnings only, 2 errors (a run would fail or judge wrongly), bad usage, "
      "or no definition file.");
  AddDefinitionOption(sub, program);
  return {sub, [host, &program] { return CheckCommand(*host, UseColor(program.Color(), stdout), stdout); }};
}

}  // namespace corvala4::cli
