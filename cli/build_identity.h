// Which build of a host ran: the executable's path, size, modification time and SHA-256.
#pragma once

#include <string>

#include "results/run_report.h"

namespace corvala4::cli {

/// Reads the executable once for its digest; fails with CommandError (2) when it cannot.
BuildIdentity IdentifyBuild(const std::string& path);

/// "2026-05-12 14:32:05", local time.
std::string LocalTimeText(std::time_t t);

/// One line: path, size, modification time, digest.
std::string IdentityText(const BuildIdentity& build);

}  // namespace corvala4::cli
