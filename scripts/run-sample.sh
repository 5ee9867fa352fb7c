#!/usr/bin/env bash
# Builds the module, installs it into build/prefix, and runs a host built against the
# installed package (find_package(Corvala4)).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j"$(nproc)"
cmake --install build --prefix build/prefix >/dev/null
cmake -S examples/install_check -B build/install_check -G Ninja -DCMAKE_PREFIX_PATH="$PWD/build/prefix" >/dev/null
cmake --build build/install_check
build/install_check/install_check
