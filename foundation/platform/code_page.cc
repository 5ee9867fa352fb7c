#include "foundation/platform/code_page.h"

#include <errno.h>
#include <iconv.h>
#include <langinfo.h>
#include <stdlib.h>
#include <strings.h>

#include <algorithm>

namespace corvala4 {

namespace {

/// A locale without a real codeset means UTF-8 here, as does an unknown name.
bool MeansUtf8(const std::string& name) {
  static const char* const kPlain[] = {"", "ANSI_X3.4-1968", "ASCII", "US-ASCII", "C", "POSIX"};
  for (const char* plain : kPlain)
    if (strcasecmp(name.c_str(), plain) == 0) return true;
  return false;
}

/// Owns one iconv descriptor; an unknown codeset falls back to UTF-8 so that a bad
/// setting degrades to plain text instead of failing every file operation.
class Converter {
 public:
  Converter(const std::string& from, const std::string& to) {
    cd_ = iconv_open(to.c_str(), from.c_str());
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      cd_ = iconv_open(Known(to).c_str(), Known(from).c_str());
    }
  }
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  iconv_t get() const { return cd_; }

 private:
  static std::string Known(const std::string& name) {
    iconv_t probe = iconv_open("UTF-8", name.c_str());
    if (probe == reinterpret_cast<iconv_t>(-1)) return "UTF-8";
    iconv_close(probe);
    return name;
  }
  iconv_t cd_;
};

/// Runs one conversion over the whole input. A sequence that does not decode or
/// cannot be encoded is replaced by `replacement` and skipped (`skip` says how far).
template <typename Skip>
std::string Run(iconv_t cd, std::string_view input, const std::string& replacement, Skip skip) {
  if (cd == reinterpret_cast<iconv_t>(-1)) return std::string(input);
  std::string out(input.size() * 2 + 16, '\0');
  char* in = const_cast<char*>(input.data());
  size_t in_left = input.size();
  size_t used = 0;
  auto grow = [&](size_t need) {
    if (out.size() - used < need) out.resize(std::max(out.size() * 2, used + need));
  };
  auto convert = [&](char** src, size_t* srcLeft) {
    char* dst = out.data() + used;
    size_t dst_left = out.size() - used;
    size_t rc = iconv(cd, src, srcLeft, &dst, &dst_left);
    int error = rc == static_cast<size_t>(-1) ? errno : 0;
    used = dst - out.data();
    return error;
  };
  while (in_left > 0) {
    int error = convert(&in, &in_left);
    if (error == 0) continue;
    if (error == E2BIG) {
      grow(in_left * 2 + 16);
      continue;
    }
    grow(replacement.size());
    out.replace(used, replacement.size(), replacement);
    used += replacement.size();
    // An incomplete sequence at the end, or anything unexpected, ends the text.
    size_t n = error == EILSEQ ? std::min(in_left, skip(in, in_left)) : in_left;
    in += n;
    in_left -= n;
  }
  // Return the target codeset to its initial shift state.
  while (convert(nullptr, nullptr) == E2BIG) grow(64);
  out.resize(used);
  return out;
}

/// Length of the UTF-8 sequence that starts at p (input already valid UTF-8).
size_t Utf8Length(const char* p, size_t left) {
  unsigned char c = static_cast<unsigned char>(*p);
  size_t n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
  return std::min(n, left);
}

bool IsUtf8(const std::string& name);

/// The length of the well-formed UTF-8 character at p (no overlong form, no surrogate, nothing
/// above U+10FFFF), 0 when there is none.
size_t CharLength(const unsigned char* p, const unsigned char* end) {
  if (*p < 0x80) return 1;
  size_t n;
  unsigned char lo = 0x80, hi = 0xBF;
  if (*p >= 0xC2 && *p <= 0xDF) {
    n = 1;
  } else if (*p >= 0xE0 && *p <= 0xEF) {
    n = 2;
    if (*p == 0xE0) lo = 0xA0;
    if (*p == 0xED) hi = 0x9F;
  } else if (*p >= 0xF0 && *p <= 0xF4) {
    n = 3;
    if (*p == 0xF0) lo = 0x90;
    if (*p == 0xF4) hi = 0x8F;
  } else {
    return 0;
  }
  if (static_cast<size_t>(end - p) <= n) return 0;
  if (p[1] < lo || p[1] > hi) return 0;
  for (size_t i = 2; i <= n; ++i)
    if (p[i] < 0x80 || p[i] > 0xBF) return 0;
  return n + 1;
}

/// Strict UTF-8 check.
bool ValidUtf8(std::string_view s) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(s.data());
  const unsigned char* end = p + s.size();
  while (p < end) {
    size_t n = CharLength(p, end);
    if (n == 0) return false;
    p += n;
  }
  return true;
}

