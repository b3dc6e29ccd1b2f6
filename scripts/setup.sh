#!/usr/bin/env bash
# Installs the Debian packages the installer, its tools and its tests need,
# then configures and builds everything into build/ (not with --packages-only).
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  build-essential cmake pkg-config
  zlib1g-dev libminizip-dev libsodium-dev libpng-dev libsdl2-dev libgl-dev libglu1-mesa-dev libgtest-dev libfreetype-dev libx11-dev
  zip unzip libarchive-tools
  nginx-light tinyproxy curl rsync
  xvfb xdotool x11-utils zenity fonts-dejavu-core time
  clang libfuzzer-14-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

if [ "${1:-}" = "--packages-only" ]; then
  exit 0
fi

BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}"
cmake -S . -B build -DCMAKE_BUILD_TYPE="$BUILD_TYPE" >/dev/null
cmake --build build -j"$(nproc)"
