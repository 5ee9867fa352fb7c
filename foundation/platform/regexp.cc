#include "foundation/platform/regexp.h"

#include <re2/re2.h>

#include <cctype>
#include <cstdio>

#include "foundation/errors.h"

namespace corvala4 {

namespace {

// The scripting engine's line terminators, for ".", and for "^" and "$" in multi-line mode.
constexpr const char* kAnyButTerminator = "[^\\n\\r\\x{2028}\\x{2029}]";
constexpr const char* kLineStart = "(?:\\A|[\\n\\r\\x{2028}\\x{2029}])";
constexpr const char* kLineTerminator = "[\\n\\r\\x{2028}\\x{2029}]";
constexpr const char* kLineEnd = "(?:\\z|[\\n\\r\\x{2028}\\x{2029}])";
// The scripting engine's white space: more than RE2's \s (vertical tab, no-break and other spaces).
constexpr const char* kSpaceRanges = "\\t\\n\\x0B\\f\\r \\x{A0}\\x{FEFF}\\p{Zs}\\x{2028}\\x{2029}";

size_t CodePointLength(std::string_view s, size_t at) {
  if (at >= s.size()) return 1;
  unsigned char c = static_cast<unsigned char>(s[at]);
  size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
  // Never run past the end or over a byte that does not continue the sequence.
  size_t len = 1;
  while (len < n && at + len < s.size() && (static_cast<unsigned char>(s[at + len]) & 0xC0) == 0x80) ++len;
  return len;
}

/// Start of the code point that ends just before at.
size_t PreviousCodePoint(std::string_view s, size_t at) {
  if (at == 0) return 0;
  size_t p = at - 1;
  for (int i = 0; i < 3 && p > 0 && (static_cast<unsigned char>(s[p]) & 0xC0) == 0x80; ++i) --p;
  return p;
}

bool IsHex(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

std::string HexEscape(unsigned value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "\\x{%X}", value);
  return buf;
}

/// The escape \x or \u at p[at] (the letter): with `digits` hex digits after it, the character
/// they name; else the letter itself. at is moved past what was read.
std::string HexDigitsEscape(std::string_view p, size_t& at, size_t digits) {
  bool complete = at + digits < p.size();
  for (size_t k = 1; complete && k <= digits; ++k) complete = IsHex(p[at + k]);
  if (!complete) return std::string(1, p[at++]);
  unsigned v = static_cast<unsigned>(std::stoul(std::string(p.substr(at + 1, digits)), nullptr, 16));
  at += digits + 1;
  return HexEscape(v);
}

struct Token {
  std::string text;
  bool line_start = false;  // an unescaped "^" outside a class
  bool line_end = false;    // an unescaped "$" outside a class
};

/// Translates the escapes that differ between the scripting engine and RE2; at points to the
/// character after the backslash and is moved past the escape.
std::string TranslateEscape(std::string_view p, size_t& at, bool inClass) {
  if (at >= p.size()) return "\\";  // a trailing backslash: RE2 rejects it, as the engine does
  char c = p[at];
  switch (c) {
    case 'd': case 'D': case 'w': case 'W': case 't': case 'n': case 'r': case 'f':
      ++at;
      return std::string("\\") + c;
    case 'v':
      ++at;
      return "\\x0B";
    case 'b': case 'B':
      ++at;
      if (inClass) return c == 'b' ? "\\x08" : "B";
      return std::string("\\") + c;
    case 's':
      ++at;
      return inClass ? std::string(kSpaceRanges) : "[" + std::string(kSpaceRanges) + "]";
    case 'S':
      ++at;
      return inClass ? "\\S" : "[^" + std::string(kSpaceRanges) + "]";
    case 'x': return HexDigitsEscape(p, at, 2);
    case 'u': return HexDigitsEscape(p, at, 4);
    case 'c':
      if (at + 1 < p.size() && std::isalpha(static_cast<unsigned char>(p[at + 1]))) {
        unsigned v = static_cast<unsigned>(p[at + 1]) % 32;
        at += 2;
        return HexEscape(v);
      }
      ++at;
      return "\\\\c";
    case '0':
      if (at + 1 >= p.size() || !std::isdigit(static_cast<unsigned char>(p[at + 1]))) {
        ++at;
        return "\\x00";
      }
      break;
    default:
      break;
  }
  if (std::isdigit(static_cast<unsigned char>(c))) {
    // Back references: RE2 has none and rejects them.
    ++at;
    return std::string("\\") + c;
  }
  if (std::isalpha(static_cast<unsigned char>(c))) {
    // Any other escaped letter stands for itself in the scripting engine.
    ++at;
    return std::string(1, c);
  }
  size_t len = CodePointLength(p, at);
  std::string out = static_cast<unsigned char>(c) < 0x80 ? "\\" : "";
  out += p.substr(at, len);
  at += len;
  return out;
}

/// The pattern as RE2 tokens; whole tells whether the pattern is one sequence at the top level
/// (no "|" outside groups, no unbalanced ")"), so that it can be put into a group of its own.
std::vector<Token> Tokenize(std::string_view p, bool& whole) {
  std::vector<Token> tokens;
  whole = true;
  int depth = 0;
  size_t at = 0;
  while (at < p.size()) {
    char c = p[at];
    Token t;
    if (c == '\\') {
      ++at;
      t.text = TranslateEscape(p, at, false);
    } else if (c == '[') {
      ++at;
      bool negated = at < p.size() && p[at] == '^';
      if (negated) ++at;
      if (at < p.size() && p[at] == ']') {
        // "[]" matches nothing, "[^]" any character.
        ++at;
        t.text = negated ? "[\\x00-\\x{10FFFF}]" : "[^\\x00-\\x{10FFFF}]";
      } else {
        t.text = negated ? "[^" : "[";
        while (at < p.size() && p[at] != ']') {
          if (p[at] == '\\') {
            ++at;
            t.text += TranslateEscape(p, at, true);
          } else if (p[at] == '[') {
            // Keeps "[:" from reading as a POSIX class.
            t.text += "\\[";
            ++at;
          } else {
            size_t len = CodePointLength(p, at);
            t.text += p.substr(at, len);
            at += len;
          }
        }
        if (at < p.size()) {
          t.text += ']';
          ++at;
        }
      }
    } else if (c == '.') {
      ++at;
      t.text = kAnyButTerminator;
    } else if (c == '^' || c == '$') {
      ++at;
      t.text = std::string(1, c);
      t.line_start = c == '^';
      t.line_end = c == '$';
    } else {
      if (c == '(') ++depth;
      if ((c == ')' || c == '|') && depth == 0) whole = false;
      if (c == ')' && depth > 0) --depth;
      size_t len = CodePointLength(p, at);
      t.text = p.substr(at, len);
      at += len;
    }
    tokens.push_back(std::move(t));
  }
  return tokens;
}

struct Translation {
  std::string pattern;
  /// With a leading "^": the same without the text's beginning as a line start.
  std::string pattern_after_start;
  bool wrapped = false;
  bool leading_line_start = false;
};

/// RE2 knows only "\n" as a line end; the engine also ends lines at CR, U+2028 and U+2029. A "^" that
/// starts the pattern and a "$" that ends it (the common case) get the full rule by consuming the
/// terminator outside a group that holds the pattern's own match; any other one uses RE2's rule.
Translation Translate(std::string_view pattern, bool multiline) {
  bool whole = true;
  std::vector<Token> tokens = Tokenize(pattern, whole);
  Translation t;
  bool leading = multiline && whole && !tokens.empty() && tokens.front().line_start;
  bool trailing = multiline && whole && tokens.size() > (leading ? 1u : 0u) && tokens.back().line_end;
  size_t first = leading ? 1 : 0;
  size_t last = tokens.size() - (trailing ? 1 : 0);
  std::string body;
  for (size_t i = first; i < last; ++i) {
    const Token& tok = tokens[i];
    if (tok.line_start) body += multiline ? "(?m:^)" : "\\A";
    else if (tok.line_end) body += multiline ? "(?m:$)" : "\\z";
    else body += tok.text;
  }
  if (!leading && !trailing) {
    t.pattern = body;
    return t;
  }
  t.wrapped = true;
  t.leading_line_start = leading;
  std::string core = "(" + body + ")" + (trailing ? kLineEnd : "");
  t.pattern = (leading ? kLineStart : "") + core;
  if (leading) t.pattern_after_start = kLineTerminator + core;
  return t;
}

}  // namespace

RegExp::RegExp() = default;
RegExp::~RegExp() = default;

const re2::RE2& RegExp::Compiled() {
  if (re_ && compiled_pattern_ == Pattern && compiled_multiline_ == Multiline &&
      compiled_ignore_case_ == IgnoreCase)
    return *re_;
  re_.reset();
  re_after_start_.reset();
  Translation t = Translate(Pattern, Multiline);
  RE2::Options options;
  options.set_encoding(RE2::Options::EncodingUTF8);
  options.set_log_errors(false);
  options.set_case_sensitive(!IgnoreCase);
  // Enough for the DFA on large texts, so that it never falls back to slower matching.
  options.set_max_mem(int64_t{64} << 20);
  auto re = std::make_unique<re2::RE2>(t.pattern, options);
  if (!re->ok()) {
    throw Error(err::InvalidProcedureCall, kRegExpSource,
                "正则表达式'" + Pattern + "'的语法错误." + ErrDetailSep() + re->error() + "\r\n模式 " + Pattern);
  }
  if (t.leading_line_start) re_after_start_ = std::make_unique<re2::RE2>(t.pattern_after_start, options);
  re_ = std::move(re);
  compiled_pattern_ = Pattern;
  compiled_multiline_ = Multiline;
  compiled_ignore_case_ = IgnoreCase;
  wrapped_ = t.wrapped;
  leading_line_start_ = t.leading_line_start;
  return *re_;
}

std::vector<RegExp::Match> RegExp::Execute(std::string_view text) {
  const re2::RE2& re = Compiled();
  // An empty view may have no address; RE2 then could not tell an empty group from a missing one.
  if (text.data() == nullptr) text = std::string_view("", 0);
  int groups = re.NumberOfCapturingGroups();
  int own = wrapped_ ? 1 : 0;
  std::vector<re2::StringPiece> found(static_cast<size_t>(groups) + 1);
  std::vector<Match> matches;
  re2::StringPiece subject(text.data(), text.size());
  size_t pos = 0;
  while (pos <= text.size()) {
    // After the beginning, a leading "^" needs the terminator just before pos: search from there.
    const re2::RE2& search = pos > 0 && re_after_start_ ? *re_after_start_ : re;
    size_t from = pos > 0 && re_after_start_ ? PreviousCodePoint(text, pos) : pos;
    bool hit = false;
    while (!hit && from <= pos) {
      if (!search.Match(subject, from, text.size(), RE2::UNANCHORED, found.data(), groups + 1)) break;
      // Only broken UTF-8 before pos can start the match early; then look again one byte on.
      hit = static_cast<size_t>(found[static_cast<size_t>(own)].data() - text.data()) >= pos;
      ++from;
    }
    if (!hit) break;
    const re2::StringPiece& whole = found[static_cast<size_t>(own)];
    Match m;
    m.FirstIndex = static_cast<size_t>(whole.data() - text.data());
    m.Value.assign(whole.data(), whole.size());
    for (int g = own + 1; g <= groups; ++g) {
      const re2::StringPiece& sub = found[static_cast<size_t>(g)];
      if (sub.data() == nullptr) m.SubMatches.emplace_back(std::nullopt);
      else m.SubMatches.emplace_back(std::string(sub.data(), sub.size()));
    }
    size_t end = m.FirstIndex + m.Value.size();
    bool empty = m.Value.empty();
    matches.push_back(std::move(m));
    if (!Global) break;
    // An empty match moves the search on by one character, never into the middle of one.
    pos = empty ? end + CodePointLength(text, end) : end;
  }
  return matches;
}

bool RegExp::Test(std::string_view text) {
  const re2::RE2& re = Compiled();
  if (text.data() == nullptr) text = std::string_view("", 0);
  return re.Match(re2::StringPiece(text.data(), text.size()), 0, text.size(), RE2::UNANCHORED, nullptr, 0);
}

}  // namespace corvala4
