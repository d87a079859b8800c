#!/usr/bin/env bash
# CI's accessibility check of the web page: makes the sample season of tools/season-sample.sh
# with the built programs (its page has the season's sections, a file not imported, a
# duplicate and a skipped history line) and runs axe-core on that page in
# headless Chromium in light and dark mode, folded and unfolded (tools/browser/a11y-check.js).
# Screenshots of a driver's section and of the checks stay in the build folder.
# Usage: tools/a11y-sample.sh [BUILD_DIR] [SHOTS_DIR]   (default build/release, BUILD_DIR/a11y)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
out="$build/a11y"
shots=${2:-$out}

tools/browser/npm-install.sh
tools/season-sample.sh "$build" "$out"
node tools/browser/a11y-check.js "$out/ranking.html" --shots "$shots"
echo "screenshots: $shots/driver-light.png driver-dark.png checks-light.png checks-dark.png"
