#!/usr/bin/env bash
# Writes a small simulator folder to publish as the sample release:
#   scripts/make-sample-release.sh MASTER_PARENT
# makes MASTER_PARENT/Zephra 8.50/ with the four top folders of an installation.
set -euo pipefail
parent=$1
top="$parent/Zephra 8.50"
rm -rf "$top"
mkdir -p "$top"/{Airfoils,Instructions,Output,"Resources/plugins","Resources/sounds/engine"}

# Text that compresses, and bytes that do not, both the same on every run.
lines() { local n=$1 tag=$2; for ((i = 0; i < n; i++)); do echo "$tag $i: lift drag moment $((i * 7 % 13))"; done; }
noise() { head -c "$1" /dev/zero | openssl enc -aes-128-ctr -K 00112233445566778899aabbccddeeff -iv 0 2>/dev/null || head -c "$1" /dev/urandom; }

for wing in NACA0012 NACA2412 NACA4415 "Clark Y"; do lines 400 "$wing" > "$top/Airfoils/$wing.afl"; done
lines 60 "Read me first" > "$top/Instructions/Read Me.txt"
lines 900 "manual" > "$top/Instructions/Manual.txt"
: > "$top/Output/placeholder.txt"
lines 200 "setting" > "$top/Resources/settings.txt"
noise 300000 > "$top/Resources/sounds/engine/prop.wav"
noise 120000 > "$top/Resources/plugins/readme.txt"
printf 'ELF-like program for Linux\n' > "$top/Resources/plugins/linux-tool"
printf 'MZ program for Windows\n' > "$top/Resources/plugins/windows-tool.exe"
