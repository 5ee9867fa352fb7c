// Lines read as numbers and the text between them, so that two lines of a numeric
// table can be compared within a tolerance: every form engineering programs print.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace corvala4 {

/// One number of a line: its text as printed and its value.
struct NumberField {
  std::string_view text;
  double value = 0;
  size_t offset = 0;  // of its first byte in the line
};

/// A line split into numbers and the texts around them: texts.size() == numbers.size() + 1.
struct LineFields {
  std::vector<std::string_view> texts;
  std::vector<NumberField> numbers;
};

/// Splits a line. A number starts where no letter, digit, '_' or '.' stands before it:
/// integers, decimals (".5", "5."), exponents with E, e, D or d ("1.5D+03"), Fortran's
/// exponent without a letter ("1.5+003"), and the words NaN, Inf and Infinity.
void SplitNumbers(std::string_view line, LineFields& out);

struct NumberTolerance {
  double relative = 0;
  double absolute = 0;
};

/// a and b agree: |a-b| <= absolute or |a-b| <= relative * max(|a|,|b|); NaN agrees only
/// with NaN, an infinity only with the same infinity.
bool WithinTolerance(double a, double b, const NumberTolerance& tolerance);

/// |a-b| / max(|a|,|b|), 0 when both are 0.
double RelativeDifference(double a, double b);

/// How two lines compare as numbers.
struct NumbersVerdict {
  bool match = false;
  // Within tolerance: the largest differences of the line (the relative one of the pairs that
  // the absolute bound does not take), and the field (from 1) of the largest relative one.
  double max_relative = 0;
  double max_absolute = 0;
  int field = 0;
  // Outside: why. A field from 1 with both numbers, or 0 with what else differs.
  int failed_field = 0;
  std::string standard_value, output_value;
  std::string problem;
};

/// The texts must be the same, where a run of spaces or tabs equals any other run (and
/// beside a number, none), the counts of numbers the same, each pair within tolerance.
/// `scratch` are reused between calls to spare allocations.
NumbersVerdict CompareNumbers(std::string_view standard, std::string_view output,
                              const NumberTolerance& tolerance, LineFields& scratchA, LineFields& scratchB);

}  // namespace corvala4
