// The per-user settings store: one INI file per application name under
// $XDG_CONFIG_HOME (default ~/.config), written atomically.
#pragma once

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

}  // namespace corvala4
