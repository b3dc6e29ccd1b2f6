#!/usr/bin/env bash
# Side-by-side benchmark of the installer against the tools a user would use instead, in one run:
#   first examination of a tree (every file hashed)     vs md5sum over the same files
#   second examination of the unchanged tree (cache)    vs md5sum over the same files
#   fresh unattended install from nginx on 127.0.0.1    vs rsync -a from an rsync daemon,
#                                                          curl --parallel --parallel-max 4 of the archives
#   the same for DISTANT_FILES files through a relay delaying each direction DELAY_MS
#                                                       vs curl --parallel --parallel-max 4 through it
#   one BIG_MB file from nginx                          vs curl -o of its archive
#   the fresh install in the window under Xvfb, from    vs the unattended install; with the
#   the click on Accept to "INSTALLATION COMPLETE!"        window's frame times while installing
# Each row runs REPS times; the table gives the range of seconds, the range of the ratio
# (theirs / ours, above 1 means the installer is faster) and the installer's peak memory.
# Usage: FILES=2000 FILE_KB=100 REPS=3 DISTANT_FILES=300 DELAY_MS=20 BIG_MB=1024 WINDOW=1 bench/compare.sh
# (data under /tmp, removed at the end; BIG_MB=0 leaves the big file out, WINDOW=0 the window)
set -euo pipefail
cd "$(dirname "$0")/.."
FILES="${FILES:-2000}"
FILE_KB="${FILE_KB:-100}"
REPS="${REPS:-3}"
DISTANT_FILES="${DISTANT_FILES:-300}"
DELAY_MS="${DELAY_MS:-20}"
BIG_MB="${BIG_MB:-1024}"
WINDOW="${WINDOW:-1}"
BUILD="${BUILD_DIR:-build}"
INSTALLER="$(realpath "$BUILD/app/zephra-installer")"
PUBLISH="$(realpath "$BUILD/tools/zephra-publish")"
BLANK="$BUILD/bench/blank_window"
tools=(rsync curl md5sum /usr/bin/time)
[ "$WINDOW" = 1 ] && tools+=(Xvfb xdotool)
for tool in "${tools[@]}"; do
  command -v "$tool" >/dev/null || { echo "compare.sh needs $tool (scripts/setup.sh installs it)" >&2; exit 1; }
done

