#!/usr/bin/env bash
# Measures kvrrank against the I/O floor on sample folders of 1,000, 10,000 and 100,000
# participants: warm cache, median of several runs, peak memory, and the growth in time.
# Usage: bench/run.sh [sizes...]   (default: 1000 10000 100000)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

if ! command -v hyperfine >/dev/null || ! [ -x /usr/bin/time ]; then
    apt-get update -q
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q hyperfine time
fi

cmake --workflow --preset release >/dev/null
kvrrank="$root/build/release/kvrrank"
kvrsample="$root/build/release/tools/kvrsample"

sizes=("$@")
if ((${#sizes[@]} == 0)); then
    sizes=(1000 10000 100000)
fi
runs=${BENCH_RUNS:-7}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
results="$work/results.tsv"
: >"$results"

for n in "${sizes[@]}"; do
    game="$work/game-$n"
    "$kvrsample" "$game" --participants "$n" --seed 1 >/dev/null
    cp "$game/Configuration/gameinfo.rcf" "$work/gameinfo-$n.rcf"
    cd "$game"
    # One run first, so the floor can write a file of the report's size.
    "$kvrrank" >/dev/null
    report_size=$(stat -c %s ranking.txt)

    restore="cp '$work/gameinfo-$n.rcf' Configuration/gameinfo.rcf"
    floor="find kvr -name '*.kvr' -exec cat {} + >/dev/null && head -c $report_size /dev/zero >'$work/floor.out'"
    hyperfine --style none --warmup 2 --runs "$runs" --export-json "$work/hf-$n.json" \
        --prepare "$restore" -n kvrrank "'$kvrrank' >/dev/null" \
        -n floor "$floor" >/dev/null 2>"$work/hf-$n.err" || { cat "$work/hf-$n.err" >&2; exit 1; }

    eval "$restore"
    peak_kb=$( { /usr/bin/time -v "$kvrrank" >/dev/null; } 2>&1 |
        awk -F: '/Maximum resident set size/ {gsub(/ /, "", $2); print $2}')
    python3 - "$work/hf-$n.json" "$n" "$peak_kb" >>"$results" <<'PY'
import json, sys
data = json.load(open(sys.argv[1]))
by = {r["command"]: r for r in data["results"]}
k, f = by["kvrrank"], by["floor"]
print("\t".join(str(x) for x in (sys.argv[2], k["median"], k["user"], k["system"],
                                 f["median"], sys.argv[3])))
PY
    cd "$root"
done

python3 - "$results" <<'PY'
import sys
rows = [line.split("\t") for line in open(sys.argv[1]).read().splitlines()]
print("| participants | kvrrank median (s) | user (s) | sys (s) | I/O floor median (s) "
      "| ratio (target <= 1.5) | peak RSS (MiB) | memory limit (MiB) |")
print("|---:|---:|---:|---:|---:|---:|---:|---:|")
medians = {}
ok = True
for n, wall, user, system, floor, peak in rows:
    n, wall, floor, peak = int(n), float(wall), float(floor), int(peak)
    medians[n] = wall
    ratio = wall / floor
    limit_kib = n + 16 * 1024
    ok = ok and peak <= limit_kib and (n < 10000 or ratio <= 1.5)
    print(f"| {n:,} | {wall:.3f} | {float(user):.3f} | {float(system):.3f} | {floor:.3f} "
          f"| {ratio:.2f} | {peak / 1024:.1f} | {limit_kib / 1024:.1f} |")
if 10000 in medians and 100000 in medians:
    growth = medians[100000] / medians[10000]
    ok = ok and growth <= 12
    print(f"\nTime growth from 10,000 to 100,000 participants: {growth:.1f}x (target <= 12x)")
print("\nAll targets met." if ok else "\nTARGET MISSED.")
sys.exit(0 if ok else 1)
PY
