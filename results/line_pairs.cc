#include "results/line_pairs.h"

#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "foundation/platform/code_page.h"
#include "foundation/platform/descriptor.h"
#include "results/line_compare.h"
#include "results/rule_compare.h"

namespace corvala4 {

/// One file's lines, terminated as the comparison terminates them: CR LF, a lone CR or a lone LF.
class LinePairs::Reader {
 public:
  explicit Reader(const std::string& path) : path_(path), buf_(1 << 20) {
    // Only a regular file, opened without waiting, as the comparison opens it.
    fd_ = OpenRegularFile(AT_FDCWD, path.c_str());
    if (fd_.get() < 0) RaiseReadError(path_, errno);
  }

  struct Line {
    std::string kept;     // the first kKeptLine bytes
    uint64_t length = 0;  // all of them
    uint64_t hash = 0;    // of all of them
  };

  /// The next line; false at the end of the file.
  bool Next(Line& line) {
    line.kept.clear();
    line.length = 0;
    line.hash = 14695981039346656037ull;  // FNV-1a
    bool any = false;
    while (true) {
      if (pos_ == len_ && !Fill()) return any;
      if (skip_lf_) {
        skip_lf_ = false;
        if (buf_[pos_] == '\n') {
          ++pos_;
          continue;
        }
      }
      any = true;
      const char* start = buf_.data() + pos_;
      size_t avail = len_ - pos_;
      const char* lf = static_cast<const char*>(memchr(start, '\n', avail));
      size_t limit = lf ? static_cast<size_t>(lf - start) : avail;
      const char* cr = static_cast<const char*>(memchr(start, '\r', limit));
      size_t n = cr ? static_cast<size_t>(cr - start) : limit;
      Take(line, start, n);
      pos_ += n;
      if (pos_ < len_) {
        skip_lf_ = buf_[pos_] == '\r';
        ++pos_;
        return true;
      }
    }
  }

 private:
  bool Fill() {
    while (true) {
      ssize_t n = read(fd_.get(), buf_.data(), buf_.size());
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) RaiseReadError(path_, errno);
      pos_ = 0;
      len_ = static_cast<size_t>(n);
      return n > 0;
    }
  }
  static void Take(Line& line, const char* p, size_t n) {
    if (line.kept.size() < kKeptLine) line.kept.append(p, std::min(n, kKeptLine - line.kept.size()));
    line.length += n;
    for (size_t i = 0; i < n; ++i)
      line.hash = (line.hash ^ static_cast<unsigned char>(p[i])) * 1099511628211ull;
  }

  std::string path_;
  Fd fd_;
  std::vector<char> buf_;
  size_t pos_ = 0;
  size_t len_ = 0;
  bool skip_lf_ = false;  // the last line ended in CR: a LF right after it belongs to it
};

struct LinePairs::Scratch {
  JudgeScratch judge;
};

LinePairs::LinePairs(const std::string& standardPath, const std::string& outputPath, const FileRule* rule)
    : standard_(std::make_unique<Reader>(standardPath)),
      output_(std::make_unique<Reader>(outputPath)),
      rule_(rule),
      scratch_(std::make_unique<Scratch>()) {}

LinePairs::~LinePairs() = default;

bool LinePairs::Next(LinePair& pair) {
  Reader::Line a, b;
  bool has_a = standard_->Next(a);
  bool has_b = output_->Next(b);
  if (!has_a && !has_b) return false;
  pair = LinePair{};
  pair.number = ++number_;
  if (has_a) pair.standard = FromCodePage(a.kept);
  if (has_b) pair.output = FromCodePage(b.kept);
  pair.equal = has_a && has_b && a.length == b.length && a.hash == b.hash && a.kept == b.kept;
  // A file that goes on past the other's end never matches, date line or not.
  if (!pair.equal && has_a && has_b && a.kept == b.kept) {
    // They differ past the part kept: only a date line makes that good.
    pair.tolerated = LooksLikeDate(*pair.standard);
    pair.reason = pair.tolerated ? PairReasonText(PairVerdict{PairReason::Date, nullptr, {}})
                                 : "the lines differ past their first 64 KiB";
  } else if (!pair.equal && has_a && has_b) {
    PairVerdict verdict = JudgePair(rule_, *pair.standard, *pair.output, scratch_->judge);
    pair.tolerated = verdict.Accepted();
    pair.reason = PairReasonText(verdict);
  }
  return true;
}

std::optional<LinePair> FirstDifference(const std::string& standardPath, const std::string& outputPath,
                                        const FileRule* rule) {
  LinePairs pairs(standardPath, outputPath, rule);
  LinePair pair;
  while (pairs.Next(pair))
    if (pair.Differs()) return pair;
  return std::nullopt;
}

}  // namespace corvala4
