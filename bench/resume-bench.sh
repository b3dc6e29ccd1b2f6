#!/usr/bin/env bash
# A download of one big file killed near its end, then a second run: how much of the archive
# the second run fetched again. nginx sends at RATE_MB a second so the kill lands where asked.
# Usage: SIZE_MB=300 KILL_AT=90 RATE_MB=30 bench/resume-bench.sh   (data under /tmp, removed at the end)
set -euo pipefail
cd "$(dirname "$0")/.."
SIZE_MB="${SIZE_MB:-300}"
KILL_AT="${KILL_AT:-90}"
RATE_MB="${RATE_MB:-30}"
BUILD="${BUILD_DIR:-build}"
INSTALLER="$(realpath "$BUILD/app/zephra-installer")"
PUBLISH="$(realpath "$BUILD/tools/zephra-publish")"

WORK="$(mktemp -d /tmp/zephra-resume-XXXXXX)"
run_pid=""
cleanup() {
  [ -n "$run_pid" ] && kill -9 "$run_pid" 2>/dev/null || true
  [ -f "$WORK/nginx/nginx.pid" ] && kill "$(cat "$WORK/nginx/nginx.pid")" 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

master="$WORK/master/Zephra"
mkdir -p "$master"/{Airfoils,Instructions,Output,Resources} "$WORK/site" "$WORK/nginx" "$WORK/home" "$WORK/dest"
echo "lift" > "$master/Airfoils/a.afl"
head -c $((SIZE_MB * 1000 * 1000)) /dev/urandom > "$master/Resources/scenery.dat"

port=$(shuf -i 20000-60000 -n 1)
cat > "$WORK/nginx/nginx.conf" <<CONF
worker_processes 1;
pid $WORK/nginx/nginx.pid;
error_log $WORK/nginx/error.log;
$( [ "$(id -u)" -eq 0 ] && echo "user root;" )
events { worker_connections 64; }
http {
  log_format sent '\$msec \$request_time "\$request" \$status \$body_bytes_sent';
  access_log $WORK/nginx/access.log sent;
  client_body_temp_path $WORK/nginx/client_body;
  proxy_temp_path $WORK/nginx/proxy;
  fastcgi_temp_path $WORK/nginx/fastcgi;
  uwsgi_temp_path $WORK/nginx/uwsgi;
  scgi_temp_path $WORK/nginx/scgi;
  default_type application/octet-stream;
  server { listen 127.0.0.1:$port; root $WORK/site; limit_rate ${RATE_MB}m; }
}
CONF
nginx -p "$WORK/nginx" -e "$WORK/nginx/error.log" -c "$WORK/nginx/nginx.conf"
for _ in $(seq 50); do (exec 3<>/dev/tcp/127.0.0.1/"$port") 2>/dev/null && break; sleep 0.1; done
"$PUBLISH" --master "$master" --name "Big 1.00" --out "$WORK/site" --server "127.0.0.1:$port" / "big" >/dev/null
archive=$(stat -c %s "$WORK/site/Big 1.00/Zephra/Resources/scenery.dat.zip")

run() {
  exec env HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home" TMPDIR="$WORK" "$INSTALLER" --unattended --accept_eula \
    --vendor_host="127.0.0.1:$port" "$WORK/dest/" >"$WORK/run.out" 2>&1
}

echo "Archive of $archive bytes; the first run is killed at $KILL_AT % of it..."
(run) & run_pid=$!  # the subshell becomes the installer itself, so the kill reaches it
target=$((archive * KILL_AT / 100))
partial=""
while kill -0 "$run_pid" 2>/dev/null; do
  partial=$(find "$WORK/dest" -path '*/.zephra-partial/*.zip' 2>/dev/null | head -1)
  if [ -n "$partial" ] && [ "$(stat -c %s "$partial" 2>/dev/null || echo 0)" -ge "$target" ]; then
    kill -9 "$run_pid"
    break
  fi
  sleep 0.01
done
wait "$run_pid" 2>/dev/null || true
run_pid=""
left=$(stat -c %s "$partial" 2>/dev/null || echo 0)
echo "Killed with $left bytes ($((left * 100 / archive)) %) in $partial"

# The requests of the second run are those that began after it started.
start=$(date +%s.%N)
(run) || { echo "the second run failed:"; cat "$WORK/run.out"; exit 1; }
sleep 1  # nginx writes the line of the killed run's request once it notices the close
second=$(awk -v t="$start" '/scenery.dat.zip/ && $1 - $2 >= t { s += $NF; print > "/dev/stderr" } END { print s + 0 }' \
  "$WORK/nginx/access.log")
cmp -s "$master/Resources/scenery.dat" "$WORK/dest/Zephra/Resources/scenery.dat" && same=identical || same=DIFFERENT
printf 'second run fetched %d of %d bytes: %.1f %% of the archive; installed file %s; partial folder left: %s\n' \
  "$second" "$archive" "$(awk -v a="$second" -v b="$archive" 'BEGIN { print 100 * a / b }')" "$same" \
  "$( [ -e "$WORK/dest/Zephra/.zephra-partial" ] && echo yes || echo no)"
