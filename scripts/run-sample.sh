#!/usr/bin/env bash
# Builds the module, installs it into build/prefix, and runs a host built against the
# installed package (find_package(Corvala4)). Then the sample host BeamCalc, built
# against the in-tree module, tests itself on its shipped data without any window.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j"$(nproc)"
cmake --install build --prefix build/prefix >/dev/null
cmake -S examples/install_check -B build/install_check -G Ninja \
  -DCMAKE_PREFIX_PATH="$PWD/build/prefix" >/dev/null
cmake --build build/install_check
build/install_check/install_check

echo
echo "== BeamCalc tests its own build: build/examples/beamcalc/beamcalc --quiet"
cmake --build build --target beamcalc >/dev/null
status=0
build/examples/beamcalc/beamcalc --quiet || status=$?
echo "exit status: $status"
exit "$status"
