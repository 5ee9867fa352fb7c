// The regular-expression service ("vbscript.regexp") on RE2: leftmost, greedy,
// linear in the text, no stack growth on long input.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/platform/service_factory.h"

namespace corvala4 {

class RegExp : public Service {
 public:
  struct Match {
    size_t FirstIndex = 0;  // byte offset in the searched text
    std::string Value;
    std::vector<std::optional<std::string>> SubMatches;  // nullopt: the group did not take part
  };

  std::string Pattern;
  bool Global = false;
  /// "^" and "$" also at line starts and ends.
  bool Multiline = false;
  bool IgnoreCase = false;

  /// Every match (Global) or the first one; a global search goes on from the end
  /// of the previous match. A bad pattern fails with error 5.
  std::vector<Match> Execute(std::string_view text);
  bool Test(std::string_view text);
};

}  // namespace corvala4
