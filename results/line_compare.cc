#include "results/line_compare.h"

#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>

#include "foundation/errors.h"
#include "foundation/format_msg.h"
#include "foundation/platform/code_page.h"
#include "foundation/platform/descriptor.h"
#include "results/block_reader.h"

namespace corvala4 {

namespace {

// The three characters of a date stamp, in UTF-8.
constexpr std::string_view kDateParts[] = {"年", "月", "日"};

/// Decodes a line piece by piece in the code page and watches for 年, 月, 日 in order.
class DateDetector {
 public:
  DateDetector() {
    cd_ = iconv_open("UTF-8", CodePageName().c_str());
    if (cd_ == kNoConverter) cd_ = iconv_open("UTF-8", "UTF-8");
  }
  ~DateDetector() {
    if (cd_ != kNoConverter) iconv_close(cd_);
  }
  DateDetector(const DateDetector&) = delete;
  DateDetector& operator=(const DateDetector&) = delete;

  void Reset() {
    stage_ = 0;
    len_ = 0;
    if (cd_ != kNoConverter) iconv(cd_, nullptr, nullptr, nullptr, nullptr);
  }
  void Feed(std::string_view bytes) {
    while (!bytes.empty() && !Found()) {
      size_t n = std::min(bytes.size(), sizeof stage_buf_ - len_);
      memcpy(stage_buf_ + len_, bytes.data(), n);
      len_ += n;
      bytes.remove_prefix(n);
      if (len_ == sizeof stage_buf_) Drain(false);
    }
  }
  /// The line has ended: decode what is left.
  void Finish() { Drain(true); }
  bool Found() const { return stage_ == 3; }

 private:
  static inline const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

  void Drain(bool final) {
    char* in = stage_buf_;
    size_t left = len_;
    if (cd_ == kNoConverter) {
      Scan({in, left});
      left = 0;
    }
    while (left > 0 && !Found()) {
      char out[4096];
      char* dst = out;
      size_t room = sizeof out;
      size_t rc = iconv(cd_, &in, &left, &dst, &room);
      int error = rc == static_cast<size_t>(-1) ? errno : 0;
      Scan({out, static_cast<size_t>(dst - out)});
      if (error == EILSEQ) {
        // A byte that does not decode stands for a replacement character.
        ++in;
        --left;
      } else if (error == EINVAL) {
        // A character cut at the end of this piece: keep it for the next one.
        if (final) left = 0;
        break;
      } else if (error != 0 && error != E2BIG) {
        left = 0;
      }
    }
    if (Found()) left = 0;
    memmove(stage_buf_, in, left);
    len_ = left;
  }
  // iconv hands out whole characters, so no part is ever cut between two calls.
  void Scan(std::string_view utf8) {
    size_t pos = 0;
    while (stage_ < 3) {
      size_t hit = utf8.find(kDateParts[stage_], pos);
      if (hit == std::string_view::npos) return;
      pos = hit + kDateParts[stage_].size();
      ++stage_;
    }
  }

  iconv_t cd_;
  int stage_ = 0;
  char stage_buf_[16384];
  size_t len_ = 0;
};

/// Reads the next line of each file and tells whether the two match. Both lines are
/// decoded whole: this is reached only for lines in which the bytes differ.
bool NextLinesMatch(BlockReader& a, BlockReader& b, DateDetector& da, DateDetector& db) {
  LineCursor ca(a), cb(b);
  da.Reset();
  db.Reset();
  bool equal = true;
  while (true) {
    std::string_view pa = ca.Piece();
    std::string_view pb = cb.Piece();
    if (pa.empty() && pb.empty()) break;
    if (pa.empty() || pb.empty()) {
      // One line has ended, the other goes on.
      equal = false;
      da.Feed(pa);
      db.Feed(pb);
      ca.Take(pa.size());
      cb.Take(pb.size());
      continue;
    }
    size_t k = std::min(pa.size(), pb.size());
    if (equal && memcmp(pa.data(), pb.data(), k) != 0) equal = false;
    da.Feed(pa.substr(0, k));
    db.Feed(pb.substr(0, k));
    ca.Take(k);
    cb.Take(k);
  }
  if (equal) return true;
  da.Finish();
  db.Finish();
  return da.Found() || db.Found();
}

}  // namespace

[[noreturn]] void RaiseReadError(const std::string& path, int code) {
  throw Error(ErrnoNumber(code, err::DeviceIO), kModuleSource,
              FormatMsg("读取文件'%0'失败: %1", path, strerror(code)));
}

bool LooksLikeDate(std::string_view line) {
  size_t pos = 0;
  for (std::string_view part : kDateParts) {
    size_t hit = line.find(part, pos);
    if (hit == std::string_view::npos) return false;
    pos = hit + part.size();
  }
  return true;
}

bool LinesMatch(std::string_view standardLine, std::string_view outputLine) {
  if (LooksLikeDate(standardLine)) return true;
  if (LooksLikeDate(outputLine)) return true;
  return standardLine == outputLine;
}

bool SameLines(const std::string& standardPath, const std::string& outputPath, size_t blockSize) {
  BlockReader a(standardPath, blockSize);
  BlockReader b(outputPath, blockSize);
  std::optional<DateDetector> da, db;
  while (true) {
    // While the bytes are equal the lines are too: pass them without splitting,
    // noting where the last line both files share whole ends.
    int64_t lineA = a.Pos();
    int64_t lineB = b.Pos();
    while (true) {
      std::string_view va = a.Bytes();
      std::string_view vb = b.Bytes();
      if (va.empty() || vb.empty()) break;
      size_t n = std::min(va.size(), vb.size());
      size_t m = CommonPrefix(va.data(), vb.data(), n);
      size_t safe = SafeLineEnd(va.data(), m);
      if (safe > 0) {
        lineA = a.Pos() + static_cast<int64_t>(safe);
        lineB = b.Pos() + static_cast<int64_t>(safe);
      }
      a.Skip(m);
      b.Skip(m);
      if (m < n) break;
    }
    bool endA = a.Bytes().empty();
    bool endB = b.Bytes().empty();
    if (endA && endB) return true;
    // A difference, or one file goes on: compare from the start of that line, line by line.
    a.Seek(lineA);
    b.Seek(lineB);
    endA = a.Bytes().empty();
    endB = b.Bytes().empty();
    if (endA || endB) return endA && endB;
    if (!da) {
      da.emplace();
      db.emplace();
    }
    if (!NextLinesMatch(a, b, *da, *db)) return false;
  }
}

}  // namespace corvala4
