// The outputs of a calculation that ran on another machine may show here late: a
// network file system's client keeps what it saw of a folder for a while.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace corvala4::cli {

/// Looks for files (name, path) until every one is there or `seconds` have passed, reading
/// their folders anew each time, which makes such a client ask its server again. Returns
/// what a report should say of it: empty when every file was there at once.
std::string AwaitFiles(const std::vector<std::pair<std::string, std::string>>& files, double seconds);

}  // namespace corvala4::cli