WORK="$(mktemp -d /tmp/zephra-compare-XXXXXX)"
rsync_pid=""
relay_pid=""
xvfb_pid=""
cleanup() {
  [ -n "$rsync_pid" ] && kill "$rsync_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  [ -n "$relay_pid" ] && kill "$relay_pid" 2>/dev/null || true
  scripts/serve-folder.sh stop "$WORK/nginx" 2>/dev/null || true
  scripts/serve-folder.sh stop "$WORK/nginx-far" 2>/dev/null || true
  scripts/serve-folder.sh stop "$WORK/nginx-big" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

echo "Making $FILES files of $FILE_KB kB..."
master="$WORK/master/Zephra"
mkdir -p "$master"/{Airfoils,Instructions,Output,Resources}
echo "lift" > "$master/Airfoils/a.afl"; echo "read me" > "$master/Instructions/r.txt"; echo "o" > "$master/Output/o.txt"
head -c $((FILES * FILE_KB * 1000)) /dev/urandom | (cd "$WORK" && split -a 6 -d -b $((FILE_KB * 1000)) - part.)
f=0
for part in "$WORK"/part.*; do
  folder="$master/Resources/set$((f / 100))"
  ((f % 100 == 0)) && mkdir -p "$folder"
  mv "$part" "$folder/file$f.dat"
  f=$((f + 1))
done

mkdir -p "$WORK/site"
port=$(scripts/serve-folder.sh start "$WORK/site" "$WORK/nginx")
"$PUBLISH" --master "$master" --name "Bench 1.00" --out "$WORK/site" --server "127.0.0.1:$port" / "bench" >/dev/null

# The rsync daemon serves the master tree, as a mirror offering plain files would.
rsync_port=$((port + 1))
cat > "$WORK/rsyncd.conf" <<CONF
use chroot = no
[master]
path = $WORK/master
read only = yes
CONF
rsync --daemon --no-detach --address=127.0.0.1 --port="$rsync_port" --config="$WORK/rsyncd.conf" &
rsync_pid=$!

seconds() { awk -v a="$(date +%s.%N)" -v b="$1" 'BEGIN { print a - b }'; }
# Every timed run starts with nothing left to write back, so that no program pays for the disk
# writes of another (the installer flushes its file system once at the end of its pass).
start_clock() { sync; date +%s.%N; }
# Runs the installer on dest; prints "seconds peak_kB".
installer() {
  local dest=$1; shift
  sync
  /usr/bin/time -f '%e %M' -o "$WORK/time.txt" env HOME="$home" XDG_CONFIG_HOME="$home" \
    "$INSTALLER" --unattended --accept_eula --vendor_host="${vendor:-127.0.0.1:$port}" "$@" "$dest" >/dev/null
  cat "$WORK/time.txt"
}
# Installs into dest in the window on the virtual display: INSTALL and Accept are clicked; the
# time is the installation's own, from its first frame to its last, as Log.txt tells it with the
# frame times. Prints "seconds peak_kB p50 p95".
window_installer() {
  local dest=$1 prog="$WORK/win-prog" wid="" t p50 p95
  rm -rf "$prog"; mkdir -p "$prog"; cp "$INSTALLER" "$prog/"
  sync
  DISPLAY=":$display" /usr/bin/time -f '%M' -o "$WORK/wtime.txt" env HOME="$home" XDG_CONFIG_HOME="$home" \
    "$prog/zephra-installer" --vendor_host="127.0.0.1:$port" "$dest" >/dev/null 2>&1 &
  local pid=$!
  wid=$(DISPLAY=":$display" xdotool search --sync --name '^Lumara$' | head -1)
  # INSTALL, then Accept on the agreement, until the pass starts (the button is live once the
  # directory is read). Window units count from the lower left of the 1024 x 768 window.
  for _ in $(seq 30); do
    DISPLAY=":$display" xdotool mousemove --window "$wid" 700 338 sleep 0.2 click 1 sleep 0.5
    DISPLAY=":$display" xdotool mousemove --window "$wid" 691 513 sleep 0.2 click 1 sleep 0.5
    grep -q "Status: OK I am installing this now" "$prog/Log.txt" 2>/dev/null && break
  done
  local times=""
  for _ in $(seq 3000); do
    times=$(sed -n 's/.*50th percentile \([0-9.]*\) ms, 95th percentile \([0-9.]*\) ms, over [0-9]* frames in \([0-9.]*\) s.*/\3 \1 \2/p' "$prog/Log.txt")
    [ -n "$times" ] && break
    sleep 0.05
  done
  # The installer is the child of time, which then writes its peak memory.
  pkill -TERM -P "$pid"; wait "$pid" || true
  [ -n "$times" ] || { echo "the window install did not complete:" >&2; grep -v "avail\|max " "$prog/Log.txt" | tail -25 >&2; exit 1; }
  read -r t p50 p95 <<<"$times"
  echo "$t $(tail -1 "$WORK/wtime.txt") $p50 $p95"
}
md5_tree() { local s; s=$(start_clock); find "$1" -type f -print0 | xargs -0 md5sum >/dev/null; seconds "$s"; }

declare -A ours theirs peak
blank="" big_md5=""
add() { ours[$1]+="$2 "; theirs[$1]+="$3 "; peak[$1]+="$4 "; }

# The distant mirror: the first DISTANT_FILES files, served by their own nginx behind the relay.
far="$WORK/far/Zephra"
mkdir -p "$far"
cp -r "$master"/{Airfoils,Instructions,Output} "$far/"
# awk reads the whole list: head would stop sort with a broken pipe, which ends the script.
(cd "$master" && find Resources -type f | sort | awk -v n="$DISTANT_FILES" 'NR <= n' | xargs -d "\n" cp --parents -t "$far")
mkdir -p "$WORK/far-site"
far_port=$(scripts/serve-folder.sh start "$WORK/far-site" "$WORK/nginx-far")
relay_port=$((far_port + 1))
python3 bench/delay_relay.py "$relay_port" "$far_port" "$DELAY_MS" &
relay_pid=$!
"$PUBLISH" --master "$far" --name "Far 1.00" --out "$WORK/far-site" --server "127.0.0.1:$relay_port" / "far" >/dev/null
far_list="$WORK/far-curl.txt"
(cd "$WORK/far-site" && find "Far 1.00" -name '*.zip' ! -name directory.txt.zip | sort) |
  sed "s| |%20|g; s|^|url = \"http://127.0.0.1:$relay_port/|; s|\$|\"\noutput = \"/dev/null\"|" > "$far_list"

# The big file, alone in a release of its own.
if [ "$BIG_MB" -gt 0 ]; then
  big="$WORK/big/Zephra"
  mkdir -p "$big"/{Airfoils,Instructions,Output,Resources}
  head -c $((BIG_MB << 20)) /dev/urandom > "$big/Resources/scenery.dat"
  mkdir -p "$WORK/big-site"
  big_port=$(scripts/serve-folder.sh start "$WORK/big-site" "$WORK/nginx-big")
  "$PUBLISH" --master "$big" --name "Big 1.00" --out "$WORK/big-site" --server "127.0.0.1:$big_port" / "big" >/dev/null
fi

if [ "$WINDOW" = 1 ]; then
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$WORK/display.txt" 2>/dev/null &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$WORK/display.txt" ] && break; sleep 0.1; done
  display=$(cat "$WORK/display.txt")
fi

