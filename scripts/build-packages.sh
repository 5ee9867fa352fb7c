#!/usr/bin/env bash
# usage: scripts/build-packages.sh [BUILD]
# Builds the Debian packages from the build folder BUILD (default build): corvala4,
# corvala4-qt, corvala4-dev and python3-corvala4, as BUILD/*.deb; then says what lintian
# finds in them, when lintian is there.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
[ -f "$build/CMakeCache.txt" ] || cmake -S . -B "$build" -G Ninja >/dev/null
cmake --build "$build" -j"$(nproc)"
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/*.deb
if command -v lintian >/dev/null; then
  lintian --no-tag-display-limit "$build"/*.deb || true
fi
