#include "cli/output_watch.h"

#include "foundation/platform/code_page.h"

namespace corvala4::cli {

namespace {
/// A line longer than this is looked at by its start only.
constexpr size_t kLongestWatched = 64 * 1024;
}  // namespace

void OutputWatch::Feed(std::string_view bytes) {
  if (!patterns_ || patterns_->empty() || match_) return;
  while (!bytes.empty() && !match_) {
    size_t end = bytes.find_first_of("\r\n");
    if (end == std::string_view::npos) {
      if (partial_.size() < kLongestWatched)
        partial_.append(bytes.substr(0, kLongestWatched - partial_.size()));
      return;
    }
    if (partial_.empty()) {
      Look(bytes.substr(0, end));
    } else {
      partial_.append(bytes.substr(0, std::min(end, kLongestWatched)));
      Look(partial_);
      partial_.clear();
    }
    bytes.remove_prefix(end + 1);
  }
}

void OutputWatch::Finish() {
  if (!partial_.empty() && !match_) Look(partial_);
  partial_.clear();
}

void OutputWatch::Look(std::string_view line) {
  if (line.empty()) return;
  std::string text = FromCodePage(line);
  for (const RulePattern& p : *patterns_)
    if (p.Matches(text)) {
      match_ = text;
      return;
    }
}

}  // namespace corvala4::cli
