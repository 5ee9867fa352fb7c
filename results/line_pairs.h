// The lines of a produced output file beside those of its standard file, paired by
// position as the comparison pairs them: for diffs and for the first difference
// that reports show. Reads in blocks, so outputs of any size stay cheap.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace corvala4 {

struct FileRule;

struct LinePair {
  int64_t number = 0;                   // position, from 1
  std::optional<std::string> standard;  // UTF-8; none past the end of the file
  std::optional<std::string> output;
  bool equal = false;      // the same bytes
  bool tolerated = false;  // not the same, but accepted: a date line, or by the file's rule
  std::string reason;      // why it is tolerated, or why the rule does not accept it
  /// The comparison does not accept this pair.
  bool Differs() const { return !equal && !tolerated; }
};

class LinePairs {
 public:
  /// Fails with a runtime error naming the file that cannot be opened or read. Pairs are
  /// judged as the comparison judges them: under `rule` when the file has one.
  LinePairs(const std::string& standardPath, const std::string& outputPath, const FileRule* rule = nullptr);
  ~LinePairs();
  /// The next pair; false once both files have ended.
  bool Next(LinePair& pair);

  /// Lines longer than this are kept only in part; their equality is judged by their
  /// length and a hash of all their bytes.
  static constexpr size_t kKeptLine = 64 * 1024;

 private:
  class Reader;
  std::unique_ptr<Reader> standard_, output_;
  const FileRule* rule_;
  struct Scratch;
  std::unique_ptr<Scratch> scratch_;
  int64_t number_ = 0;
};

/// The first pair of lines that the comparison does not accept, or none.
std::optional<LinePair> FirstDifference(const std::string& standardPath, const std::string& outputPath,
                                        const FileRule* rule = nullptr);

}  // namespace corvala4
