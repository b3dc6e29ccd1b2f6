#!/usr/bin/env bash
# Download throughput of the HTTP client (net_check polled in a tight loop) against curl, both
# fetching from a local nginx on 127.0.0.1: one 1 GB file through one slot, then four
# quarter-sized files through four slots at once against four curls at once.
# The machine is shared, so each figure is the median of REPS alternating runs.
#   bench/net-bench.sh            environment: BUILD_DIR (build), SIZE_MB (1024), REPS (5),
#                                 DEST (/dev/null; a folder keeps the files instead)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${BUILD_DIR:-build}"
SIZE_MB="${SIZE_MB:-1024}"
REPS="${REPS:-5}"
DEST="${DEST:-/dev/null}"

cmake -S . -B "$BUILD_DIR" >/dev/null
cmake --build "$BUILD_DIR" --target net_bench -j2 >/dev/null
BENCH="$BUILD_DIR/bench/net_bench"

WORK="$(mktemp -d /tmp/zephra-net-bench-XXXXXX)"
NGINX_PID=""
cleanup() {
  if [ -n "$NGINX_PID" ]; then kill "$NGINX_PID" 2>/dev/null || true; wait "$NGINX_PID" 2>/dev/null || true; fi
  rm -rf "$WORK"
}
trap cleanup EXIT

echo "Making the files ($SIZE_MB MB and four quarters) ..."
mkdir -p "$WORK/www"
head -c "$((SIZE_MB * 1000 * 1000))" /dev/urandom > "$WORK/www/whole.bin"
QUARTER=$((SIZE_MB * 1000 * 1000 / 4))
for i in 0 1 2 3; do
  head -c "$QUARTER" /dev/urandom > "$WORK/www/q$i.bin"
done

PORT="$("$BENCH" --free-port)"
cat > "$WORK/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $WORK/nginx.pid;
error_log $WORK/error.log;
events { worker_connections 64; }
http {
  access_log off;
  client_body_temp_path $WORK/client_body;
  proxy_temp_path $WORK/proxy;
  fastcgi_temp_path $WORK/fastcgi;
  uwsgi_temp_path $WORK/uwsgi;
  scgi_temp_path $WORK/scgi;
  sendfile on;
  default_type application/octet-stream;
  server { listen 127.0.0.1:$PORT; root $WORK/www; }
}
CONF
nginx -p "$WORK" -e "$WORK/error.log" -c "$WORK/nginx.conf" > "$WORK/nginx.out" 2>&1 &
NGINX_PID=$!
BASE="http://127.0.0.1:$PORT"
for _ in $(seq 100); do
  curl -s --noproxy '*' -o /dev/null "$BASE/" && break
  sleep 0.05
done

now() { date +%s.%N; }
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
CURL=(curl -s -f --noproxy '*')
# curl writes where the client writes: both discard, or both keep files in DEST.
curl_out() { if [ "$DEST" = /dev/null ]; then echo /dev/null; else echo "$DEST/curl-$1"; fi; }

# Warm the page cache so that both clients read the files from memory.
cat "$WORK"/www/*.bin > /dev/null

calc() { awk "BEGIN { printf \"%.6f\", $1 }"; }
one_curl() { local t0; t0=$(now); "${CURL[@]}" -o "$(curl_out whole.bin)" "$BASE/whole.bin"; calc "$(now) - $t0"; }
four_curls() {
  local t0; t0=$(now)
  for i in 0 1 2 3; do "${CURL[@]}" -o "$(curl_out "q$i.bin")" "$BASE/q$i.bin" & done
  wait
  calc "$(now) - $t0"
}
net_run() { "$BENCH" "127.0.0.1:$PORT" "$DEST" "$@"; }

C1=(); C4=(); N1=(); N4=(); HWM1=0; HWM4=0
for r in $(seq "$REPS"); do
  C1+=("$(one_curl)")
  line="$(net_run /whole.bin)"; echo "  net 1 slot : $line"
  N1+=("$(sed -E 's/.*seconds=([0-9.]+).*/\1/' <<<"$line")")
  HWM1="$(sed -E 's/.*vmhwm_kb=([0-9]+).*/\1/' <<<"$line")"
  C4+=("$(four_curls)")
  line="$(net_run /q0.bin /q1.bin /q2.bin /q3.bin)"; echo "  net 4 slots: $line"
  N4+=("$(sed -E 's/.*seconds=([0-9.]+).*/\1/' <<<"$line")")
  HWM4="$(sed -E 's/.*vmhwm_kb=([0-9]+).*/\1/' <<<"$line")"
done

c1=$(printf '%s\n' "${C1[@]}" | median); n1=$(printf '%s\n' "${N1[@]}" | median)
c4=$(printf '%s\n' "${C4[@]}" | median); n4=$(printf '%s\n' "${N4[@]}" | median)
mb=$((SIZE_MB * 1000 * 1000))
rate() { calc "$mb / $1 / 1000000"; }
echo
echo "Median of $REPS runs, $SIZE_MB MB, destination $DEST (MB/s = 10^6 bytes per second):"
printf '  1 slot : curl %7.1f MB/s   net_check %7.1f MB/s   ratio %.2f   VmHWM %s kB\n' \
  "$(rate "$c1")" "$(rate "$n1")" "$(calc "$c1 / $n1")" "$HWM1"
printf '  4 slots: curl %7.1f MB/s   net_check %7.1f MB/s   ratio %.2f   VmHWM %s kB\n' \
  "$(rate "$c4")" "$(rate "$n4")" "$(calc "$c4 / $n4")" "$HWM4"
