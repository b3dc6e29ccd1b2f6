#!/usr/bin/env bash
# Benchmarks of the install engine on a large release (default 20,000 files, 2 GB):
#  1. the disk examination of read_directory (a run over a finished installation, which reads the
#     directory and hashes every file) against md5sum over the same files;
#  2. a fresh installation from a local nginx against curl fetching the same archives one after another.
# Both report wall seconds, the ratio (theirs / ours) and the installer's peak memory.
# Usage: FILES=20000 FILE_KB=100 bench/engine-bench.sh   (data under /tmp, removed at the end)
set -euo pipefail
cd "$(dirname "$0")/.."
FILES="${FILES:-20000}"
FILE_KB="${FILE_KB:-100}"
BUILD="${BUILD_DIR:-build}"
INSTALLER="$(realpath "$BUILD/app/zephra-installer")"
PUBLISH="$(realpath "$BUILD/tools/zephra-publish")"

WORK="$(mktemp -d /tmp/zephra-engine-bench-XXXXXX)"
cleanup() { scripts/serve-folder.sh stop "$WORK/nginx"; rm -rf "$WORK"; }
trap cleanup EXIT

echo "Making $FILES files of $FILE_KB kB..."
master="$WORK/master/Zephra"
per_folder=100
# One random stream cut into files: far quicker than a process per file.
mkdir -p "$master"/{Airfoils,Instructions,Output}
echo "lift" > "$master/Airfoils/a.afl"; echo "read me" > "$master/Instructions/r.txt"; echo "o" > "$master/Output/o.txt"
head -c $((FILES * FILE_KB * 1000)) /dev/urandom | (
  cd "$WORK" && split -a 6 -d -b $((FILE_KB * 1000)) - part.
)
f=0
for part in "$WORK"/part.*; do
  folder="$master/Resources/set$((f / per_folder))"
  ((f % per_folder == 0)) && mkdir -p "$folder"
  mv "$part" "$folder/file$f.dat"
  f=$((f + 1))
done

mkdir -p "$WORK/site"
port=$(scripts/serve-folder.sh start "$WORK/site" "$WORK/nginx")
echo "Publishing..."
"$PUBLISH" --master "$master" --name "Bench 1.00" --out "$WORK/site" --server "127.0.0.1:$port" / "bench" >/dev/null

run_installer() {  # prints "seconds peak_kB"
  local dest=$1 log="$WORK/time.txt"
  /usr/bin/time -f '%e %M' -o "$log" env HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home" \
    "$INSTALLER" --unattended --accept_eula --vendor_host="127.0.0.1:$port" "$dest" >/dev/null
  cat "$log"
}

mkdir -p "$WORK/dest" "$WORK/home"
echo "Installing with the installer..."
read -r ours_install ours_install_kb < <(run_installer "$WORK/dest/")

echo "Fetching the same archives with curl, one after another..."
list="$WORK/curl.txt"
(cd "$WORK/site" && find "Bench 1.00" -name '*.zip' ! -name directory.txt.zip | sort) |
  sed "s| |%20|g; s|^|url = \"http://127.0.0.1:$port/|; s|\$|\"\noutput = \"/dev/null\"|" > "$list"
start=$(date +%s.%N)
curl -s -K "$list"
curl_install=$(awk -v a="$(date +%s.%N)" -v b="$start" 'BEGIN { print a - b }')

installed="$WORK/dest/Zephra/"
echo "Examining the finished installation..."
read -r ours_exam ours_exam_kb < <(run_installer "$installed")
start=$(date +%s.%N)
find "$installed" -type f -print0 | xargs -0 md5sum >/dev/null
md5_exam=$(awk -v a="$(date +%s.%N)" -v b="$start" 'BEGIN { print a - b }')

printf '\n%-28s %10s %10s %8s %12s\n' "" "ours (s)" "theirs (s)" "ratio" "peak (MB)"
row() { awk -v n="$1" -v o="$2" -v t="$3" -v k="$4" 'BEGIN { printf "%-28s %10.2f %10.2f %8.2f %12.1f\n", n, o, t, t / o, k / 1024 }'; }
row "examine vs md5sum" "$ours_exam" "$md5_exam" "$ours_exam_kb"
row "install vs curl (sequential)" "$ours_install" "$curl_install" "$ours_install_kb"
