// Which build of a host ran: the executable's path, size, modification time and SHA-256.
#pragma once

#include <string>

#include "results/run_report.h"

namespace corvala4::cli {

/// Reads the executable once for its digest; fails with CommandError (2) when it cannot.
BuildIdentity IdentifyBuild(const std::string& path);

/// One line: path, size, modification time, digest.
std::string IdentityText(const BuildIdentity& build);

}  // namespace corvala4::cli
