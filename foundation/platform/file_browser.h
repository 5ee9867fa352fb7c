// The desktop's file browser: a folder opened, a file shown selected. Each call is built
// as the Windows file browser's command line too, which is what a log or a test reads.
#pragma once

#include <string>

#include "foundation/windows_api.h"

namespace corvala4 {

/// "explorer.exe " and the folder in double quotes.
std::string OpenFolderCommandText(const std::string& folder);
/// "explorer.exe /e, /select, " and the file in double quotes.
std::string ShowFileCommandText(const std::string& file);

/// Opens the folder with xdg-open, without waiting for the browser. Raises a clear
/// error when xdg-open is not installed.
CORVALA4_WINDOWS_API void OpenFolderInBrowser(const std::string& folder);
/// Asks the desktop's file manager (org.freedesktop.FileManager1 on the session bus) to
/// show the file selected; where there is no such service, opens the file's folder.
CORVALA4_WINDOWS_API void ShowFileInBrowser(const std::string& file);

/// The file: URI of an absolute path, every byte but the unreserved ones and "/" escaped.
std::string FileUri(const std::string& path);

}  // namespace corvala4
