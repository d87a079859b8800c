#!/usr/bin/env bash
# CI's look at the web page as people see it: makes a sample game folder with the built
# programs, writes its ranking page, and has tools/browser-check.sh render it in headless
# Chromium. The expected counts come from ranking.txt: one standings row per line of the
# driver ranking, one listing per stage or arcade heading. The screenshot stays in the build
# folder.  Usage: tools/browser-sample.sh [BUILD_DIR]   (default build/debug)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/debug}
out="$build/browser"
rm -rf "$out"
mkdir -p "$out"
"$build/tools/kvrsample" "$out/game" --participants 30 --seed 7 >/dev/null
"$build/kvrrank" --html "$out/ranking.html" "$out/game" >/dev/null
read -r rows listings < <(python3 - "$out/game/ranking.txt" <<'PY'
import re, sys
text = open(sys.argv[1], encoding="latin-1").read()
ranking = text.split("Driver Total Ranking\n", 1)[1]
rows = len(re.findall(r"^  \d{2,} +\d+pnt ", ranking, re.M))
stages = len(re.findall(r"^  Stage +\d+$", text, re.M))
arcade_part = text.split("Arcade - Lap Times\n", 1)[1].split("Driver Total Ranking\n", 1)[0]
arcade = len(re.findall(r"^  [A-Z][A-Za-z ]+$", arcade_part, re.M))
print(rows, stages + arcade)
PY
)
echo "expecting $rows standings rows and $listings listings"
tools/browser-check.sh "$out/ranking.html" "$out" "$rows" "$listings"
echo "screenshot: $out/ranking.png"
