#!/usr/bin/env bash
# Cross-compiles the libraries that Debian has no mingw-w64 package of (minizip from zlib's
# source, libpng, libsodium) from Debian's own source packages into build-win/deps/.
# zlib itself is Debian's libz-mingw-w64-dev. Runs once; a stamp file marks a finished build.
set -euo pipefail
cd "$(dirname "$0")/.."

DEPS="$PWD/build-win/deps"
HOST=x86_64-w64-mingw32
STAMP="$DEPS/.built-from-debian-sources"
[ -f "$STAMP" ] && exit 0

SRC="$DEPS/src"
rm -rf "$SRC"
mkdir -p "$SRC" "$DEPS/include/minizip" "$DEPS/lib"
cd "$SRC"
# apt-get source unpacks each package with its Debian patches applied.
apt-get source -q zlib libpng1.6 libsodium >apt-source.log 2>&1 || { cat apt-source.log; exit 1; }
JOBS="$(nproc)"
export CC="$HOST-gcc-posix" AR="$HOST-ar" RANLIB="$HOST-ranlib"

echo "Building minizip for Windows"
MZ="$(echo zlib-*/contrib/minizip)"
for f in ioapi unzip zip iowin32; do
  "$CC" -O2 -c "$MZ/$f.c" -o "$SRC/mz_$f.o"
done
"$AR" rcs "$DEPS/lib/libminizip.a" "$SRC"/mz_*.o
cp "$MZ"/{ioapi.h,unzip.h,zip.h,iowin32.h} "$DEPS/include/minizip/"

echo "Building libpng for Windows"
(cd libpng1.6-*/ && ./configure -q --host="$HOST" --prefix="$DEPS" --disable-shared --enable-static \
   CPPFLAGS="-I/usr/$HOST/include" LDFLAGS="-L/usr/$HOST/lib" >/dev/null &&
 make -s -j"$JOBS" >/dev/null && make -s install >/dev/null 2>&1)

echo "Building libsodium for Windows"
# Debian's source of libsodium has no configure script; autoreconf makes it from configure.ac.
(cd libsodium-*/ && autoreconf -fi >/dev/null 2>&1 && ./configure -q --host="$HOST" --prefix="$DEPS" --disable-shared --enable-static \
   --disable-dependency-tracking >/dev/null &&
 make -s -j"$JOBS" >/dev/null 2>&1 && make -s install >/dev/null)

touch "$STAMP"
