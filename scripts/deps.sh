#!/usr/bin/env bash
# Installs the Debian 12 packages Tessara needs; only what is missing, one apt-get update at most.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev qt6-webengine-dev qt6-webengine-dev-tools
  qt6-tools-dev qt6-l10n-tools qt6-httpserver-dev libqt6sql6-sqlite
  libglu1-mesa-dev libgl-dev zlib1g-dev libjpeg-dev
  libosmium2-dev libprotozero-dev libexpat1-dev libbz2-dev liblz4-dev
  libx11-dev
  xvfb xauth x11-apps x11-xkb-utils imagemagick poppler-utils xdotool openbox
  fonts-liberation2 fonts-dejavu-core
  qt6-translations-l10n
  libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev libqt6sql6-sqlite
  clang libclang-rt-14-dev
  desktop-file-utils
  appstream
  postgresql libqt6sql6-psql
  nginx
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
