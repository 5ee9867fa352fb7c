#include "results/compare_rules.h"

#include <fnmatch.h>
#include <re2/re2.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include <toml++/toml.h>
#include <cmath>
#include <cstdio>

#include "foundation/errors.h"

namespace corvala4 {

namespace {

/// A mistake in the rules file, at a line and key.
[[noreturn]] void Mistake(const std::string& path, int64_t line, const std::string& key,
                          const std::string& what) {
  std::string where = path + (line > 0 ? ":" + std::to_string(line) : "");
  throw Error(err::InvalidProcedureCall, kModuleSource,
              "比较规则文件有误: " + where + ": " + (key.empty() ? "" : "key '" + key + "': ") + what);
}

int64_t LineOf(const toml::node& node) {
  return static_cast<int64_t>(node.source().begin.line);
}

/// A text or an array of texts.
std::vector<std::string> Texts(const std::string& path, const std::string& key, const toml::node& node) {
  std::vector<std::string> out;
  if (auto s = node.value<std::string>()) {
    out.push_back(*s);
    return out;
  }
  const toml::array* array = node.as_array();
  if (!array) Mistake(path, LineOf(node), key, "must be a text or a list of texts");
  for (const toml::node& item : *array) {
    auto s = item.value<std::string>();
    if (!s) Mistake(path, LineOf(item), key, "every item must be a text");
    out.push_back(*s);
  }
  return out;
}

std::vector<RulePattern> Patterns(const std::string& path, const std::string& key, const toml::node& node) {
  std::vector<RulePattern> out;
  for (const std::string& text : Texts(path, key, node)) {
    RE2::Options options;
    options.set_log_errors(false);
    auto re = std::make_shared<RE2>(text, options);
    if (!re->ok()) Mistake(path, LineOf(node), key, "bad pattern '" + text + "': " + re->error());
    out.push_back(RulePattern{text, std::move(re)});
  }
  return out;
}

double Bound(const std::string& path, const std::string& key, const toml::node& node) {
  std::optional<double> value;
  if (auto i = node.value_exact<int64_t>()) value = static_cast<double>(*i);
  if (auto d = node.value_exact<double>()) value = *d;
  if (!value) Mistake(path, LineOf(node), key, "must be a number");
  if (std::isnan(*value) || *value < 0) Mistake(path, LineOf(node), key, "must not be negative");
  return *value;
}

NumberTolerance Tolerance(const std::string& path, const toml::node& node) {
  const toml::table* table = node.as_table();
  if (!table) Mistake(path, LineOf(node), "numbers", "must be a table such as { relative = 1e-5 }");
  NumberTolerance t;
  for (auto&& [key, value] : *table) {
    std::string name(key.str());
    if (name == "relative")
      t.relative = Bound(path, "numbers." + name, value);
    else if (name == "absolute")
      t.absolute = Bound(path, "numbers." + name, value);
    else
      Mistake(path, LineOf(value), "numbers." + name, "unknown key (known: relative, absolute)");
  }
  return t;
}

FileRule ReadFileRule(const std::string& path, const toml::table& table, int index) {
  FileRule rule;
  rule.index = index;
  rule.line = static_cast<int>(table.source().begin.line);
  for (auto&& [key, value] : table) {
    std::string name(key.str());
    if (name == "match")
      rule.match = Texts(path, name, value);
    else if (name == "cases")
      rule.cases = Texts(path, name, value);
    else if (name == "ignore")
      rule.ignore = Patterns(path, name, value);
    else if (name == "numbers")
      rule.numbers = Tolerance(path, value);
    else if (name == "check")
      rule.check = Texts(path, name, value);
    else
      Mistake(path, LineOf(value), name,
              "unknown key in [[files]] (known: match, cases, ignore, numbers, check)");
  }
  if (rule.match.empty()) Mistake(path, rule.line, "match", "every [[files]] table needs a match");
  for (const std::string& glob : rule.match)
    if (glob.empty()) Mistake(path, rule.line, "match", "an empty glob matches nothing");
  if (table.contains("check") && rule.check.empty()) Mistake(path, rule.line, "check", "names no program");
  return rule;
}

bool AnyGlob(const std::vector<std::string>& globs, const std::string& name) {
  for (const std::string& glob : globs)
    if (fnmatch(glob.c_str(), name.c_str(), 0) == 0) return true;
  return false;
}

}  // namespace

bool RulePattern::Matches(std::string_view line) const {
  return RE2::PartialMatch(line, *re);
}

std::string ShortNumber(double value) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2g", value);
  return buf;
}

