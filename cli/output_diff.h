// `corvala4 diff`: a unified diff of a produced output against its standard file.
// Lines are paired by position, as the comparison pairs them; a pair the comparison
// tolerates (a date line on either side) is shown and marked so. Reads as it writes,
// so a file of gigabytes costs one pass and a bounded amount of memory.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace corvala4 {
struct FileRule;
}

namespace corvala4::cli {

struct DiffLimits {
  int context = 3;     // unchanged lines around each change
  int max_lines = 50;  // changed pairs shown; the rest are only counted
  bool color = false;  // removed lines red, added green, hunk heads cyan
};

struct DiffCounts {
  int64_t differing = 0;  // pairs the comparison does not accept
  int64_t tolerated = 0;  // pairs that differ but are accepted: date lines, or by the file's rule
  int64_t hidden = 0;     // changed pairs past max_lines, not shown
};

/// Writes the diff of the two files to `out` (nothing when every pair is the same bytes), with
/// the labels as the files' names in its header; pairs judged under `rule` when the file has
/// one. Fails with an Error naming a file that cannot be read.
DiffCounts WriteUnifiedDiff(const std::string& standardPath, const std::string& outputPath,
                            const DiffLimits& limits, std::FILE* out, const std::string& standardLabel,
                            const std::string& outputLabel, const FileRule* rule = nullptr);

/// The start of the marker line after a tolerated pair; the reason follows.
inline constexpr const char* kToleratedMark = "\\ tolerated: ";

}  // namespace corvala4::cli
