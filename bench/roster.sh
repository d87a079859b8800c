#!/usr/bin/env bash
# Measures a league that keeps its drivers across files and seasons against the plain run, on a
# sample folder of N participants (default 1,000,000): a roster of 100 drivers (every other one
# with an alias), 10 teams of 10 (half their members by the roster, half by code) and an archive
# of 5 seasons of 100 runs each. Both runs write the page and the JSON, which show the teams,
# the head-to-head and the all-time table. Warm cache, median of several runs, peak memory.
# Usage: bench/roster.sh [N]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
n=${1:-1000000}
runs=${BENCH_RUNS:-5}

if ! command -v hyperfine >/dev/null || ! [ -x /usr/bin/time ]; then
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q hyperfine time
fi
cmake --preset release >/dev/null
cmake --build build/release -j2 --target kvrrank kvrsample >/dev/null
kvrrank="$root/build/release/kvrrank"
kvrsample="$root/build/release/tools/kvrsample"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
game="$work/game"
"$kvrsample" "$game" --participants "$n" --seed 1 >/dev/null

# The archive: this folder's snapshot, 100 times per season.
"$kvrrank" --no-records --history "$work/one.jsonl" "$game" >/dev/null
for s in 1 2 3 4 5; do
    for ((i = 0; i < 100; ++i)); do cat "$work/one.jsonl"; done >"$work/season-$s.jsonl"
done

# The roster: the first 100 files of distinct codes; the league file beside the folder.
python3 - "$game/kvr" "$work" >"$work/league.toml" <<'PY'
import os, sys
folder, work = sys.argv[1], sys.argv[2]
drivers, codes = [], set()
for name in sorted(os.listdir(folder)):
    data = open(os.path.join(folder, name), "rb").read(72)
    code = data[16:20].split(b"\0")[0].decode("latin-1")
    who = data[28:72].split(b"\0")[0].decode("latin-1")
    if code in codes or not code or not who:
        continue
    codes.add(code)
    drivers.append((code, who))
    if len(drivers) == 100:
        break
def q(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'
print("[archive]")
print("seasons = [" + ", ".join(q(f"{work}/season-{s}.jsonl") for s in range(1, 6)) + "]")
for d, (code, who) in enumerate(drivers):
    print(f"[[driver]]\ncode = {q(code)}\nname = {q(who)}")
    if d % 2 == 1:
        print(f"also = [{{ code = {q(code)}, name = {q(who + ' Jr')} }}]")
    if d % 10 < 5:
        print(f"team = {q('Team ' + str(d // 10 + 1))}")
for t in range(10):
    members = [q(drivers[t * 10 + k][0]) for k in range(5, 10)]
    print(f"[[team]]\nname = {q('Team ' + str(t + 1))}\nmembers = [{', '.join(members)}]")
PY
: >"$work/plain.toml"

exports="--html '$work/x.html' --json '$work/x.json'"
hyperfine --style none --warmup 1 --runs "$runs" --export-json "$work/hf.json" \
    -n plain "'$kvrrank' --no-records --league '$work/plain.toml' $exports '$game' >/dev/null" \
    -n roster "'$kvrrank' --no-records --league '$work/league.toml' $exports '$game' >/dev/null" \
    >/dev/null 2>"$work/hf.err" || { cat "$work/hf.err" >&2; exit 1; }
peak() { # league file
    { /usr/bin/time -v "$kvrrank" --no-records --league "$1" --html "$work/x.html" \
        --json "$work/x.json" "$game" >/dev/null; } 2>&1 |
        awk -F: '/Maximum resident set size/ {gsub(/ /, "", $2); print $2}'
}
plain_kb=$(peak "$work/plain.toml")
roster_kb=$(peak "$work/league.toml")
pairs=$(python3 -c "import json,sys; print(len(json.load(open(sys.argv[1]))['head_to_head']))" \
    "$work/x.json")
python3 - "$work/hf.json" "$n" "$plain_kb" "$roster_kb" "$pairs" \
    "$(stat -c %s "$work/season-1.jsonl")" <<'PY'
import json, sys
by = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
n, plain_kb, roster_kb, pairs, season = (int(a) for a in sys.argv[2:7])
p, r = by["plain"]["median"], by["roster"]["median"]
ratio, extra = r / p, (roster_kb - plain_kb) / 1024
ok = ratio <= 1.15 and extra <= 32 and pairs <= 45
print(f"{n:,} participants, page and JSON; roster of 100, 10 teams, archive of 5 seasons of "
      f"100 runs ({season / 2**20:.1f} MiB each):\n")
print("| run | median (s) | peak RSS (MiB) |\n|---|---:|---:|")
print(f"| plain | {p:.3f} | {plain_kb / 1024:.1f} |")
print(f"| roster, teams, archive | {r:.3f} | {roster_kb / 1024:.1f} |")
print(f"\nratio {ratio:.3f} (target <= 1.15), extra memory {extra:.1f} MiB (target <= 32), "
      f"head-to-head pairs {pairs} (target <= 45)")
print("Targets met." if ok else "TARGET MISSED.")
sys.exit(0 if ok else 1)
PY