std::string FileRule::Name() const {
  std::string globs;
  for (const std::string& g : match) globs += (globs.empty() ? "" : ", ") + g;
  return "[[files]] #" + std::to_string(index) + " (match " + globs + ", line " + std::to_string(line) + ")";
}

std::string FileRule::Summary() const {
  std::string s;
  auto add = [&](const std::string& part) { s += (s.empty() ? "" : ", ") + part; };
  if (!ignore.empty())
    add("ignore " + std::to_string(ignore.size()) + (ignore.size() == 1 ? " pattern" : " patterns"));
  if (numbers)
    add("numbers relative " + ShortNumber(numbers->relative) + " absolute " + ShortNumber(numbers->absolute));
  if (!check.empty()) add("check " + check.front());
  return s.empty() ? "lines compared one by one, date lines tolerated" : s;
}

std::shared_ptr<const CompareRules> CompareRules::Load(const std::string& path) {
  toml::table root;
  try {
    root = toml::parse_file(path);
  } catch (const toml::parse_error& e) {
    Mistake(path, static_cast<int64_t>(e.source().begin.line), "", std::string(e.description()));
  }
  auto rules = std::make_shared<CompareRules>();
  rules->path_ = path;
  for (auto&& [key, value] : root) {
    std::string name(key.str());
    if (name == "files") {
      const toml::array* tables = value.as_array();
      if (!tables) Mistake(path, LineOf(value), name, "must be written as [[files]] tables");
      int index = 0;
      for (const toml::node& item : *tables) {
        const toml::table* table = item.as_table();
        if (!table) Mistake(path, LineOf(item), name, "must be written as [[files]] tables");
        rules->files_.push_back(ReadFileRule(path, *table, ++index));
      }
    } else if (name == "calculation") {
      const toml::table* table = value.as_table();
      if (!table) Mistake(path, LineOf(value), name, "must be a [calculation] table");
      for (auto&& [k, v] : *table) {
        std::string sub(k.str());
        if (sub != "fail_when_output_matches")
          Mistake(path, LineOf(v), "calculation." + sub, "unknown key (known: fail_when_output_matches)");
        rules->fail_when_ = Patterns(path, "calculation." + sub, v);
      }
    } else {
      Mistake(path, LineOf(value), name, "unknown key (known: [[files]], [calculation])");
    }
  }
  return rules;
}

std::shared_ptr<const CompareRules> CompareRules::LoadFor(const std::string& standardFolder) {
  if (standardFolder.empty()) return nullptr;
  std::string path = standardFolder + "/" + kCompareRulesFile;
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) {
    if (errno == ENOENT) return nullptr;
    Mistake(path, 0, "", std::string("cannot be read: ") + strerror(errno));
  }
  if (!S_ISREG(st.st_mode)) Mistake(path, 0, "", "is not a regular file");
  return Load(path);
}

const FileRule* CompareRules::Find(const std::string& caseFolder, const std::string& outputName) const {
  for (const FileRule& rule : files_) {
    if (!AnyGlob(rule.match, outputName)) continue;
    if (!rule.cases.empty() && !AnyGlob(rule.cases, caseFolder)) continue;
    return &rule;
  }
  return nullptr;
}

std::optional<std::string> CompareRules::FailureLine(std::string_view text) const {
  if (fail_when_.empty()) return std::nullopt;
  while (!text.empty()) {
    size_t end = text.find_first_of("\r\n");
    std::string_view line = text.substr(0, end);
    for (const RulePattern& p : fail_when_)
      if (p.Matches(line)) return std::string(line);
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return std::nullopt;
}

}  // namespace corvala4
