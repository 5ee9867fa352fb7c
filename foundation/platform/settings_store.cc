#include "foundation/platform/settings_store.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

#include "foundation/errors.h"
#include "foundation/platform/atomic_file.h"
#include "foundation/platform/log.h"
#include "foundation/platform/user_folders.h"
#include "foundation/text.h"

namespace corvala4 {

namespace {

/// Blanks around a line, a name or a value of the file.
constexpr std::string_view kBlanks = " \t";

// A name or value that the plain form cannot hold is written in double quotes with escapes.
bool NeedsQuotes(const std::string& s, bool isKey) {
  if (s.empty()) return false;
  if (s.front() == ' ' || s.front() == '\t' || s.back() == ' ' || s.back() == '\t' || s.front() == '"')
    return true;
  if (isKey && (s.front() == '[' || s.front() == ';' || s.front() == '#')) return true;
  for (char c : s)
    if (c == '\n' || c == '\r' || c == '\0' || (isKey && c == '=') || (isKey && c == ']')) return true;
  return false;
}

std::string Quote(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\0': out += "\\0"; break;
      default: out += c;
    }
  }
  return out + "\"";
}

std::string Encode(const std::string& s, bool isKey) { return NeedsQuotes(s, isKey) ? Quote(s) : s; }

/// Reads a quoted text starting at text[at] == '"'; at is moved past the closing quote.
std::optional<std::string> Unquote(const std::string& text, size_t& at) {
  return ReadQuoted(text, at, [](char n) {
    return std::string(1, n == 'n' ? '\n' : n == 'r' ? '\r' : n == '0' ? '\0' : n);
  });
}

/// One line of the file, understood as far as it can be.
struct IniLine {
  enum Kind { Other, Section, Entry } kind = Other;
  std::string name;   // section or key
  std::string value;  // entries only
};

IniLine ParseLine(const std::string& raw) {
  IniLine line;
  std::string text = raw;
  if (!text.empty() && text.back() == '\r') text.pop_back();
  std::string t = Trim(text, kBlanks);
  if (t.empty() || t[0] == ';' || t[0] == '#') return line;
  if (t[0] == '[') {
    if (t.back() != ']') return line;
    std::string inner = t.substr(1, t.size() - 2);
    if (!inner.empty() && inner[0] == '"') {
      size_t at = 0;
      std::optional<std::string> name = Unquote(inner, at);
      if (!name || at != inner.size()) return line;
      inner = *name;
    }
    line.kind = IniLine::Section;
    line.name = inner;
    return line;
  }
  size_t at = 0;
  std::string key;
  if (t[0] == '"') {
    std::optional<std::string> name = Unquote(t, at);
    if (!name) return line;
    key = *name;
    while (at < t.size() && (t[at] == ' ' || t[at] == '\t')) ++at;
    if (at >= t.size() || t[at] != '=') return line;
  } else {
    at = t.find('=');
    if (at == std::string::npos) return line;
    key = Trim(t.substr(0, at), kBlanks);
  }
  std::string value = Trim(t.substr(at + 1), kBlanks);
  if (!value.empty() && value[0] == '"') {
    size_t v = 0;
    std::optional<std::string> unquoted = Unquote(value, v);
    if (unquoted && v == value.size()) value = *unquoted;
  }
  line.kind = IniLine::Entry;
  line.name = key;
  line.value = value;
  return line;
}

std::vector<std::string> SplitLines(const std::string& content) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < content.size()) {
    size_t nl = content.find('\n', start);
    if (nl == std::string::npos) nl = content.size();
    lines.push_back(content.substr(start, nl - start));
    start = nl + 1;
  }
  return lines;
}

[[noreturn]] void RaiseStoreError(int errnum, const std::string& what, const std::string& path) {
  Raise(ErrnoNumber(errnum),
        "无法保存设置." + ErrDetailSep() + what + ": " + std::strerror(errnum) + "\r\n文件 " + path);
}

}  // namespace

std::string SettingsAppName() {
  std::string name = ModuleBaseName(ModuleFilePath());
  return name.empty() ? "corvala4" : name;
}

std::string SettingsFilePath(const std::string& appName) {
  // The name becomes a file name: no folder may be reached through it.
  std::string safe;
  for (char c : appName) safe += c == '/' ? '_' : c;
  if (safe.empty() || safe == "." || safe == "..") safe = "corvala4";
  return XdgFolder("XDG_CONFIG_HOME", ".config") + "/corvala4/" + safe + ".ini";
}

std::string GetSetting(const std::string& appName, const std::string& section, const std::string& key,
                       const std::string& defaultValue) {
  std::string content;
  if (ReadWholeFile(SettingsFilePath(appName), content) != 0) return defaultValue;
  bool inSection = false;
  std::optional<std::string> found;
  for (const std::string& raw : SplitLines(content)) {
    IniLine line = ParseLine(raw);
    if (line.kind == IniLine::Section) inSection = SameTextIgnoringCase(line.name, section);
    else if (line.kind == IniLine::Entry && inSection && SameTextIgnoringCase(line.name, key))
      found = line.value;
  }
  return found ? *found : defaultValue;
}

void SaveSetting(const std::string& appName, const std::string& section, const std::string& key,
                 const std::string& value) {
  std::string path = SettingsFilePath(appName);
  std::string content;
  int rc = ReadWholeFile(path, content);
  // A store that exists but cannot be read is never replaced: its other entries would be lost.
  if (rc != 0 && rc != ENOENT) RaiseStoreError(rc, "读取", path);

  std::vector<std::string> lines = SplitLines(content);
  // New lines follow the file's own line ends (each line here still holds its CR).
  std::string cr = !lines.empty() && !lines[0].empty() && lines[0].back() == '\r' ? "\r" : "";
  std::string entry = Encode(key, true) + "=" + Encode(value, false) + cr;
  // The last entry of the key wins on reading, so it is the one replaced; else the entry goes
  // after the last one of the section; else a new section at the end.
  long entryLine = -1, sectionEnd = -1;
  bool inSection = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    IniLine line = ParseLine(lines[i]);
    if (line.kind == IniLine::Section) {
      inSection = SameTextIgnoringCase(line.name, section);
      if (inSection) sectionEnd = static_cast<long>(i) + 1;
    } else if (inSection && line.kind == IniLine::Entry) {
      if (SameTextIgnoringCase(line.name, key)) entryLine = static_cast<long>(i);
      sectionEnd = static_cast<long>(i) + 1;
    }
  }
  if (entryLine >= 0) {
    lines[static_cast<size_t>(entryLine)] = entry;
  } else if (sectionEnd >= 0) {
    lines.insert(lines.begin() + sectionEnd, entry);
  } else {
    if (!lines.empty() && !Trim(lines.back(), kBlanks).empty() && lines.back() != "\r")
      lines.push_back(cr);
    lines.push_back("[" + Encode(section, true) + "]" + cr);
    lines.push_back(entry);
  }
  std::string out;
  for (const std::string& l : lines) out += l + "\n";

  std::string folder = path.substr(0, path.find_last_of('/'));
  if (int e = MakeFolders(folder); e != 0) RaiseStoreError(e, "创建文件夹", folder);
  if (int e = ReplaceFileAtomically(path, out, 0600); e != 0) RaiseStoreError(e, "写入", path);
}

}  // namespace corvala4
