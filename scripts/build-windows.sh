#!/usr/bin/env bash
# Cross-builds the Windows programs (zephra-installer.exe, zephra-publish.exe and the Windows
# test programs) into build-win/ with Debian's mingw-w64, after the Linux build whose art
# generator paints the pictures both builds embed. Also installs Wine, which runs the tests.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 libz-mingw-w64-dev
  dpkg-dev autoconf automake libtool googletest wine64
)
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

# apt-get source needs the source entries of the suite the machine runs.
SRC_LIST=/etc/apt/sources.list.d/zephra-deb-src.sources
need_update=0
if ! grep -rqs "^Types:.*deb-src\|^deb-src" /etc/apt/sources.list /etc/apt/sources.list.d/; then
  . /etc/os-release
  printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$VERSION_CODENAME" | $SUDO tee "$SRC_LIST" >/dev/null
  need_update=1
fi
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ] || [ "$need_update" = 1 ]; then
  $SUDO apt-get update
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

[ -x build/tools/zephra-publish ] || scripts/setup.sh
cmake --build build --target zephra_embedded_art zephra-publish -j"$(nproc)" >/dev/null

scripts/build-windows-deps.sh
cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZEPHRA_WIN_DEPS="$PWD/build-win/deps" -DZEPHRA_HOST_BUILD="$PWD/build" >/dev/null
cmake --build build-win -j"$(nproc)"
