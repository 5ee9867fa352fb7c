#include "results/differing_tokens.h"

#include <string_view>

#include "foundation/text.h"

namespace corvala4 {

namespace {

enum class Kind { Blank, Number, Word, Other };

struct Token {
  size_t begin;
  size_t end;
  Kind kind;
};

bool Digit(char c) {
  return c >= '0' && c <= '9';
}
bool Blank(char c) {
  return c == ' ' || c == '\t';
}
bool WordChar(char c) {
  return Digit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

/// Where a number starting at `at` ends, or `at` when none starts there.
size_t NumberEnd(const std::string& s, size_t at) {
  auto digit = [&](size_t i) { return i < s.size() && Digit(s[i]); };
  size_t i = at;
  // A sign belongs to the number unless it follows a word or a number ("5-3" is 5, -, 3).
  if (i < s.size() && (s[i] == '-' || s[i] == '+') && (at == 0 || (!WordChar(s[at - 1]) && s[at - 1] != '.')))
    ++i;
  if (!digit(i) && !(i < s.size() && s[i] == '.' && digit(i + 1))) return at;
  while (digit(i)) ++i;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (digit(i)) ++i;
  }
  // Fortran writes its exponent with a D as well.
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
    size_t e = i + 1;
    if (e < s.size() && (s[e] == '-' || s[e] == '+')) ++e;
    if (digit(e)) {
      i = e;
      while (digit(i)) ++i;
    }
  }
  return i;
}

std::vector<Token> Tokens(const std::string& s) {
  std::vector<Token> tokens;
  for (size_t at = 0; at < s.size();) {
    size_t end = NumberEnd(s, at);
    Kind kind = Kind::Number;
    if (end == at) {
      end = at + 1;
      if (Blank(s[at])) {
        kind = Kind::Blank;
        while (end < s.size() && Blank(s[end])) ++end;
      } else if (WordChar(s[at])) {
        kind = Kind::Word;
        while (end < s.size() && WordChar(s[end])) ++end;
      } else {
        kind = Kind::Other;
        while (end < s.size() && Utf8Continuation(s[end])) ++end;
      }
    }
    tokens.push_back({at, end, kind});
    at = end;
  }
  return tokens;
}

/// Adds a span, joined to the one before when they touch.
void Add(std::vector<TextSpan>& spans, size_t begin, size_t end) {
  if (!spans.empty() && spans.back().end == begin)
    spans.back().end = end;
  else
    spans.push_back({begin, end});
}

/// The whole of tokens [from, to), without the blanks at its ends unless it is all blank.
void AddWhole(std::vector<TextSpan>& spans, const std::vector<Token>& t, size_t from, size_t to) {
  if (from == to) return;
  size_t first = from, last = to;
  while (first < last && t[first].kind == Kind::Blank) ++first;
  while (last > first && t[last - 1].kind == Kind::Blank) --last;
  if (first == last) first = from, last = to;
  Add(spans, t[first].begin, t[last - 1].end);
}

}  // namespace

std::pair<std::vector<TextSpan>, std::vector<TextSpan>> DifferingTokens(const std::string& a,
                                                                        const std::string& b) {
  std::vector<Token> ta = Tokens(a), tb = Tokens(b);
  auto text = [](const std::string& s, const Token& t) {
    return std::string_view(s).substr(t.begin, t.end - t.begin);
  };
  auto same = [&](size_t i, size_t j) { return text(a, ta[i]) == text(b, tb[j]); };
  size_t head = 0;
  while (head < ta.size() && head < tb.size() && same(head, head)) ++head;
  size_t tail = 0;
  while (tail < ta.size() - head && tail < tb.size() - head &&
         same(ta.size() - 1 - tail, tb.size() - 1 - tail))
    ++tail;
  size_t end_a = ta.size() - tail, end_b = tb.size() - tail;

  std::pair<std::vector<TextSpan>, std::vector<TextSpan>> marks;
  if (end_a - head != end_b - head) {
    AddWhole(marks.first, ta, head, end_a);
    AddWhole(marks.second, tb, head, end_b);
    return marks;
  }
  // Token for token: a blank that differs only shifts the columns, unless nothing else differs.
  for (bool blanks : {false, true}) {
    for (size_t i = head, j = head; i < end_a; ++i, ++j) {
      if (same(i, j) || (!blanks && ta[i].kind == Kind::Blank && tb[j].kind == Kind::Blank)) continue;
      Add(marks.first, ta[i].begin, ta[i].end);
      Add(marks.second, tb[j].begin, tb[j].end);
    }
    if (!marks.first.empty()) break;
  }
  return marks;
}

}  // namespace corvala4
