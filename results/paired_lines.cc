#include "results/paired_lines.h"

#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "foundation/platform/code_page.h"
#include "foundation/platform/descriptor.h"
#include "results/line_compare.h"

namespace corvala4 {

namespace {

constexpr uint64_t kFnvBasis = 14695981039346656037ull;

uint64_t Fnv(uint64_t hash, const char* p, size_t n) {
  for (size_t i = 0; i < n; ++i) hash = (hash ^ static_cast<unsigned char>(p[i])) * 1099511628211ull;
  return hash;
}

}  // namespace

PairJudge DateLineJudge() {
  return [](std::string_view standard, std::string_view output) -> std::optional<std::string> {
    if (LooksLikeDate(standard) || LooksLikeDate(output)) return "日期行";
    return std::nullopt;
  };
}

/// Where a line starts: its offset, and whether a LF there still ends the line before it (CR LF
/// split by a block's end).
struct PairedLines::Place {
  uint64_t offset = 0;
  bool skip_lf = false;
};

/// One line: its first kShownLine bytes, valid until the next read, and its whole length and
/// the hash of the bytes past those.
struct PairedLines::Line {
  std::string_view text;
  uint64_t length = 0;
  uint64_t tail = kFnvBasis;
  bool SameAs(const Line& other) const {
    return length == other.length && tail == other.tail && text == other.text;
  }
};

/// Reads one file's lines from a place on, terminated as the comparison terminates them: CR LF,
/// a lone CR or a lone LF. A missing file has no lines.
class PairedLines::Cursor {
 public:
  Cursor(const std::string& path, size_t block) : path_(path), buf_(block) {
    fd_ = Fd(OpenRegularFile(AT_FDCWD, path.c_str()));
    if (fd_.get() < 0 && errno != ENOENT) RaiseReadError(path_, errno);
  }

  Place Where() const { return {start_ + pos_, skip_lf_}; }
  void Seek(const Place& place) {
    start_ = place.offset;
    pos_ = len_ = 0;
    skip_lf_ = place.skip_lf;
  }

  /// The next line; false at the end of the file.
  bool Next(Line& line) {
    carry_.clear();
    uint64_t length = 0, tail = kFnvBasis;
    bool carried = false;
    while (true) {
      if (pos_ == len_ && !Fill()) {
        if (!carried) return false;
        break;
      }
      if (skip_lf_) {
        skip_lf_ = false;
        if (buf_[pos_] == '\n') {
          ++pos_;
          continue;
        }
      }
      const char* start = buf_.data() + pos_;
      size_t avail = len_ - pos_;
      const char* lf = static_cast<const char*>(memchr(start, '\n', avail));
      size_t limit = lf ? static_cast<size_t>(lf - start) : avail;
      const char* cr = static_cast<const char*>(memchr(start, '\r', limit));
      size_t n = cr ? static_cast<size_t>(cr - start) : limit;
      bool ended = n < avail;
      if (!carried && ended) {
        // The whole line lies in the block: no copy.
        size_t shown = std::min(n, kShownLine);
        line.text = std::string_view(start, shown);
        line.length = n;
        line.tail = n > shown ? Fnv(kFnvBasis, start + shown, n - shown) : kFnvBasis;
        skip_lf_ = start[n] == '\r';
        pos_ += n + 1;
        return true;
      }
      carried = true;
      size_t keep = carry_.size() < kShownLine ? std::min(n, kShownLine - carry_.size()) : 0;
      carry_.append(start, keep);
      tail = Fnv(tail, start + keep, n - keep);
      length += n;
      pos_ += n;
      if (ended) {
        skip_lf_ = buf_[pos_] == '\r';
        ++pos_;
        break;
      }
    }
    line.text = carry_;
    line.length = length;
    line.tail = tail;
    return true;
  }

 private:
  bool Fill() {
    if (fd_.get() < 0) return false;
    start_ += len_;
    pos_ = len_ = 0;
    while (true) {
      ssize_t n = pread(fd_.get(), buf_.data(), buf_.size(), static_cast<off_t>(start_));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) RaiseReadError(path_, errno);
      len_ = static_cast<size_t>(n);
      return n > 0;
    }
  }

  std::string path_;
  Fd fd_;
  std::vector<char> buf_;
  uint64_t start_ = 0;  // file offset of buf_[0]
  size_t pos_ = 0, len_ = 0;
  bool skip_lf_ = false;
  std::string carry_;  // a line that crosses a block's end
};

