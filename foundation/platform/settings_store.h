// The per-user settings store: one INI file per application name under
// $XDG_CONFIG_HOME (default ~/.config), written atomically.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace corvala4 {

/// The module's application name: the base name of the module's own file.
std::string SettingsAppName();
/// Where the store of an application lives.
std::string SettingsFilePath(const std::string& appName);
/// The stored text, or defaultValue when none is stored; a damaged file is read as far as it can be.
std::string GetSetting(const std::string& appName, const std::string& section, const std::string& key,
                       const std::string& defaultValue);
/// Stores the text, keeping every other entry (temporary file and rename).
void SaveSetting(const std::string& appName, const std::string& section, const std::string& key,
                 const std::string& value);
/// The platform's text-to-Boolean conversion: True/False in any case, or a number (0 is false);
/// anything else fails with the type-mismatch error 13.
bool TextToBool(const std::string& text);
/// The platform's text-to-number conversion: decimal (with fraction and exponent), &H hex or &O
/// octal, surrounding blanks allowed; none when the text is not a number.
std::optional<double> TextToNumber(const std::string& text);
/// Text to a 32-bit integer, halves rounded to even: 13 when not a number, 6 when out of range.
int32_t TextToLong(const std::string& text);

}  // namespace corvala4
