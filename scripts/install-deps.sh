#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the windows need; only what is missing.
set -euo pipefail

packages=(build-essential cmake ninja-build pkg-config git
  libre2-dev libxml2-dev qt6-base-dev libgtest-dev libgmock-dev googletest libbenchmark-dev
  xvfb x11-apps imagemagick fonts-wqy-zenhei)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
