// Text to numbers and truth values, as the scripting runtime reads them, the same way
// everywhere: a point is the decimal point whatever the process locale says.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvala4 {

/// A number found at the start of a text.
struct NumberScan {
  double value = 0;
  /// How many characters it takes; 0 when the text does not start with a number.
  size_t length = 0;
};

/// Reads the number that starts the text: decimal digits with an optional sign, point and
/// fraction, and an exponent after e, E, d or D (left unread without digits); or &H hex or &O
/// octal digits, which wrap to 16 bits when they fit there, else to 32 (error 6 beyond).
NumberScan ScanNumber(std::string_view text);

/// The number at the start of the text as the runtime's Val reads it: blanks, tabs and line
/// feeds anywhere are passed over, the rest of the text is ignored, no number gives 0.
double Val(std::string_view text);
/// The whole text as a number, blanks and tabs around it allowed; none when it is not one.
std::optional<double> TextToNumber(std::string_view text);
/// Rounded to a whole number with halves going to the even neighbour, as the runtime converts;
/// none outside lowest..highest.
std::optional<int64_t> RoundToInteger(double value, int64_t lowest, int64_t highest);

/// Text to a 32-bit integer: error 13 when it is not a number, 6 when out of range.
int32_t TextToLong(const std::string& text);
/// True/False in any case, or a number (0 is false); anything else is error 13.
bool TextToBool(const std::string& text);

}  // namespace corvala4
