// The line comparison of an output file with its standard file: lines are paired
// by position, and a line that looks like a date stamp matches any line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace corvala4 {

/// Bytes read at a time from each file; memory stays at two such blocks.
inline constexpr size_t kCompareBlockSize = size_t{1} << 20;

/// Raises the error of a file that cannot be opened or read (errno `code`), naming it.
[[noreturn]] void RaiseReadError(const std::string& path, int code);

/// The line (UTF-8) holds 年, later 月, later 日: a stamp of when it was calculated.
bool LooksLikeDate(std::string_view line);
/// Lines match when either looks like a date, or when they are exactly equal.
bool LinesMatch(std::string_view standardLine, std::string_view outputLine);

/// Every pair of lines matches and both files have as many lines. Lines end at
/// CR LF, a lone CR or a lone LF; bytes are decoded in the code page only in lines
/// that differ. Fails with a runtime error when a file cannot be opened or read.
bool SameLines(const std::string& standardPath, const std::string& outputPath,
               size_t blockSize = kCompareBlockSize);

}  // namespace corvala4
