#!/usr/bin/env bash
# CI's look at the web page as people see it: makes a sample game folder with the built
# programs, runs kvrrank on it twice with a history, with a third of the files replaced in
# between, and has tools/browser-check.sh render the second run's page in headless Chromium.
# The expected counts come from the two ranking.txt: one standings row and one move cell per
# line of the driver ranking, one listing per stage or arcade heading, and one new-records row
# per event whose best time fell or that is new. The screenshot stays in the build folder.
# Usage: tools/browser-sample.sh [BUILD_DIR]   (default build/release, as CI uses it)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
out="$build/browser"
rm -rf "$out"
mkdir -p "$out"
"$build/tools/kvrsample" "$out/game" --participants 30 --seed 7 >/dev/null
"$build/tools/kvrsample" "$out/other" --participants 10 --seed 8 >/dev/null
"$build/kvrrank" --history "$out/season.jsonl" "$out/game" >/dev/null
cp "$out/game/ranking.txt" "$out/ranking-1.txt"
cp "$out/other/kvr/"*.kvr "$out/game/kvr/"
"$build/kvrrank" --history "$out/season.jsonl" --html "$out/ranking.html" "$out/game" >/dev/null
read -r rows listings new_records < <(python3 - "$out/ranking-1.txt" "$out/game/ranking.txt" <<'PY'
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
tools/browser-check.sh "$out/ranking.html" "$out" "$rows" "$listings" "$rows" "$new_records"
echo "screenshot: $out/ranking.png"
