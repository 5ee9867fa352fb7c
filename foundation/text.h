// Small text helpers. Names are compared and upper-cased by their ASCII letters only,
// so multi-byte characters (Chinese names) are never touched.
#pragma once

#include <string>
#include <string_view>

namespace corvala4 {

inline char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
inline char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

/// Equal but for the case of ASCII letters.
inline bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

inline std::string AsciiUpperText(std::string text) {
  for (char& c : text) c = AsciiUpper(c);
  return text;
}

}  // namespace corvala4
