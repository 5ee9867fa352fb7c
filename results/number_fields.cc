#include "results/number_fields.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace corvala4 {

namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsAlpha(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsSpace(char c) {
  return c == ' ' || c == '\t';
}
/// A character that glues a number to what stands before or after it.
bool IsWordChar(char c) {
  return IsDigit(c) || IsAlpha(c) || c == '_' || c == '.';
}

char Lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

/// The word (nan, inf, infinity) at p, case-insensitive, followed by no letter or digit.
size_t SpecialWord(std::string_view s, size_t p) {
  for (std::string_view word :
       {std::string_view("infinity"), std::string_view("inf"), std::string_view("nan")}) {
    if (s.size() - p < word.size()) continue;
    bool same = true;
    for (size_t i = 0; i < word.size() && same; ++i) same = Lower(s[p + i]) == word[i];
    if (!same) continue;
    size_t end = p + word.size();
    if (end < s.size() && (IsDigit(s[end]) || IsAlpha(s[end]) || s[end] == '_')) continue;
    return word.size();
  }
  return 0;
}

constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                              1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

/// The value of a decimal number written with digits, an optional point and an exponent of
/// any of the forms; exact when the digits and the power of ten are exact doubles.
double DecimalValue(std::string_view text) {
  size_t i = 0;
  bool negative = false;
  if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
  uint64_t mantissa = 0;
  int digits = 0;  // significant digits taken into mantissa
  int scale = 0;   // power of ten the mantissa is to be multiplied by
  bool exact = true;
  bool point = false;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c == '.') {
      point = true;
      continue;
    }
    if (!IsDigit(c)) break;
    if (mantissa == 0 && c == '0') {
      if (point) --scale;
      continue;
    }
    if (digits < 19) {
      mantissa = mantissa * 10 + static_cast<uint64_t>(c - '0');
      ++digits;
      if (point) --scale;
    } else {
      exact = false;
      if (!point) ++scale;
    }
  }
  int exponent = 0;
  if (i < text.size()) {
    if (IsAlpha(text[i])) ++i;
    bool minus = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) minus = text[i++] == '-';
    for (; i < text.size(); ++i) {
      exponent = exponent * 10 + (text[i] - '0');
      if (exponent > 100000) exponent = 100000;
    }
    if (minus) exponent = -exponent;
  }
  scale += exponent;
  double value;
  if (mantissa == 0) {
    value = 0;
  } else if (exact && mantissa <= (uint64_t{1} << 53) && scale >= -22 && scale <= 22) {
    double m = static_cast<double>(mantissa);
    value = scale >= 0 ? m * kPowers[scale] : m / kPowers[-scale];
  } else {
    // The rare long or far number: the library rounds it correctly.
    std::string normal;
    normal.reserve(text.size() + 2);
    size_t j = (text[0] == '+' || text[0] == '-') ? 1 : 0;
    for (; j < text.size() && (IsDigit(text[j]) || text[j] == '.'); ++j) normal += text[j];
    if (j < text.size()) {
      normal += 'e';
      if (IsAlpha(text[j])) ++j;
      normal.append(text.substr(j));
    }
    value = 0;
    auto [end, ec] = std::from_chars(normal.data(), normal.data() + normal.size(), value);
    if (ec == std::errc::result_out_of_range)
      value = scale > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    (void)end;
  }
  return negative ? -value : value;
}

/// Length of the number at p (0: none), its value in value.
size_t ScanNumber(std::string_view s, size_t p, double& value) {
  size_t i = p;
  bool negative = false;
  if (s[i] == '+' || s[i] == '-') {
    negative = s[i] == '-';
    ++i;
    if (i == s.size()) return 0;
  }
  if (size_t w = SpecialWord(s, i)) {
    value = Lower(s[i]) == 'n' ? std::numeric_limits<double>::quiet_NaN()
                               : (negative ? -1 : 1) * std::numeric_limits<double>::infinity();
    return i + w - p;
  }
  size_t digits = 0;
  bool point = false;
  while (i < s.size() && (IsDigit(s[i]) || (s[i] == '.' && !point))) {
    if (s[i] == '.')
      point = true;
    else
      ++digits;
    ++i;
  }
  if (digits == 0) return 0;
  // An exponent: with a letter, or Fortran's sign and digits right after a point number.
  if (i < s.size()) {
    size_t e = i;
    char c = s[e];
    bool letter = c == 'E' || c == 'e' || c == 'D' || c == 'd';
    if (letter) ++e;
    if (letter || (point && (c == '+' || c == '-'))) {
      bool sign = e < s.size() && (s[e] == '+' || s[e] == '-');
      if (sign) ++e;
      size_t start = e;
      while (e < s.size() && IsDigit(s[e])) ++e;
      bool glued = e < s.size() && IsWordChar(s[e]);
      if (e > start && (letter ? true : (sign && !glued && e - start <= 3))) i = e;
    }
  }
  value = DecimalValue(s.substr(p, i - p));
  return i - p;
}

