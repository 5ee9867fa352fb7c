#include "foundation/text.h"

#include <locale.h>

#include <cwctype>

namespace corvala4 {

namespace {

/// The code point of the UTF-8 sequence at text[at] and its length; none for a byte that
/// starts no valid sequence (stray, overlong, surrogate or beyond U+10FFFF).
bool DecodeOne(std::string_view text, size_t at, char32_t& code, size_t& length) {
  unsigned char lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) {
    code = lead;
    length = 1;
    return true;
  }
  if (lead >= 0xC2 && lead <= 0xDF) length = 2, code = lead & 0x1F;
  else if (lead >= 0xE0 && lead <= 0xEF) length = 3, code = lead & 0x0F;
  else if (lead >= 0xF0 && lead <= 0xF4) length = 4, code = lead & 0x07;
  else return false;
  if (at + length > text.size()) return false;
  for (size_t i = 1; i < length; ++i) {
    unsigned char c = static_cast<unsigned char>(text[at + i]);
    if ((c & 0xC0) != 0x80) return false;
    code = code << 6 | (c & 0x3F);
  }
  static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  return code >= kSmallest[length] && code <= 0x10FFFF && (code < 0xD800 || code > 0xDFFF);
}

void Encode(char32_t code, std::string& out) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | code >> 6);
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | code >> 12);
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | code >> 18);
    out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
    out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

/// glibc's built-in C.UTF-8 carries the whole Unicode case table, whatever the host's locale.
locale_t UnicodeLocale() {
  static locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
  return locale;
}

}  // namespace

std::string UpperText(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  locale_t locale = UnicodeLocale();
  for (size_t at = 0; at < utf8.size();) {
    char32_t code;
    size_t length;
    if (!DecodeOne(utf8, at, code, length)) {
      out += utf8[at++];
      continue;
    }
    if (locale)
      code = static_cast<char32_t>(towupper_l(static_cast<wint_t>(code), locale));
    else if (code >= 'a' && code <= 'z')
      code -= 'a' - 'A';
    Encode(code, out);
    at += length;
  }
  return out;
}

std::string MarkupEscaped(std::string_view text, bool apostrophe) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += apostrophe ? "&#39;" : "'"; break;
      default: out += c;
    }
  }
  return out;
}

BracesFilled FillBraces(std::string_view text,
                        const std::function<std::optional<std::string>(const std::string&)>& value) {
  BracesFilled out;
  auto problem = [&out](BraceProblem p, std::string name = {}) {
    if (out.problem != BraceProblem::None) return;
    out.problem = p;
    out.name = std::move(name);
  };
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if ((c == '{' || c == '}') && i + 1 < text.size() && text[i + 1] == c) {
      out.text += c;
      ++i;
      continue;
    }
    if (c == '}') problem(BraceProblem::LoneClose);
    if (c != '{') {
      out.text += c;
      continue;
    }
    size_t close = text.find('}', i);
    if (close == std::string_view::npos) {
      problem(BraceProblem::Unclosed);
      out.text += c;
      continue;
    }
    std::string name(text.substr(i + 1, close - i - 1));
    std::optional<std::string> filled = value(name);
    if (!filled) {
      // Scanned on from the brace's next byte, as if it were a letter.
      problem(BraceProblem::Unknown, name);
      out.text += c;
      continue;
    }
    out.text += *filled;
    i = close;
  }
  return out;
}

}  // namespace corvala4
