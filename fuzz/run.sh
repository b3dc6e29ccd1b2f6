#!/usr/bin/env bash
# Builds the fuzz targets with clang into build-fuzz/ and runs each for SECONDS (default 60).
# The corpus grows in build-fuzz/corpus/TARGET/ from run to run; seeds are made afresh each time
# in build-fuzz/seeds/TARGET/. A finding stops its target, is saved as
# build-fuzz/findings/TARGET-crash-..., and makes this script fail after the other targets ran.
# Replay one: build-fuzz/fuzz/TARGET build-fuzz/findings/TARGET-crash-...
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
targets=(fuzz_http_response fuzz_install_lists fuzz_zip_extract)

CC=clang CXX=clang++ nice -n 10 cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEPHRA_FUZZ=ON >/dev/null
nice -n 10 cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}" zephra-publish

# Seeds: a few sound server answers, a release published by zephra-publish, and small archives.
seeds=build-fuzz/seeds
rm -rf "$seeds" && mkdir -p "$seeds"/{fuzz_http_response,fuzz_install_lists,fuzz_zip_extract}
# answer NAME FIRST [REST]: the answer to the first request, then what follows on the connection
# for the second request and the one asked for ahead behind it; two bytes give FIRST's length.
answer() {
  local first
  first="$(printf "$2"; echo x)" && first="${first%x}"
  printf "$(printf '\\x%02x\\x%02x' $((${#first} & 255)) $((${#first} >> 8)))$2${3:-}" >"$seeds/fuzz_http_response/$1"
}
ok='HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello'
chunked='HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n'
answer ok "$ok"
answer interim 'HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 4\r\nServer: nginx\r\n\r\nbody'
answer not-found 'HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\nContent-Type: text/html\r\n\r\nno such\r\n'
answer chunked "$chunked"
answer until-close 'HTTP/1.0 200 OK\r\ncontent-length:3\r\n\r\nabc'
answer kept "$ok" "$ok$ok"
answer kept-chunked "$ok" "$chunked$ok"
answer kept-then-close "$ok" 'HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nhi'"$ok"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/Sim/Resources" "$work/Sim/Airfoils" "$work/out1" "$work/out2"
echo "first" >"$work/Sim/Resources/settings.txt"
printf 'wing\n' >"$work/Sim/Airfoils/naca 0012.dat"
printf '#!/bin/sh\n' >"$work/Sim/sim-linux" && chmod 755 "$work/Sim/sim-linux"
publish=build-fuzz/tools/zephra-publish
servers=(--server 127.0.0.1:8321 /mirror/ "The first mirror" --server files.example /m2/ "Another")
"$publish" --master "$work/Sim" --name "Zephra 8.49" --out "$work/out1" --os sim-linux=3 "${servers[@]}" >/dev/null
echo "second" >"$work/Sim/Resources/settings.txt"
rm "$work/Sim/Airfoils/naca 0012.dat"
"$publish" --master "$work/Sim" --name "Zephra 8.50" --out "$work/out2" --os sim-linux=3 "${servers[@]}" \
  --previous "$work/out1/Zephra 8.49/directory.txt" >/dev/null
for out in out1 out2; do
  { cat "$work/$out/serverlist.txt"; printf '\n=====\n'; cat "$work/$out"/*/directory.txt; } \
    >"$seeds/fuzz_install_lists/$out"
done
cp "$work/out2/Zephra 8.50/Sim/Resources/settings.txt.zip" "$seeds/fuzz_zip_extract/published.zip"
(cd "$work/Sim" && zip -qry "$OLDPWD/$seeds/fuzz_zip_extract/several.zip" Resources sim-linux)

# The targets' scratch folders go here, so that whatever a stopped target left is cleared next time.
export TMPDIR="$PWD/build-fuzz/tmp"
rm -rf "$TMPDIR" && mkdir -p "$TMPDIR"

status=0
summary=""
for t in "${targets[@]}"; do
  mkdir -p "build-fuzz/corpus/$t" build-fuzz/findings
  log="build-fuzz/$t.log"
  echo "== $t for ${seconds}s"
  if nice -n 10 "build-fuzz/fuzz/$t" -max_total_time="$seconds" -timeout=20 -print_final_stats=1 \
      -artifact_prefix="build-fuzz/findings/$t-" "build-fuzz/corpus/$t" "$seeds/$t" >"$log" 2>&1; then
    result="$(grep -E '^Done [0-9]+ runs' "$log" | tail -1)"
  else
    status=1
    result="FAILED, see $log"
    tail -40 "$log"
  fi
  summary+="$t: $result"$'\n'
done
echo "$summary"
exit "$status"
