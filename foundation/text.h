// Small text helpers. Names are compared ignoring the case of ASCII letters only, so
// multi-byte characters (Chinese names) are never touched.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace corvala4 {

inline char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
inline char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

/// A byte that continues a UTF-8 sequence: no place to cut a text.
inline bool Utf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

/// Equal but for the case of ASCII letters.
inline bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

/// The text without the blanks at either end (spaces unless others are named).
inline std::string Trim(std::string_view text, std::string_view blanks = " ") {
  size_t first = text.find_first_not_of(blanks);
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(blanks) - first + 1));
}

/// Reads a text in double quotes that starts at text[at]; at is moved past the closing quote.
/// A backslash escapes the character after it, which `unescape` turns into the text it stands
/// for. None when the closing quote is missing.
template <typename Unescape>
std::optional<std::string> ReadQuoted(std::string_view text, size_t& at, Unescape unescape) {
  std::string out;
  for (size_t i = at + 1; i < text.size(); ++i) {
    char c = text[i];
    if (c == '"') {
      at = i + 1;
      return out;
    }
    if (c == '\\' && i + 1 < text.size())
      out += unescape(text[++i]);
    else
      out += c;
  }
  return std::nullopt;
}

/// Every letter of a UTF-8 text in upper case by Unicode's simple mapping (é → É, ａ → Ａ);
/// bytes that are not UTF-8 stay as they are.
std::string UpperText(std::string_view utf8);

/// Text for XML or HTML: &, <, > and " written as entities, and ' too unless `apostrophe`
/// is false (a file whose attribute values are all in double quotes keeps it as it is).
std::string MarkupEscaped(std::string_view text, bool apostrophe = true);

/// The first thing that kept a {name} placeholder from being filled.
enum class BraceProblem { None, LoneClose, Unclosed, Unknown };

struct BracesFilled {
  std::string text;
  BraceProblem problem = BraceProblem::None;
  std::string name;  // of the first unknown placeholder
};

/// Fills the {name} placeholders of `text` with `value(name)`; "{{" and "}}" are braces. What
/// cannot be filled (a name `value` does not know, an unclosed '{', a lone '}') stays as written,
/// and the first such problem is told: a strict caller refuses it, a lenient one passes it on.
BracesFilled FillBraces(std::string_view text,
                        const std::function<std::optional<std::string>(const std::string&)>& value);

}  // namespace corvala4
