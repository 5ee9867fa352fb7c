#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the windows need (the file browser
# is reached through xdg-open and gdbus; a Ming face with 宋体's line height, and Qt's own
# Chinese texts), and the locale with a decimal comma that one test reads numbers under;
# only what is missing.
set -euo pipefail

packages=(build-essential cmake ninja-build pkg-config git
  libre2-dev libxml2-dev qt6-base-dev libgtest-dev libgmock-dev googletest libbenchmark-dev
  libcli11-dev libssl-dev gfortran python3-cffi python3-pytest dpkg-dev lintian
  libtomlplusplus-dev numdiff
  xvfb xdotool x11-apps imagemagick fonts-arphic-uming fonts-wqy-zenhei qt6-translations-l10n
  locales xdg-utils libglib2.0-bin)
locale_name=de_DE.UTF-8

sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)

"$(dirname "$0")/install-packages.sh" "${packages[@]}"

has_locale() { locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; }

# Listed in /etc/locale.gen, so that a later locale-gen keeps it.
make_locale() {
  if [ -f /etc/locale.gen ] && command -v locale-gen >/dev/null; then
    "${sudo_cmd[@]}" sed -i "s/^# *\(${locale_name//./\\.} UTF-8\)/\1/" /etc/locale.gen
    grep -q "^${locale_name//./\\.} UTF-8" /etc/locale.gen ||
      echo "$locale_name UTF-8" | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
    "${sudo_cmd[@]}" locale-gen >/dev/null
  else
    "${sudo_cmd[@]}" localedef -i de_DE -f UTF-8 "$locale_name"
  fi
}

if ! has_locale; then
  echo "Making the locale $locale_name"
  make_locale || true
  has_locale || echo "Could not make the locale $locale_name; the test that needs it is skipped." >&2
fi
