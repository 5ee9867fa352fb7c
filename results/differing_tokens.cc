#include "results/differing_tokens.h"

#include <string_view>

#include "foundation/text.h"
#include "results/number_fields.h"

namespace corvala4 {

namespace {

enum class Kind { Blank, Number, Word, Other };

struct Token {
  size_t begin;
  size_t end;
  Kind kind;
};

bool Blank(char c) {
  return c == ' ' || c == '\t';
}
bool WordChar(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

/// Numbers as the tolerance comparison reads them ("B1" is a word, "1.5+003" and "NaN" are
/// numbers); between them, runs of blanks, words and single characters.
std::vector<Token> Tokens(const std::string& s) {
  LineFields fields;
  SplitNumbers(s, fields);
  std::vector<Token> tokens;
  size_t next_number = 0;
  for (size_t at = 0; at < s.size();) {
    if (next_number < fields.numbers.size() && fields.numbers[next_number].offset == at) {
      size_t end = at + fields.numbers[next_number++].text.size();
      tokens.push_back({at, end, Kind::Number});
      at = end;
      continue;
    }
    // A text never runs into the number after it.
    size_t limit = next_number < fields.numbers.size() ? fields.numbers[next_number].offset : s.size();
    size_t end = at + 1;
    Kind kind = Kind::Other;
    if (Blank(s[at])) {
      kind = Kind::Blank;
      while (end < limit && Blank(s[end])) ++end;
    } else if (WordChar(s[at])) {
      kind = Kind::Word;
      while (end < limit && WordChar(s[end])) ++end;
    } else {
      while (end < limit && Utf8Continuation(s[end])) ++end;
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
