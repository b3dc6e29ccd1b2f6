#!/usr/bin/env bash
# Refreshes the pictures of the window in docs/ from the end-to-end test in which a person
# installs by clicking (it runs on its own virtual display). Needs a build (./run or ./test).
set -euo pipefail
cd "$(dirname "$0")/.."
build/tests/install_tests --gtest_filter='WindowClicks.APersonInstallsTheReleaseByClicking' >/dev/null
for pair in e2e_1_screen:main-screen e2e_2_preferences:preferences e2e_4_question:modified-file-question \
            e2e_5_complete:installation-complete; do
  cp "build/frames/${pair%%:*}.png" "docs/${pair##*:}.png"
done
echo "docs/ now holds the pictures of this build's window."
