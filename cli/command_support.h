// What several commands of `corvala4` do alike: paths shown as the user would type them, and
// the run lock of the test data taken with a word while it waits.
#pragma once

#include <cstdio>
#include <string>

namespace corvala4 {
class RunLock;
}

namespace corvala4::cli {

class HostSession;

/// A path as the user would type it from here: relative when it lies below the current folder.
std::string Shown(const std::string& path);

/// Takes the run lock of the host's test data, saying so on `err` while it waits; without
/// `wait`, a lock held elsewhere ends the command with exit 2.
void TakeRunLock(RunLock& lock, HostSession& session, bool wait, std::FILE* err);

}  // namespace corvala4::cli
