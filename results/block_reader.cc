#include "results/block_reader.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>

#include "foundation/platform/descriptor.h"
#include "results/line_compare.h"

namespace corvala4 {

BlockReader::BlockReader(const std::string& path, size_t blockSize)
    : path_(path), buf_(new char[blockSize]), cap_(blockSize) {
  // Without waiting: a pipe or a device would block or never end, and only a
  // regular file has the size the comparison relies on.
  fd_ = OpenRegularFile(AT_FDCWD, path.c_str());
  if (fd_.get() < 0) RaiseReadError(path_, errno);
  posix_fadvise(fd_.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
}

BlockReader::~BlockReader() = default;

void BlockReader::Seek(int64_t pos) {
  if (pos >= base_ && pos <= base_ + static_cast<int64_t>(len_)) {
    cur_ = static_cast<size_t>(pos - base_);
  } else {
    base_ = pos;
    cur_ = len_ = 0;
    eof_ = false;
  }
}

void BlockReader::Fill(int64_t pos) {
  base_ = pos;
  cur_ = len_ = 0;
  while (len_ < cap_) {
    ssize_t got = pread(fd_.get(), buf_.get() + len_, cap_ - len_, base_ + static_cast<int64_t>(len_));
    if (got < 0) {
      if (errno == EINTR) continue;
      RaiseReadError(path_, errno);
    }
    if (got == 0) break;
    len_ += static_cast<size_t>(got);
  }
  eof_ = len_ < cap_;
}

size_t CommonPrefix(const char* a, const char* b, size_t n) {
  constexpr size_t kStep = 16384;
  size_t i = 0;
  while (i < n) {
    size_t m = std::min(kStep, n - i);
    if (memcmp(a + i, b + i, m) != 0) {
      while (a[i] == b[i]) ++i;
      return i;
    }
    i += m;
  }
  return n;
}

size_t SafeLineEnd(const char* p, size_t m) {
  if (m == 0) return 0;
  if (p[m - 1] == '\n') return m;
  size_t limit = m - 1;
  const char* lf = static_cast<const char*>(memrchr(p, '\n', limit));
  size_t from = lf ? static_cast<size_t>(lf - p) + 1 : 0;
  const char* cr = static_cast<const char*>(memrchr(p + from, '\r', limit - from));
  if (cr) return static_cast<size_t>(cr - p) + 1;
  return from;
}

size_t FindTerminator(std::string_view v) {
  const char* lf = static_cast<const char*>(memchr(v.data(), '\n', v.size()));
  size_t limit = lf ? static_cast<size_t>(lf - v.data()) : v.size();
  const char* cr = static_cast<const char*>(memchr(v.data(), '\r', limit));
  return cr ? static_cast<size_t>(cr - v.data()) : limit;
}

std::string_view LineCursor::Piece() {
  if (done_) return {};
  std::string_view v = r_.Bytes();
  if (v.empty()) {
    done_ = true;
    return {};
  }
  size_t t = FindTerminator(v);
  if (t > 0) return v.substr(0, t);
  bool cr = v[0] == '\r';
  r_.Skip(1);
  if (cr) {
    std::string_view w = r_.Bytes();
    if (!w.empty() && w[0] == '\n') r_.Skip(1);
  }
  done_ = true;
  return {};
}

bool ReadWholeLine(BlockReader& reader, std::string& line, size_t cap, bool& cut) {
  line.clear();
  cut = false;
  if (reader.Bytes().empty()) return false;
  LineCursor cursor(reader);
  for (std::string_view piece; !(piece = cursor.Piece()).empty();) {
    size_t room = cap - line.size();
    if (piece.size() > room) cut = true;
    line.append(piece.data(), std::min(room, piece.size()));
    cursor.Take(piece.size());
  }
  return true;
}

int64_t CountLines(BlockReader& reader) {
  int64_t lines = 0;
  bool open = false;      // bytes of a line without its terminator yet
  bool after_cr = false;  // the last byte was a CR: a LF now belongs to it
  for (std::string_view v; !(v = reader.Bytes()).empty(); reader.Skip(v.size())) {
    for (char c : v) {
      if (c == '\n') {
        if (!after_cr) ++lines;
        open = after_cr = false;
      } else if (c == '\r') {
        ++lines;
        open = false;
        after_cr = true;
      } else {
        open = true;
        after_cr = false;
      }
    }
  }
  return lines + (open ? 1 : 0);
}

}  // namespace corvala4
