#!/usr/bin/env bash
# Installs every Debian package that the build, the program, the tests and the
# benchmarks need. Quick when everything is already there.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-pdf-dev libgl1-mesa-dev
  libsqlcipher-dev sqlcipher libssl-dev zlib1g-dev libzip-dev
  libpq-dev postgresql postgresql-common
  mdbtools-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  fonts-noto-cjk qt6-translations-l10n
  libreoffice-calc-nogui libreoffice-dev libreoffice-dev-common libreoffice-script-provider-python
  xvfb xauth xdotool imagemagick
  qt6-svg-dev desktop-file-utils appstream dpkg-dev xdg-utils file
  qtkeychain-qt6-dev clang-format
  libsodium-dev libqrencode-dev
  zbar-tools
  python3 lintian
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -q
  $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