/// Equal texts, where runs of blanks are equal whatever their lengths; a text beside a
/// number has its blanks on that side left out, as a wider number takes them.
bool SameText(std::string_view a, std::string_view b, bool afterNumber, bool beforeNumber) {
  auto trim = [&](std::string_view& s) {
    if (afterNumber)
      while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    if (beforeNumber)
      while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  };
  trim(a);
  trim(b);
  if (a == b) return true;
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (IsSpace(a[i]) && IsSpace(b[j])) {
      while (i < a.size() && IsSpace(a[i])) ++i;
      while (j < b.size() && IsSpace(b[j])) ++j;
      continue;
    }
    if (a[i] != b[j]) return false;
    ++i;
    ++j;
  }
  return i == a.size() && j == b.size();
}

std::string Shown(std::string_view s) {
  return std::string(s.substr(0, 200));
}

}  // namespace

void SplitNumbers(std::string_view line, LineFields& out) {
  out.texts.clear();
  out.numbers.clear();
  size_t text_start = 0;
  size_t i = 0;
  while (i < line.size()) {
    char c = line[i];
    bool candidate = IsDigit(c) || c == '.' || c == '+' || c == '-' || c == 'n' || c == 'N' || c == 'i' ||
                     c == 'I';
    if (candidate && (i == 0 || !IsWordChar(line[i - 1]))) {
      double value = 0;
      if (size_t n = ScanNumber(line, i, value)) {
        out.texts.push_back(line.substr(text_start, i - text_start));
        out.numbers.push_back(NumberField{line.substr(i, n), value, i});
        i += n;
        text_start = i;
        continue;
      }
    }
    ++i;
  }
  out.texts.push_back(line.substr(text_start));
}

bool WithinTolerance(double a, double b, const NumberTolerance& tolerance) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  if (std::isinf(a) || std::isinf(b)) return a == b;
  if (a == b) return true;
  double d = std::fabs(a - b);
  return d <= tolerance.absolute || d <= tolerance.relative * std::fmax(std::fabs(a), std::fabs(b));
}

double RelativeDifference(double a, double b) {
  double m = std::fmax(std::fabs(a), std::fabs(b));
  if (m == 0 || a == b) return 0;
  return std::fabs(a - b) / m;
}

NumbersVerdict CompareNumbers(std::string_view standard, std::string_view output,
                              const NumberTolerance& tolerance, LineFields& a, LineFields& b) {
  NumbersVerdict v;
  SplitNumbers(standard, a);
  SplitNumbers(output, b);
  if (a.numbers.size() != b.numbers.size()) {
    v.problem = "count of numbers differs (" + std::to_string(a.numbers.size()) + " against " +
                std::to_string(b.numbers.size()) + ")";
    return v;
  }
  size_t n = a.numbers.size();
  for (size_t k = 0; k <= n; ++k) {
    if (!SameText(a.texts[k], b.texts[k], k > 0, k < n)) {
      v.problem = "text differs: '" + Shown(a.texts[k]) + "' against '" + Shown(b.texts[k]) + "'";
      return v;
    }
  }
  for (size_t k = 0; k < n; ++k) {
    const NumberField& x = a.numbers[k];
    const NumberField& y = b.numbers[k];
    if (x.text == y.text) continue;
    if (!WithinTolerance(x.value, y.value, tolerance)) {
      v.failed_field = static_cast<int>(k + 1);
      v.standard_value = std::string(x.text);
      v.output_value = std::string(y.text);
      return v;
    }
    if (std::isnan(x.value) || std::isinf(x.value)) continue;
    double abs = std::fabs(x.value - y.value);
    // A pair within the absolute bound (a numerical zero) says nothing of the relative one.
    double rel = abs <= tolerance.absolute ? 0 : RelativeDifference(x.value, y.value);
    if (v.field == 0 || rel > v.max_relative) {
      v.max_relative = std::fmax(v.max_relative, rel);
      v.field = static_cast<int>(k + 1);
    }
    if (abs > v.max_absolute) v.max_absolute = abs;
  }
  v.match = true;
  return v;
}

}  // namespace corvala4
