#!/usr/bin/env bash
# CI's accessibility check of the web page: makes the 30-participant sample game folder with
# the built programs and runs kvrrank on it with a history, adds a second copy of one
# participant file (so that the checks have a duplicate to show), runs it again with the page,
# which then also has the season's sections, and runs axe-core on that page in headless
# Chromium in light and dark mode (tools/browser/a11y-check.js). Screenshots of a driver's section and of
# the checks stay in the build folder.
# Usage: tools/a11y-sample.sh [BUILD_DIR] [SHOTS_DIR]   (default build/release, BUILD_DIR/a11y)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
out="$build/a11y"
shots=${2:-$out}

if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
    echo "a11y-sample: Node.js and npm are needed" >&2
    exit 1
fi
# The test tools from the npm registry, as the lock file pins them; never a browser of their own.
if ! (cd tools/browser && npm ls --silent >/dev/null 2>&1); then
    (cd tools/browser && PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --silent)
fi

rm -rf "$out"
mkdir -p "$out"
"$build/tools/kvrsample" "$out/game" --participants 30 --seed 7 >/dev/null
"$build/kvrrank" --history "$out/season.jsonl" "$out/game" >/dev/null
first=$(find "$out/game/kvr" -name '*.kvr' | sort | head -n 1)
cp -- "$first" "${first%.kvr}-again.kvr"
"$build/kvrrank" --history "$out/season.jsonl" --html "$out/ranking.html" "$out/game" >/dev/null
node tools/browser/a11y-check.js "$out/ranking.html" --shots "$shots"
echo "screenshots: $shots/driver-light.png driver-dark.png checks-light.png checks-dark.png"
