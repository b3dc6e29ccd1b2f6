#!/usr/bin/env bash
# The program's main job: publish the bundled sample release, serve it on 127.0.0.1 with
# nginx, and install it with the installer. Arguments go to the installer; without a
# destination among them the sample is installed into build/sample/install/.
set -euo pipefail
cd "$(dirname "$0")/.."
sample=build/sample
rm -rf "$sample/master" "$sample/site"
mkdir -p "$sample/master" "$sample/site" "$sample/install"

scripts/make-sample-release.sh "$sample/master"
port=$(scripts/serve-folder.sh start "$sample/site" "$sample/nginx")
trap 'scripts/serve-folder.sh stop "$sample/nginx"' EXIT

build/tools/zephra-publish --master "$sample/master/Zephra 8.50" --name "Zephra 8.50 Beta 8" --out "$sample/site" \
  --os 'linux-*=3' --os '*.exe=2' \
  --server "127.0.0.1:$port" /mirror/ "The sample mirror on this machine" >/dev/null
mkdir -p "$sample/site/mirror"
mv "$sample/site/Zephra 8.50 Beta 8" "$sample/site/mirror/"

args=("$@")
has_destination=0
for a in "${args[@]}"; do [[ "$a" == --* ]] || has_destination=1; done
if [ "$has_destination" -eq 0 ]; then
  # Update the sample installation made by an earlier run, whatever the release renamed it to.
  dest="$(pwd)/$sample/install/"
  for d in "$sample"/install/*/; do [ -d "$d/Resources" ] && dest="$(cd "$d" && pwd)/"; done
  args+=("$dest")
fi

echo "Serving the sample release on 127.0.0.1:$port"
# With a display the installer opens its window; without one it installs unattended.
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  build/app/zephra-installer --vendor_host="127.0.0.1:$port" "${args[@]}"
else
  build/app/zephra-installer --unattended --accept_eula --vendor_host="127.0.0.1:$port" "${args[@]}"
fi