/// Any codeset to valid UTF-8: undecodable bytes become U+FFFD.
std::string DecodeToUtf8(std::string_view bytes, const std::string& from) {
  // Text already in valid UTF-8 needs no conversion, only a copy.
  if (IsUtf8(from) && ValidUtf8(bytes)) return std::string(bytes);
  Converter cv(from, "UTF-8");
  // A multi-byte unit (UTF-16, UTF-32) that does not decode is skipped as a whole.
  size_t unit = 1;
  if (strncasecmp(from.c_str(), "UTF-16", 6) == 0 || strncasecmp(from.c_str(), "UCS-2", 5) == 0) unit = 2;
  if (strncasecmp(from.c_str(), "UTF-32", 6) == 0 || strncasecmp(from.c_str(), "UCS-4", 5) == 0) unit = 4;
  // glibc lets ill-formed UTF-8 through from UTF-8 (F4 90 80 80, beyond U+10FFFF).
  return ScalarValuesOnly(Run(cv.get(), bytes, "\xEF\xBF\xBD", [unit](const char*, size_t) { return unit; }));
}

/// Valid UTF-8 to any codeset: characters the target cannot hold become "?".
std::string EncodeFromUtf8(std::string_view utf8, const std::string& to) {
  Converter question_cv("UTF-8", to);
  std::string question = Run(question_cv.get(), "?", "", [](const char*, size_t left) { return left; });
  if (question.empty()) question = "?";
  Converter cv("UTF-8", to);
  return Run(cv.get(), utf8, question, Utf8Length);
}

bool IsUtf8(const std::string& name) {
  return strcasecmp(name.c_str(), "UTF-8") == 0 || strcasecmp(name.c_str(), "UTF8") == 0;
}

}  // namespace

std::string ScalarValuesOnly(std::string_view text) {
  if (ValidUtf8(text)) return std::string(text);
  std::string out;
  out.reserve(text.size() + 8);
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text.data());
  const unsigned char* end = p + text.size();
  while (p < end) {
    size_t n = CharLength(p, end);
    if (n > 0) {
      out.append(reinterpret_cast<const char*>(p), n);
      p += n;
      continue;
    }
    out += "\xEF\xBF\xBD";
    // The lead byte and the continuation bytes after it make one bad character.
    ++p;
    while (p < end && (*p & 0xC0) == 0x80) ++p;
  }
  return out;
}

std::string CodePageName() {
  const char* forced = getenv("CORVALA4_CODEPAGE");
  std::string name = forced && *forced ? forced : nl_langinfo(CODESET);
  return MeansUtf8(name) ? "UTF-8" : name;
}

bool CodePageIsUtf8() {
  return IsUtf8(CodePageName());
}

std::string ToCodePage(std::string_view utf8) { return ConvertText(utf8, "UTF-8", CodePageName()); }

std::string FromCodePage(std::string_view bytes) { return ConvertText(bytes, CodePageName(), "UTF-8"); }

std::string FromCodePageOwned(std::string&& bytes) {
  if (IsUtf8(CodePageName()) && ValidUtf8(bytes)) return std::move(bytes);
  return FromCodePage(std::string_view(bytes));
}

std::string ConvertText(std::string_view bytes, const std::string& from, const std::string& to) {
  // Through UTF-8, so that a bad input byte (U+FFFD) and a character the target
  // lacks ("?") are told apart.
  std::string utf8 = DecodeToUtf8(bytes, from);
  if (IsUtf8(to)) return utf8;
  return EncodeFromUtf8(utf8, to);
}

}  // namespace corvala4
