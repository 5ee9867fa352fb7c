// What the terminal `corvala4` writes to can show: colour, a live line, its width.
#pragma once

#include <cstdio>
#include <string>

namespace corvala4::cli {

enum class ColorChoice { Auto, Always, Never };

/// Colour on `out`: always or never as asked; on auto only on a terminal, not under NO_COLOR
/// (set and not empty) nor TERM=dumb.
bool UseColor(ColorChoice choice, std::FILE* out);

/// A live line, redrawn in place, only on a terminal that can move its cursor (TERM not dumb).
bool LiveLineAllowed(std::FILE* out);

/// The terminal's width in columns, or `fallback` when `out` is not a terminal.
int TerminalWidth(std::FILE* out, int fallback = 80);

/// Columns a UTF-8 text takes: wide (CJK) characters two, control characters none.
int DisplayWidth(const std::string& text);

/// The text cut to at most `columns` columns, never inside a character.
std::string CutToWidth(const std::string& text, int columns);

/// Wraps text at spaces to lines of at most `columns` columns (a longer word stays whole);
/// line breaks in the text are kept. The text starts at column `indent`, and every line after
/// the first is indented to it.
std::string Wrap(const std::string& text, int columns, int indent = 0);

/// SGR colours: the text between the code and a reset, or the text alone without colour.
std::string Paint(const std::string& text, const char* code, bool color);
inline constexpr const char* kRed = "31";
inline constexpr const char* kGreen = "32";
inline constexpr const char* kYellow = "33";
inline constexpr const char* kCyan = "36";
inline constexpr const char* kBold = "1";
inline constexpr const char* kDim = "2";

}  // namespace corvala4::cli
