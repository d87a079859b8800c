#!/usr/bin/env bash
# CI's look at the web page as people see it: makes the sample season of tools/season-sample.sh
# with the built programs (six runs on about thirty drivers, files removed, swapped, copied and
# cut) and has tools/browser-check.sh render the last run's page in headless Chromium: the
# counts, and a folded page at most 15,000 px tall at 1280 px whose front prints on at most 8
# A4 pages. The expected counts come from the last two ranking.txt: one standings row and one
# move cell per line of the driver ranking, one listing per stage or arcade heading, and one
# new-records row per event whose best time fell or that is new. The screenshots stay in the
# build folder.
# Usage: tools/browser-sample.sh [BUILD_DIR]   (default build/release, as CI uses it)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
out="$build/browser"
tools/season-sample.sh "$build" "$out"
read -r rows listings new_records < <(python3 - "$out/ranking-before.txt" "$out/ranking-last.txt" <<'PY'
import re, sys

def best_times(text):
    """The time of place 1 of every listed event, by rally and stage or arcade name."""
    best, part, rally, event = {}, "stages", None, None
    for line in text.splitlines():
        if line == "Arcade - Lap Times":
            part = "arcade"
        elif part == "stages" and re.fullmatch(r" \S.* :", line):
            rally = line.strip(" :")
        elif m := re.fullmatch(r"  Stage +(\d+)", line):
            event = (rally, int(m.group(1)))
        elif part == "arcade" and re.fullmatch(r"  [A-Z][A-Za-z ]+", line):
            event = ("arcade", line.strip())
        elif line.startswith("    01 "):
            m = re.search(r"(\d+):(\d\d)\.(\d\d)$", line)
            best[event] = int(m.group(1)) * 6000 + int(m.group(2)) * 100 + int(m.group(3))
    return best

before = best_times(open(sys.argv[1], encoding="latin-1").read())
text = open(sys.argv[2], encoding="latin-1").read()
now = best_times(text)
ranking = text.split("Driver Total Ranking\n", 1)[1]
rows = len(re.findall(r"^  \d{2,} +\d+pnt ", ranking, re.M))
stages = len(re.findall(r"^  Stage +\d+$", text, re.M))
arcade_part = text.split("Arcade - Lap Times\n", 1)[1].split("Driver Total Ranking\n", 1)[0]
arcade = len(re.findall(r"^  [A-Z][A-Za-z ]+$", arcade_part, re.M))
fallen = sum(1 for event, time in now.items() if event not in before or time < before[event])
print(rows, stages + arcade, fallen)
PY
)
echo "expecting $rows standings rows and move cells, $listings listings, $new_records new records"
tools/browser-check.sh --max-height 15000 --max-print-pages 8 "$out/ranking.html" "$out" \
    "$rows" "$listings" "$rows" "$new_records"
echo "screenshots: $out/*.png"
