#include "foundation/platform/registry_file.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "foundation/platform/atomic_file.h"
#include "foundation/platform/code_page.h"
#include "foundation/text.h"

namespace corvala4 {

namespace {

/// Blanks around a line, a name or a value of the file.
constexpr std::string_view kBlanks = " \t\r\n";

std::string Escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

/// Reads a quoted text at text[at] == '"'; at is moved past the closing quote. Only \\ and \"
/// are escapes; any other backslash stays, so a path typed with single backslashes still reads.
std::optional<std::string> Unquote(const std::string& text, size_t& at) {
  return ReadQuoted(text, at, [](char n) {
    return n == '\\' || n == '"' ? std::string(1, n) : std::string("\\") + n;
  });
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<uint32_t> ParseHexNumber(const std::string& s, size_t maxDigits) {
  if (s.empty() || s.size() > maxDigits) return std::nullopt;
  uint32_t v = 0;
  for (char c : s) {
    int d = HexDigit(c);
    if (d < 0) return std::nullopt;
    v = v * 16 + static_cast<uint32_t>(d);
  }
  return v;
}

std::optional<std::string> ParseHexBytes(const std::string& list) {
  std::string compact;
  for (char c : list)
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n' && c != '\\') compact += c;
  std::string bytes;
  size_t start = 0;
  while (start < compact.size()) {
    size_t comma = compact.find(',', start);
    if (comma == std::string::npos) comma = compact.size();
    std::optional<uint32_t> b = ParseHexNumber(compact.substr(start, comma - start), 2);
    if (!b) return std::nullopt;
    bytes += static_cast<char>(*b);
    start = comma + 1;
  }
  return bytes;
}

/// The data after "=": a quoted text, dword:, hex: or hex(n):; none when it makes no sense.
std::optional<RegistryData> ParseData(const std::string& text) {
  RegistryData data;
  if (!text.empty() && text[0] == '"') {
    size_t at = 0;
    std::optional<std::string> s = Unquote(text, at);
    if (!s) return std::nullopt;
    std::string rest = Trim(text.substr(at), kBlanks);
    if (!rest.empty() && rest[0] != ';') return std::nullopt;
    data.Type = REG_SZ;
    data.Bytes = ToCodePage(*s) + '\0';
    return data;
  }
  if (text.compare(0, 6, "dword:") == 0) {
    std::optional<uint32_t> v = ParseHexNumber(Trim(text.substr(6), kBlanks), 8);
    if (!v) return std::nullopt;
    data.Type = REG_DWORD;
    for (int i = 0; i < 4; ++i) data.Bytes += static_cast<char>((*v >> (8 * i)) & 0xFF);
    return data;
  }
  size_t colon = text.find(':');
  if (colon == std::string::npos) return std::nullopt;
  std::string kind = text.substr(0, colon);
  if (kind == "hex") {
    data.Type = REG_BINARY;
  } else if (kind.size() > 5 && kind.compare(0, 4, "hex(") == 0 && kind.back() == ')') {
    std::optional<uint32_t> type = ParseHexNumber(kind.substr(4, kind.size() - 5), 8);
    if (!type) return std::nullopt;
    data.Type = *type;
  } else {
    return std::nullopt;
  }
  std::optional<std::string> bytes = ParseHexBytes(text.substr(colon + 1));
  if (!bytes) return std::nullopt;
  data.Bytes = *bytes;
  return data;
}

bool EndsInBackslash(const std::string& line) {
  std::string t = Trim(line, kBlanks);
  return !t.empty() && t.back() == '\\';
}

/// A value line whose hex data goes on in the next line.
bool Continues(const std::string& text) {
  if (!EndsInBackslash(text)) return false;
  size_t eq = text.find("=hex");
  return eq != std::string::npos && text.find('"', eq) == std::string::npos;
}

/// A line that can go on hex data: hex digits, commas and blanks, maybe a closing backslash.
bool HexOnly(const std::string& line) {
  std::string t = Trim(line, kBlanks);
  if (t.empty()) return false;
  for (char c : t)
    if (HexDigit(c) < 0 && c != ',' && c != ' ' && c != '\t' && c != '\\') return false;
  return true;
}

/// A REG_SZ that the quoted form can carry unchanged.
bool PlainText(const RegistryData& data, std::string& text) {
  const std::string& b = data.Bytes;
  if (data.Type != REG_SZ || b.empty() || b.back() != '\0') return false;
  std::string core = b.substr(0, b.size() - 1);
  if (core.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) return false;
  text = FromCodePage(core);
  return ToCodePage(text) == core;
}

}  // namespace

std::string RegistryFolder() {
  const char* dir = std::getenv("CORVALA4_REGISTRY_DIR");
  return dir && *dir ? dir : "/etc/corvala4/registry";
}

std::string RegistryRootName(uint32_t root) {
  switch (root) {
    case 0x80000000u: return "HKEY_CLASSES_ROOT";
    case 0x80000001u: return "HKEY_CURRENT_USER";
    case 0x80000002u: return "HKEY_LOCAL_MACHINE";
    case 0x80000003u: return "HKEY_USERS";
    case 0x80000005u: return "HKEY_CURRENT_CONFIG";
    default: return {};
  }
}

std::string RegistryFilePath(uint32_t root) {
  std::string name = RegistryRootName(root);
  return name.empty() ? std::string() : RegistryFolder() + "/" + name + ".reg";
}

RegistryDocument::RegistryDocument(std::string rootName, std::string bytes) : root_(std::move(rootName)) {
  Parse(bytes);
}

void RegistryDocument::Parse(const std::string& bytes) {
  size_t firstEnd = bytes.find('\n');
  if (firstEnd != std::string::npos && firstEnd > 0 && bytes[firstEnd - 1] == '\r') eol_ = "\r\n";
  std::vector<std::string> physical;
  for (size_t start = 0; start < bytes.size();) {
    size_t nl = bytes.find('\n', start);
    size_t end = nl == std::string::npos ? bytes.size() : nl + 1;
    physical.push_back(bytes.substr(start, end - start));
    start = end;
  }
  for (size_t i = 0; i < physical.size(); ++i) {
    std::string raw = physical[i];
    // Only the line just joined can end the value: a hex line holds no quote, so the rest
    // of the rule still holds for what came before, and nothing is looked at twice.
    bool more = Continues(FromCodePage(raw));
    while (more && i + 1 < physical.size() && HexOnly(physical[i + 1])) {
      raw += physical[++i];
      more = EndsInBackslash(physical[i]);
    }
    lines_.push_back(Interpret(std::move(raw)));
  }
}

RegistryDocument::Line RegistryDocument::Interpret(std::string raw) const {
  Line line;
  std::string text = FromCodePage(raw);
  line.raw = std::move(raw);
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  text = Trim(text, kBlanks);
  if (text.empty() || text[0] == ';') return line;
  if (text[0] == '[') {
    if (text.back() != ']') return line;
    std::string path = Trim(text.substr(1, text.size() - 2), kBlanks);
    line.kind = Line::Key;
    size_t slash = path.find('\\');
    std::string rootPart = path.substr(0, slash);
    line.ours = SameTextIgnoringCase(rootPart, root_);
    line.name = slash == std::string::npos ? std::string() : path.substr(slash + 1);
    return line;
  }
  std::string name;
  size_t at = 0;
  if (text[0] == '@') {
    at = 1;
  } else if (text[0] == '"') {
    std::optional<std::string> n = Unquote(text, at);
    if (!n) return line;
    name = *n;
  } else {
    return line;
  }
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  if (at >= text.size() || text[at] != '=') return line;
  std::optional<RegistryData> data = ParseData(Trim(text.substr(at + 1), kBlanks));
  if (!data) return line;
  line.kind = Line::Value;
  line.name = name;
  line.data = *data;
  return line;
}

std::optional<RegistryData> RegistryDocument::Find(const std::string& keyName,
                                                   const std::string& valueName) const {
  std::optional<RegistryData> found;
  bool inKey = false;
  for (const Line& line : lines_) {
    if (line.kind == Line::Key) inKey = line.ours && SameTextIgnoringCase(line.name, keyName);
    else if (line.kind == Line::Value && inKey && SameTextIgnoringCase(line.name, valueName))
      found = line.data;
  }
  return found;
}

std::string RegistryDocument::ValueLine(const std::string& valueName, const RegistryData& data,
                                        const std::string& eol) {
  std::string line = valueName.empty() ? "@=" : "\"" + Escape(valueName) + "\"=";
  std::string text;
  if (PlainText(data, text)) return line + "\"" + Escape(text) + "\"";
  if (data.Type == REG_DWORD && data.Bytes.size() == 4) {
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v * 256 + static_cast<unsigned char>(data.Bytes[static_cast<size_t>(i)]);
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08x", v);
    return line + "dword:" + buf;
  }
  char kind[24];
  if (data.Type == REG_BINARY) std::snprintf(kind, sizeof kind, "hex:");
  else std::snprintf(kind, sizeof kind, "hex(%x):", data.Type);
  line += kind;
  for (size_t i = 0; i < data.Bytes.size(); ++i) {
    char b[4];
    std::snprintf(b, sizeof b, "%02x", static_cast<unsigned char>(data.Bytes[i]));
    line += b;
    if (i + 1 < data.Bytes.size()) {
      line += ',';
      if ((i + 1) % 24 == 0) line += "\\" + eol + "  ";
    }
  }
  return line;
}

bool RegistryDocument::Set(const std::string& keyName, const std::string& valueName,
                           const RegistryData& data) {
  // The format has no escape for a line break in a name.
  for (const std::string* name : {&keyName, &valueName})
    if (name->find_first_of("\r\n") != std::string::npos) return false;
  Line line;
  line.kind = Line::Value;
  line.name = valueName;
  line.data = data;
  line.raw = ToCodePage(ValueLine(valueName, data, eol_)) + eol_;

  long valueAt = -1, sectionEnd = -1;
  bool inKey = false;
  for (size_t i = 0; i < lines_.size(); ++i) {
    const Line& l = lines_[i];
    if (l.kind == Line::Key) {
      inKey = l.ours && SameTextIgnoringCase(l.name, keyName);
      if (inKey) sectionEnd = static_cast<long>(i);
    } else if (l.kind == Line::Value && inKey) {
      if (SameTextIgnoringCase(l.name, valueName)) valueAt = static_cast<long>(i);
      sectionEnd = static_cast<long>(i);
    }
  }
  auto terminate = [&](Line& l) {
    if (l.raw.empty() || l.raw.back() != '\n') l.raw += eol_;
  };
  if (valueAt >= 0) {
    lines_[static_cast<size_t>(valueAt)] = std::move(line);
    return true;
  }
  if (sectionEnd >= 0) {
    terminate(lines_[static_cast<size_t>(sectionEnd)]);
    lines_.insert(lines_.begin() + sectionEnd + 1, std::move(line));
    return true;
  }
  if (lines_.empty()) {
    lines_.push_back(Interpret("REGEDIT4" + eol_));
  } else {
    terminate(lines_.back());
  }
  if (!Trim(FromCodePage(lines_.back().raw), kBlanks).empty()) lines_.push_back(Interpret(eol_));
  std::string path = keyName.empty() ? root_ : root_ + "\\" + keyName;
  lines_.push_back(Interpret(ToCodePage("[" + path + "]") + eol_));
  lines_.push_back(std::move(line));
  return true;
}

std::string RegistryDocument::Bytes() const {
  std::string out;
  for (const Line& l : lines_) out += l.raw;
  return out;
}

std::optional<RegistryData> ReadRegistryValue(uint32_t root, const std::string& keyName,
                                              const std::string& valueName) {
  std::string path = RegistryFilePath(root);
  if (path.empty()) return std::nullopt;
  std::string bytes;
  if (ReadWholeFile(path, bytes) != 0) return std::nullopt;
  return RegistryDocument(RegistryRootName(root), bytes).Find(keyName, valueName);
}

int WriteRegistryValue(uint32_t root, const std::string& keyName, const std::string& valueName,
                       const RegistryData& data) {
  std::string path = RegistryFilePath(root);
  if (path.empty()) return EINVAL;
  std::string bytes;
  int rc = ReadWholeFile(path, bytes);
  // A file that exists but cannot be read is left alone: rewriting it would lose its entries.
  if (rc != 0 && rc != ENOENT) return rc;
  RegistryDocument doc(RegistryRootName(root), bytes);
  if (!doc.Set(keyName, valueName, data)) return EINVAL;
  if (int e = MakeFolders(RegistryFolder()); e != 0) return e;
  return ReplaceFileAtomically(path, doc.Bytes(), 0644);
}

}  // namespace corvala4
