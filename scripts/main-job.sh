#!/usr/bin/env bash
# The program's main job: start the installer.
set -euo pipefail
cd "$(dirname "$0")/.."
exec build/app/zephra-installer "$@"
