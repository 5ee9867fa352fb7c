// Where two lines differ, in whole tokens: an engineer reads 150.400 against 151.126 as
// two numbers, not as "15" followed by differing digits.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace corvala4 {

/// Bytes [begin, end) of a line.
struct TextSpan {
  size_t begin = 0;
  size_t end = 0;
  bool operator==(const TextSpan&) const = default;
};

/// The spans to mark in each line, in order and not touching. A token is a number with its
/// sign, decimal point and exponent, a word of ASCII letters, digits and underscores, a run
/// of blanks, or any other single character (so a mark never splits a UTF-8 character).
/// When the differing parts hold as many tokens on both sides, each differing token is
/// marked; else the whole differing part, from its first token to its last.
std::pair<std::vector<TextSpan>, std::vector<TextSpan>> DifferingTokens(const std::string& a,
                                                                        const std::string& b);

}  // namespace corvala4
