// Watches a calculation's output line by line, as it arrives, for a line that says the
// calculation failed whatever its exit status (a solver's "*ERROR" after which it exits 0).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "results/compare_rules.h"

namespace corvala4::cli {

class OutputWatch {
 public:
  /// With no patterns it watches nothing and costs nothing.
  explicit OutputWatch(const std::vector<RulePattern>* patterns = nullptr) : patterns_(patterns) {}
  void Feed(std::string_view bytes);
  /// The output has ended: the last line without its end is looked at too.
  void Finish();
  /// The first line that a pattern matched (decoded from the code page), or none.
  const std::optional<std::string>& Match() const { return match_; }

 private:
  void Look(std::string_view line);

  const std::vector<RulePattern>* patterns_;
  std::string partial_;  // the bytes since the last line end
  std::optional<std::string> match_;
};

}  // namespace corvala4::cli
