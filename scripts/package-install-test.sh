#!/usr/bin/env bash
# usage: scripts/package-install-test.sh [--if-asked] BUILD
# Installs the Debian packages built from BUILD on this machine with apt-get, builds hosts
# against /usr as a user of the packages would (install_check with CMake, the C host with
# pkg-config and with CMake, the Fortran host with pkg-config), runs them, /usr/bin/corvala4
# and the Python package, and then purges every package the installation brought, checking
# that no file of theirs is left. It changes the system: it runs only as root (or through
# sudo without a password), refuses when a Corvala4 package is installed already, and is
# skipped (exit 77) otherwise. With --if-asked (as CTest runs it) it is skipped unless
# CORVALA4_PACKAGE_TEST=1 (scripts/run-tests.sh --packages).
set -euo pipefail
if [ "${1:-}" = --if-asked ]; then
  shift
  if [ "${CORVALA4_PACKAGE_TEST:-}" != 1 ]; then
    echo "package-install-test: skipped; CORVALA4_PACKAGE_TEST=1 runs it (scripts/run-tests.sh --packages)"
    exit 77
  fi
fi
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:?usage: package-install-test.sh BUILD}" && pwd)
packages=(corvala4 corvala4-qt corvala4-dev python3-corvala4)

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if ! sudo -n true 2>/dev/null; then
    echo "package-install-test: needs root or sudo without a password; skipped" >&2
    exit 77
  fi
  sudo_cmd=(sudo -n)
fi
for p in "${packages[@]}"; do
  if dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed"; then
    echo "package-install-test: $p is installed on this machine already; skipped, to leave it as it is" >&2
    exit 77
  fi
done

work=$(mktemp -d)
installed_before=$work/before
touch "$work/ours" "$work/existing" "$work/folders" "$work/beside"
dpkg-query -W -f='${Package}\n' | sort >"$installed_before"
cleanup() {
  status=$?
  # Exactly what the installation added, so that nothing else on the machine changes.
  dpkg-query -W -f='${Package}\n' | sort | comm -13 "$installed_before" - >"$work/added" || true
  if [ -s "$work/added" ]; then
    for p in $(cat "$work/added"); do dpkg -L "$p" 2>/dev/null || true; done | sort -u >"$work/files"
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get purge -y -qq $(cat "$work/added") >/dev/null
    left=0
    while read -r f; do
      if [ -f "$f" ] || [ -L "$f" ]; then
        echo "package-install-test: left behind: $f" >&2
        left=1
      fi
    done <"$work/files"
    # Our own folders too, unless they were there before, and whatever else of ours
    # appeared beside our files (a log written there).
    while read -r f; do
      if [ -e "$f" ] && ! grep -qxF "$f" "$work/existing"; then
        echo "package-install-test: left behind: $f" >&2
        left=1
      fi
    done <"$work/ours"
    while read -r d; do
      for f in "$d"/*corvala4* "$d"/*Corvala4*; do
        if [ -e "$f" ] && ! grep -qxF "$f" "$work/beside"; then
          echo "package-install-test: left behind: $f" >&2
          left=1
        fi
      done
    done <"$work/folders"
    [ "$left" = 0 ] || status=1
  fi
  rm -rf "$work"
  exit "$status"
}
trap cleanup EXIT

echo "== packages"
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/*.deb)
for d in "${debs[@]}"; do echo "$(basename "$d"): Depends: $(dpkg-deb -f "$d" Depends)"; done
# Every path of our packages, and which of them were there before.
for d in "${debs[@]}"; do
  dpkg-deb -c "$d" | awk '{print $6}' | sed 's|^\./|/|; s|/$||' | grep -v '^/\?$'
done | sort -u >"$work/ours"
while read -r f; do [ -e "$f" ] && echo "$f"; done <"$work/ours" >"$work/existing" || true
grep -xvFf "$work/existing" "$work/ours" | xargs -r -n1 dirname | sort -u | grep -xFf "$work/existing" \
  >"$work/folders" || true
while read -r d; do ls -d "$d"/*corvala4* "$d"/*Corvala4* 2>/dev/null || true; done <"$work/folders" \
  >"$work/beside"
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${debs[@]}" \
  >"$work/apt.log" || { cat "$work/apt.log"; exit 1; }

echo "== install_check, with CMake against /usr"
cmake -S "$src/examples/install_check" -B "$work/install_check" -G Ninja >/dev/null
cmake --build "$work/install_check" >/dev/null
"$work/install_check/install_check"

# A host folder with BeamCalc's data under the host's name.
host_folder() {
  mkdir -p "$1"
  cp -r "$src/examples/beamcalc/data/TestData" "$1/"
  cp "$src/examples/beamcalc/data/BEAMCALC_TEST_DAT.XML" "$1/$(echo "$2" | tr a-z A-Z)_TEST_DAT.XML"
}

echo "== the C host, with pkg-config"
host_folder "$work/c" beamcalc_c
cc -std=c99 -Wall -Wextra -pedantic -Werror -o "$work/c/beamcalc_c" "$src"/examples/beamcalc_c/*.c \
  $(pkg-config --cflags --libs corvala4-c) -lm
"$work/c/beamcalc_c" --quiet | tail -n 1
echo "== /usr/bin/corvala4 run on it"
/usr/bin/corvala4 run "$work/c/beamcalc_c" -j 2 | tail -n 1

echo "== the C host, with CMake"
mkdir -p "$work/c-cmake-src"
cat >"$work/c-cmake-src/CMakeLists.txt" <<EOF
cmake_minimum_required(VERSION 3.25)
project(beamcalc_c LANGUAGES C)
find_package(Corvala4 CONFIG REQUIRED)
add_executable(beamcalc_c $src/examples/beamcalc_c/main.c $src/examples/beamcalc_c/beam_calc.c)
set_target_properties(beamcalc_c PROPERTIES C_STANDARD 99 C_EXTENSIONS OFF)
target_link_libraries(beamcalc_c PRIVATE Corvala4::corvala4 m)
EOF
cmake -S "$work/c-cmake-src" -B "$work/c-cmake" -G Ninja >/dev/null
cmake --build "$work/c-cmake" >/dev/null
host_folder "$work/c-cmake" beamcalc_c
"$work/c-cmake/beamcalc_c" --quiet | tail -n 1

if command -v gfortran >/dev/null; then
  echo "== the Fortran host, with pkg-config"
  host_folder "$work/f" beamcalc_f
  (cd "$work/f" && gfortran -ffree-line-length-none -o beamcalc_f $(pkg-config --cflags corvala4-fortran) \
    "$src/examples/beamcalc_f/beam_calc.f90" "$src/examples/beamcalc_f/main.f90" \
    $(pkg-config --libs corvala4-fortran))
  "$work/f/beamcalc_f" --quiet | tail -n 1
fi

echo "== the Python package"
env -u PYTHONPATH -u CORVALA4_LIBRARY /usr/bin/python3 -c \
  'import corvala4; print("corvala4", corvala4.version)'
host_folder "$work/py" beamcalc_py
cp "$src/examples/beamcalc_py/beamcalc_py.py" "$work/py/"
env -u PYTHONPATH -u CORVALA4_LIBRARY /usr/bin/python3 "$work/py/beamcalc_py.py" --quiet | tail -n 1
echo "== removing the packages"