PairedLines::PairedLines(const std::string& outputPath, const std::string& standardPath, PairJudge judge)
    : judge_(std::move(judge)),
      // The pass reads in large blocks; a row shown reads only about its own block of rows.
      scan_output_(std::make_unique<Cursor>(outputPath, size_t{1} << 20)),
      scan_standard_(std::make_unique<Cursor>(standardPath, size_t{1} << 20)),
      read_output_(std::make_unique<Cursor>(outputPath, size_t{64} << 10)),
      read_standard_(std::make_unique<Cursor>(standardPath, size_t{64} << 10)) {}

PairedLines::~PairedLines() = default;

RowState PairedLines::Judge(const Line& output, const Line& standard, std::string* reason) {
  if (output.SameAs(standard)) return RowState::Equal;
  std::optional<std::string> why = judge_(FromCodePage(standard.text), FromCodePage(output.text));
  if (!why) return RowState::Differs;
  if (reason) *reason = std::move(*why);
  return RowState::Tolerated;
}

void PairedLines::Note(RowState state, int64_t row) {
  if (state == RowState::Tolerated) ++tolerated_;
  if (state != RowState::Differs) return;
  ++differing_;
  if (!differences_.empty() && differences_.back().second == row - 1)
    differences_.back().second = row;
  else
    differences_.emplace_back(row, row);
}

bool PairedLines::Scan(double seconds) {
  auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  Line a, b;
  while (!complete_) {
    for (int i = 0; i < 4096 && !complete_; ++i) {
      if (rows_ % kStep == 0) index_.emplace_back(scan_output_->Where(), scan_standard_->Where());
      bool has_a = scan_output_->Next(a);
      bool has_b = scan_standard_->Next(b);
      if (!has_a && !has_b) {
        complete_ = true;
        break;
      }
      // A file that goes on past the other's end never matches, date line or not.
      Note(has_a && has_b ? Judge(a, b, nullptr) : RowState::Differs, rows_);
      ++rows_;
    }
    if (std::chrono::steady_clock::now() >= until) break;
  }
  return complete_;
}

const std::vector<PairRow>& PairedLines::Block(int64_t block) {
  int64_t first = block * kStep, end = std::min(rows_, first + kStep);
  // The last block grows while the pass goes on.
  if (block == cached_block_ && static_cast<int64_t>(cache_.size()) == end - first) return cache_;
  cache_.clear();
  cached_block_ = -1;
  const auto& [output, standard] = index_[static_cast<size_t>(block)];
  read_output_->Seek(output);
  read_standard_->Seek(standard);
  Line a, b;
  for (int64_t row = first; row < end; ++row) {
    PairRow pair;
    pair.number = row + 1;
    bool has_a = read_output_->Next(a);
    bool has_b = read_standard_->Next(b);
    if (has_a) pair.output = FromCodePage(a.text);
    if (has_b) pair.standard = FromCodePage(b.text);
    pair.cut = (has_a && a.length > a.text.size()) || (has_b && b.length > b.text.size());
    pair.state = has_a && has_b ? Judge(a, b, &pair.reason) : RowState::Differs;
    cache_.push_back(std::move(pair));
  }
  cached_block_ = block;
  return cache_;
}

PairRow PairedLines::Row(int64_t index) {
  if (index < 0 || index >= rows_) return {};
  const std::vector<PairRow>& rows = Block(index / kStep);
  size_t at = static_cast<size_t>(index % kStep);
  // A file changed since it was read may now end sooner.
  if (at < rows.size()) return rows[at];
  PairRow gone;
  gone.number = index + 1;
  return gone;
}

std::optional<int64_t> PairedLines::NextDifference(int64_t index) {
  while (true) {
    auto it = std::upper_bound(differences_.begin(), differences_.end(), index,
                               [](int64_t i, const std::pair<int64_t, int64_t>& d) { return i < d.first; });
    if (it != differences_.end()) return it->first;
    if (complete_) return std::nullopt;
    Scan(0.05);
  }
}

std::optional<int64_t> PairedLines::PreviousDifference(int64_t index) {
  auto it = std::lower_bound(differences_.begin(), differences_.end(), index,
                             [](const std::pair<int64_t, int64_t>& d, int64_t i) { return d.first < i; });
  if (it == differences_.begin()) return std::nullopt;
  return std::prev(it)->first;
}

std::optional<int64_t> PairedLines::FirstDifference() const {
  if (differences_.empty()) return std::nullopt;
  return differences_.front().first;
}

}  // namespace corvala4
