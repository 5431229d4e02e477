#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the program need,
# asking apt only when something is missing.
set -euo pipefail

# Qt Charts' CMake package needs Qt OpenGL's, which Debian does not pull in.
packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-charts-dev libqt6opengl6-dev libgl-dev
  libsqlite3-dev sqlite3 libicu-dev
  postgresql libpq-dev
  mdbtools-dev libofx-dev libquazip1-qt6-dev dpkg-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  fonts-arphic-uming fonts-noto-cjk
  qt6-translations-l10n
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages; run as root or install them: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
