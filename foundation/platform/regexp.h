// The regular-expression service ("vbscript.regexp") on RE2: leftmost, greedy,
// linear in the text, no stack growth on long input.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/platform/service_factory.h"

namespace re2 {
class RE2;
}

namespace corvala4 {

/// Source text of the service's own errors.
inline constexpr const char* kRegExpSource = "vbscript.regexp";

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

  RegExp();
  ~RegExp() override;

 private:
  /// Compiles Pattern when it or a flag changed since the last call.
  const re2::RE2& Compiled();

  std::unique_ptr<re2::RE2> re_;
  /// With a leading "^": the pattern for searches that start after the text's beginning.
  std::unique_ptr<re2::RE2> re_after_start_;
  std::string compiled_pattern_;
  bool compiled_multiline_ = false;
  bool compiled_ignore_case_ = false;
  /// The pattern's own match is group 1 of re_ (a line-start or line-end emulation around it).
  bool wrapped_ = false;
  /// A leading "^" is emulated by consuming the line terminator before the match.
  bool leading_line_start_ = false;
};

}  // namespace corvala4
