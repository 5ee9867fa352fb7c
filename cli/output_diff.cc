#include "cli/output_diff.h"

#include <deque>
#include <vector>

#include "cli/terminal.h"
#include "results/line_pairs.h"

namespace corvala4::cli {

namespace {

class Hunks {
 public:
  Hunks(const DiffLimits& limits, std::FILE* out, const std::string& header)
      : limits_(limits), out_(out), header_(header) {}

  void Equal(const LinePair& pair) {
    if (open_) {
      Add(' ', pair.standard);
      ++s_count_;
      ++o_count_;
      // A gap wider than twice the context ends the hunk.
      if (++trailing_ > 2 * limits_.context) Close();
    }
    before_.push_back(pair);
    if (static_cast<int>(before_.size()) > limits_.context) before_.pop_front();
  }

  void Change(const LinePair& pair) {
    before_.clear();  // never context once changed
    if (!open_) {
      open_ = true;
      lines_.clear();
      s_count_ = o_count_ = 0;
      start_ = pair.number - static_cast<int64_t>(pending_.size());
      for (const LinePair& p : pending_) {
        Add(' ', p.standard);
        ++s_count_;
        ++o_count_;
      }
    }
    pending_.clear();
    trailing_ = 0;
    if (pair.standard) {
      Add('-', pair.standard);
      ++s_count_;
    }
    if (pair.output) {
      Add('+', pair.output);
      ++o_count_;
    }
    if (pair.tolerated) lines_.push_back(kToleratedMark + pair.reason);
  }

  /// Before a change: the context lines to open a hunk with.
  void TakeContext() {
    if (!open_) pending_.assign(before_.begin(), before_.end());
  }

  void Close() {
    if (!open_) return;
    // Drop the equal lines past the context that closed the hunk.
    int extra = trailing_ - limits_.context;
    if (extra > 0) {
      lines_.resize(lines_.size() - static_cast<size_t>(extra));
      s_count_ -= extra;
      o_count_ -= extra;
    }
    bool color = limits_.color;
    if (!header_.empty()) {
      std::fputs(Paint(header_, kBold, color).c_str(), out_);
      header_.clear();
    }
    char head[128];
    std::snprintf(head, sizeof head, "@@ -%lld,%lld +%lld,%lld @@",
                  static_cast<long long>(s_count_ ? start_ : start_ - 1), static_cast<long long>(s_count_),
                  static_cast<long long>(o_count_ ? start_ : start_ - 1), static_cast<long long>(o_count_));
    std::fprintf(out_, "%s\n", Paint(head, kCyan, color).c_str());
    for (const std::string& line : lines_) {
      const char* code = line[0] == '-' ? kRed : line[0] == '+' ? kGreen : line[0] == '\\' ? kDim : nullptr;
      std::fprintf(out_, "%s\n", code ? Paint(line, code, color).c_str() : line.c_str());
    }
    open_ = false;
    trailing_ = 0;
    lines_.clear();
  }

 private:
  void Add(char mark, const std::optional<std::string>& text) { lines_.push_back(mark + text.value_or("")); }

  const DiffLimits& limits_;
  std::FILE* out_;
  std::string header_;
  std::deque<LinePair> before_;
  std::vector<LinePair> pending_;
  bool open_ = false;
  int64_t start_ = 0;
  int64_t s_count_ = 0, o_count_ = 0;
  int trailing_ = 0;
  std::vector<std::string> lines_;
};

}  // namespace

DiffCounts WriteUnifiedDiff(const std::string& standardPath, const std::string& outputPath,
                            const DiffLimits& limits, std::FILE* out, const std::string& standardLabel,
                            const std::string& outputLabel, const FileRule* rule) {
  DiffCounts counts;
  LinePairs pairs(standardPath, outputPath, rule);
  Hunks hunks(limits, out, "--- " + standardLabel + "\n+++ " + outputLabel + "\n");
  int64_t shown = 0;
  LinePair pair;
  while (pairs.Next(pair)) {
    if (pair.equal) {
      if (shown <= limits.max_lines) hunks.Equal(pair);
      continue;
    }
    if (pair.tolerated)
      ++counts.tolerated;
    else
      ++counts.differing;
    if (++shown > limits.max_lines) {
      // Past the limit only counting goes on; the hunk in progress ends here.
      if (shown == limits.max_lines + 1) hunks.Close();
      ++counts.hidden;
      continue;
    }
    hunks.TakeContext();
    hunks.Change(pair);
  }
  hunks.Close();
  return counts;
}

}  // namespace corvala4::cli