curl_list="$WORK/curl.txt"
(cd "$WORK/site" && find "Bench 1.00" -name '*.zip' ! -name directory.txt.zip | sort) |
  sed "s| |%20|g; s|^|url = \"http://127.0.0.1:$port/|; s|\$|\"\noutput = \"/dev/null\"|" > "$curl_list"

for rep in $(seq "$REPS"); do
  echo "Round $rep of $REPS..."
  # Each round writes into folders of its own, all removed at the end: on a file system that
  # avoids reusing inodes it freed a moment ago, deleting a tree would slow the next round's
  # creates, and the first program after the delete more than the second.
  round="$WORK/round$rep"
  home="$round/home"
  mkdir -p "$round/dest" "$home"
  read -r t k < <(installer "$round/dest/")
  s=$(start_clock); rsync -a "rsync://127.0.0.1:$rsync_port/master/" "$round/rsync-dest/"; r=$(seconds "$s")
  s=$(start_clock); curl -s --parallel --parallel-max 4 -K "$curl_list" 2>/dev/null; c=$(seconds "$s")
  add "install vs rsync daemon" "$t" "$r" "$k"
  add "install vs curl --parallel 4" "$t" "$c" "$k"
  if [ "$WINDOW" = 1 ]; then
    home="$round/win-home"
    mkdir -p "$round/win-dest" "$home"
    read -r w wk p50 p95 < <(window_installer "$round/win-dest/")
    home="$round/home"
    add "window install vs unattended" "$w" "$t" "$wk"
    frames+="${p50:-?}/${p95:-?} "
    [ -x "$BLANK" ] && blank+="$(DISPLAY=":$display" "$BLANK") "
  fi
  installed="$round/dest/Zephra/"
  read -r t k < <(installer "$installed" --verify); add "1st examination vs md5sum" "$t" "$(md5_tree "$installed")" "$k"
  read -r t k < <(installer "$installed"); add "2nd examination vs md5sum" "$t" "$(md5_tree "$installed")" "$k"

  mkdir -p "$round/far-dest"
  read -r t k < <(vendor="127.0.0.1:$relay_port" installer "$round/far-dest/")
  s=$(start_clock); curl -s --parallel --parallel-max 4 -K "$far_list" 2>/dev/null; c=$(seconds "$s")
  add "distant install vs curl -Z 4" "$t" "$c" "$k"

  if [ "$BIG_MB" -gt 0 ]; then
    mkdir -p "$round/big-dest"
    read -r t k < <(vendor="127.0.0.1:$big_port" installer "$round/big-dest/")
    s=$(start_clock); curl -s -o "$round/big-dest/curl.zip" "http://127.0.0.1:$big_port/Big%201.00/Zephra/Resources/scenery.dat.zip"
    add "one big file vs curl -o" "$t" "$(seconds "$s")" "$k"
    big_md5+="$(md5_tree "$big") "
  fi
done

range() { tr ' ' '\n' | awk 'NF { if (n++ == 0 || $1 < lo) lo = $1; if ($1 > hi) hi = $1 } END { printf "%.2f-%.2f", lo, hi }'; }
ratios() { paste <(tr ' ' '\n' <<<"$1") <(tr ' ' '\n' <<<"$2") | awk 'NF == 2 && $1 > 0 { print $2 / $1 }' | tr '\n' ' '; }
printf '\n%s files of %s kB, %s rounds\n%-30s %12s %12s %12s %10s\n' "$FILES" "$FILE_KB" "$REPS" "" "ours (s)" "theirs (s)" "ratio" "peak (MB)"
rows=("1st examination vs md5sum" "2nd examination vs md5sum" "install vs rsync daemon" "install vs curl --parallel 4"
      "distant install vs curl -Z 4")
[ "$BIG_MB" -gt 0 ] && rows+=("one big file vs curl -o")
[ "$WINDOW" = 1 ] && rows+=("window install vs unattended")
for row in "${rows[@]}"; do
  mb=$(tr ' ' '\n' <<<"${peak[$row]}" | awk 'NF { if ($1 > m) m = $1 } END { printf "%.1f", m / 1024 }')
  printf '%-30s %12s %12s %12s %10s\n' "$row" "$(range <<<"${ours[$row]}")" "$(range <<<"${theirs[$row]}")" \
    "$(ratios "${ours[$row]}" "${theirs[$row]}" | range)" "$mb"
done
[ "$WINDOW" = 1 ] && printf 'window frame times while installing, 50th/95th percentile (ms) per round: %s\n' "$frames"
# What no installer can go below on this machine: the display's OpenGL driver in a bare window,
# and the MD5 that every unpacked file is checked against.
if [ -n "$blank" ]; then
  printf 'a bare 1024 x 768 OpenGL window on this display peaks at %s MB\n' \
    "$(tr ' ' '\n' <<<"$blank" | awk 'NF { print $1 / 1024 }' | range)"
fi
if [ -n "$big_md5" ]; then printf 'md5sum of the big file alone: %s s\n' "$(range <<<"$big_md5")"; fi
