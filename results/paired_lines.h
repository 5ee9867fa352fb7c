// A produced output file and its standard file as rows of line pairs, paired by position as
// the comparison pairs them, for the built-in compare view: read from the files on demand,
// never loaded whole. One pass over both files, done a slice at a time, notes where every
// 128th row starts and which rows differ; a row is read again from its files when it is shown.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "foundation/windows_api.h"

namespace corvala4 {

/// Why a pair of lines that are not the same bytes is accepted (UTF-8 lines); none when it is not.
using PairJudge =
    std::function<std::optional<std::string>(std::string_view standard, std::string_view output)>;
/// The plain comparison's judge: a date line on either side matches any line ("日期行").
CORVALA4_WINDOWS_API PairJudge DateLineJudge();

enum class RowState { Equal, Tolerated, Differs };

struct PairRow {
  int64_t number = 0;                           // from 1
  std::optional<std::string> output, standard;  // UTF-8; none past a file's end
  bool cut = false;                             // a line longer than shown
  RowState state = RowState::Equal;
  std::string reason;  // why a tolerated pair is accepted
};

class CORVALA4_WINDOWS_API PairedLines {
 public:
  /// A missing file counts as an empty one; one that cannot be read fails with a runtime error
  /// naming it.
  PairedLines(const std::string& outputPath, const std::string& standardPath,
              PairJudge judge = DateLineJudge());
  ~PairedLines();

  /// Reads on for about `seconds`; true once both files have been read to their ends.
  bool Scan(double seconds);
  bool Complete() const { return complete_; }
  /// The rows read so far; all of them once complete.
  int64_t Rows() const { return rows_; }

  /// The row at a 0-based index below Rows().
  PairRow Row(int64_t index);

  /// The first row of the next block of differing rows after `index` (-1 for the first),
  /// reading on as far as needed; none when there is none.
  std::optional<int64_t> NextDifference(int64_t index);
  /// The first row of the block of differing rows before the one at `index`.
  std::optional<int64_t> PreviousDifference(int64_t index);
  /// Rows read so far that differ, and that are tolerated.
  int64_t DifferingRows() const { return differing_; }
  int64_t ToleratedRows() const { return tolerated_; }
  /// The first differing row read so far.
  std::optional<int64_t> FirstDifference() const;

  /// Lines longer than this are shown in part; their equality is judged by all their bytes.
  static constexpr size_t kShownLine = 16 * 1024;
  /// Rows between two places noted in the index.
  static constexpr int64_t kStep = 128;

 private:
  class Cursor;
  struct Place;
  struct Line;
  RowState Judge(const Line& output, const Line& standard, std::string* reason);
  void Note(RowState state, int64_t row);
  const std::vector<PairRow>& Block(int64_t block);

  PairJudge judge_;
  std::unique_ptr<Cursor> scan_output_, scan_standard_, read_output_, read_standard_;
  std::vector<std::pair<Place, Place>> index_;            // where rows 0, kStep, 2 kStep ... start
  std::vector<std::pair<int64_t, int64_t>> differences_;  // blocks of differing rows, first and last
  int64_t rows_ = 0, differing_ = 0, tolerated_ = 0;
  bool complete_ = false;
  int64_t cached_block_ = -1;
  std::vector<PairRow> cache_;
};

}  // namespace corvala4
