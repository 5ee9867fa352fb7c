// A file read in large blocks by offset, and the walk over one line of it: what both
// line comparisons (exact and under a rule) read their files with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "foundation/platform/descriptor.h"

namespace corvala4 {

/// Reads one file in blocks, by offset, so that a comparison can go back to the
/// start of a line after the bytes of that line have been passed.
class BlockReader {
 public:
  /// Opens a regular file without waiting; fails with the read error naming it.
  BlockReader(const std::string& path, size_t blockSize);
  ~BlockReader();
  BlockReader(const BlockReader&) = delete;
  BlockReader& operator=(const BlockReader&) = delete;

  /// Offset of the next byte.
  int64_t Pos() const { return base_ + static_cast<int64_t>(cur_); }
  /// The bytes from Pos() that are in memory, reading a block when none are; empty at the end.
  std::string_view Bytes() {
    if (cur_ == len_ && !eof_) Fill(Pos());
    return {buf_.get() + cur_, len_ - cur_};
  }
  void Skip(size_t n) { cur_ += n; }
  /// Moves to an offset, reading again only when it is no longer in memory.
  void Seek(int64_t pos);

 private:
  void Fill(int64_t pos);

  std::string path_;
  Fd fd_;
  std::unique_ptr<char[]> buf_;
  size_t cap_;
  int64_t base_ = 0;  // file offset of buf_[0]
  size_t cur_ = 0;
  size_t len_ = 0;
  bool eof_ = false;  // the file ends at base_ + len_
};

/// Length of the common start of a and b (n bytes at most).
size_t CommonPrefix(const char* a, const char* b, size_t n);

/// Where the last line lying wholly inside the equal bytes p[0, m) ends (0: none); a CR as the
/// last equal byte does not count, since the byte after it decides between CR and CR LF.
size_t SafeLineEnd(const char* p, size_t m);

/// First CR or LF in v, or v.size().
size_t FindTerminator(std::string_view v);

/// Walks the current line of a reader in pieces and consumes its terminator.
class LineCursor {
 public:
  explicit LineCursor(BlockReader& reader) : r_(reader) {}
  /// The next piece of the line; empty once the line (and its terminator) is passed.
  std::string_view Piece();
  void Take(size_t n) { r_.Skip(n); }

 private:
  BlockReader& r_;
  bool done_ = false;
};

/// Reads the line at the reader's position whole into `line` (at most `cap` bytes kept; the
/// rest is passed over and `cut` set). False at the end of the file.
bool ReadWholeLine(BlockReader& reader, std::string& line, size_t cap, bool& cut);

/// The lines from the reader's position to the end of its file.
int64_t CountLines(BlockReader& reader);

}  // namespace corvala4
