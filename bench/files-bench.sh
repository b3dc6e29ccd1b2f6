#!/usr/bin/env bash
# Benchmarks of the files module against the system's own tools, on warm caches:
#  1. calc_file_md5 over a 1 GB file against md5sum;
#  2. zip_to_file of a 200 MB entry (compressible text, then random data) against unzip -o and bsdtar -xf,
#     with the peak resident memory of each.
# Usage: bench/files-bench.sh [path to zephra-bench-files]. Big files live under /tmp and are removed.
set -euo pipefail
cd "$(dirname "$0")/.."
BIN="${1:-build/bench/zephra-bench-files}"
[ -x "$BIN" ] || { echo "build the zephra-bench-files target first ($BIN)" >&2; exit 2; }
BIN="$(realpath "$BIN")"
for tool in md5sum unzip bsdtar zip; do
  command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 2; }
done

WORK="$(mktemp -d /tmp/zephra-bench-XXXXXX)"
trap 'rm -rf "$WORK"' EXIT
RUNS="${RUNS:-5}"  # the fastest run counts: the machine may be shared

# "WALL CPU": the fastest wall-clock seconds and the fewest CPU seconds (user + system) of RUNS runs
# of a command; PREP runs before each (not timed). CPU time says more when others share the machine.
best_time() {
  local prep="$1"; shift
  local best_wall="" best_cpu="" line wall cpu
  local TIMEFORMAT='%R %U %S'
  for _ in $(seq "$RUNS"); do
    eval "$prep"
    line="$( { time "$@" >/dev/null 2>&1; } 2>&1 )"
    wall="$(awk '{ print $1 }' <<<"$line")"
    cpu="$(awk '{ print $2 + $3 }' <<<"$line")"
    if [ -z "$best_wall" ] || awk -v t="$wall" -v b="$best_wall" 'BEGIN { exit !(t < b) }'; then best_wall="$wall"; fi
    if [ -z "$best_cpu" ] || awk -v t="$cpu" -v b="$best_cpu" 'BEGIN { exit !(t < b) }'; then best_cpu="$cpu"; fi
  done
  echo "$best_wall $best_cpu"
}
wall_of() { echo "${1% *}"; }
cpu_of() { echo "${1#* }"; }

# Peak resident memory (KiB) of a command, sampled from /proc while it runs.
peak_kib() {
  local peak=0 key value rest
  "$@" >/dev/null &
  local pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    while read -r key value rest; do
      if [ "$key" = "VmHWM:" ] && [ "$value" -gt "$peak" ]; then peak="$value"; fi
    done < "/proc/$pid/status" 2>/dev/null || true
    sleep 0.01
  done
  wait "$pid"
  echo "$peak"
}

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

echo "== 1. MD5 of a 1 GB file"
BIG="$WORK/big.bin"
head -c 1G /dev/urandom > "$BIG"
cat "$BIG" > /dev/null
sum_tool="$(md5sum "$BIG" | cut -d' ' -f1)"
sum_ours="$("$BIN" md5 "$BIG" | sed 's/.*result=//')"
[ "$sum_tool" = "$sum_ours" ] || { echo "MD5 differs: md5sum $sum_tool, ours $sum_ours" >&2; exit 1; }
t_tool="$(best_time : md5sum "$BIG")"
t_ours="$(best_time : "$BIN" md5 "$BIG")"
echo "md5sum $(wall_of "$t_tool")s wall $(cpu_of "$t_tool")s CPU; calc_file_md5 $(wall_of "$t_ours")s wall $(cpu_of "$t_ours")s CPU"
echo "speed ratio (md5sum time / ours, goal >= 0.9): wall $(ratio "$(wall_of "$t_tool")" "$(wall_of "$t_ours")"), CPU $(ratio "$(cpu_of "$t_tool")" "$(cpu_of "$t_ours")")"
rm -f "$BIG"

unzip_case() {
  local label="$1" source="$2"
  local zip="$WORK/$label.zip" out="$WORK/out"
  (cd "$(dirname "$source")" && zip -q "$zip" "$(basename "$source")")
  cat "$zip" > /dev/null
  local prep="rm -rf '$out'; mkdir -p '$out'"
  eval "$prep"
  "$BIN" unzip "$zip" "$out/" >/dev/null
  cmp -s "$source" "$out/$(basename "$source")" || { echo "$label: unpacked file differs" >&2; exit 1; }
  local t_ours t_unzip t_bsdtar m_ours m_unzip m_bsdtar
  t_ours="$(best_time "$prep" "$BIN" unzip "$zip" "$out/")"
  t_unzip="$(best_time "$prep" unzip -o -q "$zip" -d "$out")"
  t_bsdtar="$(best_time "$prep" bsdtar -xf "$zip" -C "$out")"
  eval "$prep"; m_ours="$("$BIN" unzip "$zip" "$out/" | sed 's/.*peak_kib=\([0-9]*\).*/\1/')"
  eval "$prep"; m_unzip="$(peak_kib unzip -o -q "$zip" -d "$out")"
  eval "$prep"; m_bsdtar="$(peak_kib bsdtar -xf "$zip" -C "$out")"
  echo "$label, $(stat -c %s "$zip") bytes zipped (seconds wall/CPU, peak resident memory):"
  echo "  zip_to_file $(wall_of "$t_ours")/$(cpu_of "$t_ours")s ${m_ours} KiB;" \
       "unzip -o $(wall_of "$t_unzip")/$(cpu_of "$t_unzip")s ${m_unzip} KiB;" \
       "bsdtar -xf $(wall_of "$t_bsdtar")/$(cpu_of "$t_bsdtar")s ${m_bsdtar} KiB"
  echo "  speed ratio (their time / ours) wall: vs unzip $(ratio "$(wall_of "$t_unzip")" "$(wall_of "$t_ours")")," \
       "vs bsdtar $(ratio "$(wall_of "$t_bsdtar")" "$(wall_of "$t_ours")"); CPU: vs unzip" \
       "$(ratio "$(cpu_of "$t_unzip")" "$(cpu_of "$t_ours")"), vs bsdtar $(ratio "$(cpu_of "$t_bsdtar")" "$(cpu_of "$t_ours")")"
  rm -rf "$out" "$zip" "$source"
}

echo "== 2. Unpacking a 200 MB entry"
mkdir -p "$WORK/src"
(seq 1 40000000 || true) | head -c 200M > "$WORK/src/text.txt"
unzip_case text "$WORK/src/text.txt"
head -c 200M /dev/urandom > "$WORK/src/random.bin"
unzip_case random "$WORK/src/random.bin"
