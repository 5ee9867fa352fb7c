#include "foundation/conversions.h"

#include <locale.h>
#include <stdlib.h>

#include <cmath>

#include "foundation/errors.h"
#include "foundation/text.h"

namespace corvala4 {

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

/// The digit's value in the base, or -1 when it is none.
int DigitValue(char c, int base) {
  int d = IsDigit(c)               ? c - '0'
          : (c >= 'a' && c <= 'f') ? c - 'a' + 10
          : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                   : 99;
  return d < base ? d : -1;
}

/// The "C" locale, so that strtod reads a point as the decimal point under any process locale.
locale_t PlainLocale() {
  static locale_t plain = newlocale(LC_ALL_MASK, "C", nullptr);
  return plain;
}

NumberScan ScanRadix(std::string_view s, int base) {
  NumberScan scan;
  uint64_t value = 0;
  size_t i = 2;
  for (; i < s.size() && DigitValue(s[i], base) >= 0; ++i) {
    value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(DigitValue(s[i], base));
    if (value > 0xFFFFFFFFu) Raise(err::Overflow);
  }
  if (i == 2) return scan;
  scan.value = value <= 0xFFFFu ? static_cast<int16_t>(static_cast<uint16_t>(value))
                                : static_cast<int32_t>(static_cast<uint32_t>(value));
  scan.length = i;
  return scan;
}

}  // namespace

NumberScan ScanNumber(std::string_view s) {
  auto at = [&](size_t k) { return k < s.size() ? s[k] : '\0'; };
  if (at(0) == '&') {
    char kind = at(1);
    if (kind == 'h' || kind == 'H') return ScanRadix(s, 16);
    if (kind == 'o' || kind == 'O') return ScanRadix(s, 8);
    return {};
  }
  size_t i = 0;
  size_t digits = 0;
  if (at(i) == '+' || at(i) == '-') ++i;
  for (; IsDigit(at(i)); ++i) ++digits;
  if (at(i) == '.') {
    for (++i; IsDigit(at(i)); ++i) ++digits;
  }
  if (digits == 0) return {};
  std::string number(s.substr(0, i));
  if (at(i) == 'e' || at(i) == 'E' || at(i) == 'd' || at(i) == 'D') {
    size_t j = i + 1;
    if (at(j) == '+' || at(j) == '-') ++j;
    size_t end = j;
    while (IsDigit(at(end))) ++end;
    if (end > j) {
      number += 'e';
      number += s.substr(i + 1, end - i - 1);
      i = end;
    }
  }
  return {strtod_l(number.c_str(), nullptr, PlainLocale()), i};
}

double Val(std::string_view text) {
  std::string s;
  for (char c : text)
    if (c != ' ' && c != '\t' && c != '\n') s += c;
  return ScanNumber(s).value;
}

std::optional<double> TextToNumber(std::string_view text) {
  std::string t = Trim(text, " \t");
  NumberScan scan = ScanNumber(t);
  if (scan.length == 0 || scan.length != t.size()) return std::nullopt;
  return scan.value;
}

std::optional<int64_t> RoundToInteger(double value, int64_t lowest, int64_t highest) {
  // nearbyint rounds halves to even in the default rounding mode.
  double rounded = std::nearbyint(value);
  if (!(rounded >= static_cast<double>(lowest) && rounded <= static_cast<double>(highest)))
    return std::nullopt;
  return static_cast<int64_t>(rounded);
}

int32_t TextToLong(const std::string& text) {
  std::optional<double> number = TextToNumber(text);
  if (!number) RaiseDetailed(err::TypeMismatch, "不是数字: '" + text + "'");
  std::optional<int64_t> whole = RoundToInteger(*number, INT32_MIN, INT32_MAX);
  if (!whole) RaiseDetailed(err::Overflow, "超出 32 位整数的范围: '" + text + "'");
  return static_cast<int32_t>(*whole);
}

bool TextToBool(const std::string& text) {
  std::string t = Trim(text, " \t");
  if (SameTextIgnoringCase(t, "true")) return true;
  if (SameTextIgnoringCase(t, "false")) return false;
  std::optional<double> number = TextToNumber(t);
  if (!number) RaiseDetailed(err::TypeMismatch, "不是逻辑值: '" + text + "'");
  return *number != 0;
}

}  // namespace corvala4
