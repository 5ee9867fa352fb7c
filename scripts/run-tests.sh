#!/usr/bin/env bash
# Builds the module and runs every test. With --sanitize: in a separate build with
# AddressSanitizer and UndefinedBehaviorSanitizer, failing on any report. With --slurm:
# the Slurm executor's tests must run, on the cluster that answers here or else on a
# one-node cluster that scripts/slurm-up.sh starts for them and scripts/slurm-down.sh
# stops afterwards, whatever the tests do. Without --slurm and without a cluster they
# are skipped, and this script says so at the end. With --packages: also the test that builds
# the Debian packages, installs them on this machine with apt-get and purges them again
# (scripts/package-install-test.sh; it needs root or sudo, and CI runs it).
set -euo pipefail
cd "$(dirname "$0")/.."

build=build
flags=()
slurm=0
for arg in "$@"; do
  case "$arg" in
    --sanitize)
      build=build-sanitize
      flags=(-DCORVALA4_SANITIZE=ON -DCORVALA4_BENCH=OFF -DCMAKE_BUILD_TYPE=Debug)
      export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
      export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
      export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
      ;;
    --slurm) slurm=1 ;;
    --packages) export CORVALA4_PACKAGE_TEST=1 ;;
    *)
      echo "usage: scripts/run-tests.sh [--sanitize] [--slurm] [--packages]" >&2
      exit 2
      ;;
  esac
done

scripts/install-deps.sh
cmake -S . -B "$build" -G Ninja "${flags[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"

cluster_answers() { command -v sinfo >/dev/null && sinfo -h -o %t 2>/dev/null | grep -qE 'idle|mix|alloc|comp'; }

if [ "$slurm" = 1 ]; then
  export CORVALA4_REQUIRE_SLURM=1
  if cluster_answers; then
    echo "run-tests: the Slurm tests use the cluster that answers here"
  else
    scripts/slurm-up.sh
    trap 'scripts/slurm-down.sh' EXIT
    export SLURM_CONF=${CORVALA4_SLURM_DIR:-/tmp/corvala4-slurm}/slurm.conf
  fi
fi

export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
if [ "$slurm" = 0 ] && ! cluster_answers; then
  echo "run-tests: no Slurm cluster answers here, so the Slurm executor's tests were skipped;" \
    "scripts/run-tests.sh --slurm runs them on a one-node cluster of this machine"
fi
