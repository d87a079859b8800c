#!/usr/bin/env bash
# Measures kvrrank against the I/O floor on sample folders of 1,000, 10,000 and 100,000
# participants: warm cache, median of several runs, peak memory, and the growth in time; the
# same run writing all three exports (--html --json --csv) beside the report, with the memory
# the streamed exports add and the sizes of the HTML and JSON written; and that run again with
# --history on a history of 100 snapshots.
# Then a league file on the largest folder (100,000 participants when measured): the runs
# with and without it. And a season of 1,000 snapshots of a 30-driver group: the run with
# --history against the same run without it.
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

    # A history of 100 snapshots of this group, put back before each run with it: the first
    # names every entrant, the others only what changed (nothing), as a season writes them.
    "$kvrrank" --history "$work/one.jsonl" >/dev/null
    "$kvrrank" --history "$work/one.jsonl" >/dev/null
    { head -n 1 "$work/one.jsonl"; for ((i = 0; i < 99; ++i)); do tail -n 1 "$work/one.jsonl"; done; } \
        >"$work/history-$n.jsonl"
    rm "$work/one.jsonl"

    restore="cp '$work/gameinfo-$n.rcf' Configuration/gameinfo.rcf"
    floor="find kvr -name '*.kvr' -exec cat {} + >/dev/null && head -c $report_size /dev/zero >'$work/floor.out'"
    exports="--html '$work/x.html' --json '$work/x.json' --csv '$work/x.csv'"
    history="--history '$work/h.jsonl'"
    hyperfine --style none --warmup 2 --runs "$runs" --export-json "$work/hf-$n.json" \
        --prepare "$restore" -n kvrrank "'$kvrrank' >/dev/null" \
        --prepare "$restore" -n exports "'$kvrrank' $exports >/dev/null" \
        --prepare "$restore && cp '$work/history-$n.jsonl' '$work/h.jsonl'" \
        -n history "'$kvrrank' $exports $history >/dev/null" \
        --prepare "$restore" -n floor "$floor" >/dev/null 2>"$work/hf-$n.err" ||
        { cat "$work/hf-$n.err" >&2; exit 1; }

    peak() { # kvrrank arguments...
        eval "$restore"
        { /usr/bin/time -v "$kvrrank" "$@" >/dev/null; } 2>&1 |
            awk -F: '/Maximum resident set size/ {gsub(/ /, "", $2); print $2}'
    }
    peak_kb=$(peak)
    exports_peak_kb=$(peak --html "$work/x.html" --json "$work/x.json" --csv "$work/x.csv")
    sizes_kib=$(stat -c %s "$work/x.html" "$work/x.json" | awk '{printf "%s\t", $1 / 1024}')
    cp "$work/history-$n.jsonl" "$work/h.jsonl"
    history_peak_kb=$(peak --html "$work/x.html" --json "$work/x.json" --csv "$work/x.csv" \
        --history "$work/h.jsonl")
    python3 - "$work/hf-$n.json" "$n" "$peak_kb" "$exports_peak_kb" "$history_peak_kb" \
        $sizes_kib >>"$results" <<'PY'
import json, sys
data = json.load(open(sys.argv[1]))
by = {r["command"]: r for r in data["results"]}
k, e, h, f = by["kvrrank"], by["exports"], by["history"], by["floor"]
print("\t".join(str(x) for x in (sys.argv[2], k["median"], k["user"], k["system"],
                                 f["median"], sys.argv[3], e["median"], sys.argv[4],
                                 h["median"], sys.argv[5], sys.argv[6], sys.argv[7])))
PY
    cd "$root"
done

status=0
python3 - "$results" <<'PY' || status=1
import sys
rows = [line.split("\t") for line in open(sys.argv[1]).read().splitlines()]
print("| participants | kvrrank median (s) | user (s) | sys (s) | I/O floor median (s) "
      "| ratio (target <= 0.6) | peak RSS (MiB) | memory limit (MiB) "
      "| with exports median (s) | ratio (target <= 1.3) | peak RSS with exports (MiB) "
      "| exports' extra memory (MiB, target <= 16) "
      "| exports and 100-run history median (s) | ratio (target <= 1.3) "
      "| peak RSS with history (MiB) | HTML (KiB) | JSON (KiB) |")
print("|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|")
medians = {}
ok = True
for n, wall, user, system, floor, peak, exports, exports_peak, history, history_peak, html, json_kib in rows:
    n, wall, floor, peak = int(n), float(wall), float(floor), int(peak)
    exports, exports_peak = float(exports), int(exports_peak)
    history, history_peak = float(history), int(history_peak)
    medians[n] = wall
    ratio = wall / floor
    exports_ratio = exports / floor
    history_ratio = history / floor
    # The records (884 bytes each) and the model: about 1.1 KiB a participant, and at
    # 100,000 participants at most 112 MiB.
    limit_kib = min(int(n * 1.1) + 8 * 1024, 112 * 1024) if n == 100000 else int(n * 1.1) + 8 * 1024
    # The exports stream through a bounded buffer: they add at most 16 MiB at any size.
    extra_kib = exports_peak - peak
    ok = ok and peak <= limit_kib and extra_kib <= 16 * 1024
    ok = ok and (n < 100000 or (ratio <= 0.6 and exports_ratio <= 1.3 and history_ratio <= 1.3))
    print(f"| {n:,} | {wall:.3f} | {float(user):.3f} | {float(system):.3f} | {floor:.3f} "
          f"| {ratio:.2f} | {peak / 1024:.1f} | {limit_kib / 1024:.1f} "
          f"| {exports:.3f} | {exports_ratio:.2f} | {exports_peak / 1024:.1f} "
          f"| {extra_kib / 1024:.1f} | {history:.3f} | {history_ratio:.2f} "
          f"| {history_peak / 1024:.1f} | {float(html):,.0f} | {float(json_kib):,.0f} |")
if 10000 in medians and 100000 in medians:
    growth = medians[100000] / medians[10000]
    ok = ok and growth <= 12
    print(f"\nTime growth from 10,000 to 100,000 participants: {growth:.1f}x (target <= 12x)")
print("\nAll targets met." if ok else "\nTARGET MISSED.")
sys.exit(0 if ok else 1)
PY

# A league file (10 places, count-back, the best 6 rallies, two classes) on the largest folder
# measured: the plain run and the run with the three exports, each with and without it.
league_n=${sizes[-1]}
for n in "${sizes[@]}"; do
    if ((n == 100000)); then
        league_n=$n
    fi
done
cat >"$work/league.toml" <<'TOML'
[points]
places = [25, 18, 15, 12, 10, 8, 6, 4, 2, 1]
tie_break = "count-back"
best_rallies = 6

[[class]]
name = "Manual gearbox"
transmission = "MT"

[[class]]
name = "Light cars"
vehicles = ["hoshin arc", "marlet 140"]
TOML
game="$work/game-$league_n"
cd "$game"
restore="cp '$work/gameinfo-$league_n.rcf' Configuration/gameinfo.rcf"
exports="--html '$work/x.html' --json '$work/x.json' --csv '$work/x.csv'"
league="--league '$work/league.toml'"
hyperfine --style none --warmup 2 --runs "$runs" --export-json "$work/hf-league.json" \
    --prepare "$restore" -n plain "'$kvrrank' >/dev/null" \
    --prepare "$restore" -n plain-league "'$kvrrank' $league >/dev/null" \
    --prepare "$restore" -n exports "'$kvrrank' $exports >/dev/null" \
    --prepare "$restore" -n exports-league "'$kvrrank' $exports $league >/dev/null" \
    >/dev/null 2>"$work/hf-league.err" || { cat "$work/hf-league.err" >&2; exit 1; }
league_peaks=()
for arguments in "" "--league $work/league.toml" \
    "--html $work/x.html --json $work/x.json --csv $work/x.csv" \
    "--html $work/x.html --json $work/x.json --csv $work/x.csv --league $work/league.toml"; do
    eval "$restore"
    # shellcheck disable=SC2086 # the arguments are words without blanks
    league_peaks+=("$({ /usr/bin/time -v "$kvrrank" $arguments >/dev/null; } 2>&1 |
        awk -F: '/Maximum resident set size/ {gsub(/ /, "", $2); print $2}')")
done
cd "$root"
python3 - "$work/hf-league.json" "$league_n" "${league_peaks[@]}" <<'PY' || status=1
import json, sys
by = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
n = int(sys.argv[2])
peaks = [int(p) for p in sys.argv[3:7]]
print(f"\nA league file (10 places, count-back, best 6 rallies, two classes) at {n:,} participants:\n")
print("| run | without league median (s) | with league median (s) | ratio (target <= 1.2) "
      "| peak RSS without (MiB) | peak RSS with (MiB) | league's extra memory (MiB, target <= 16) |")
print("|---|---:|---:|---:|---:|---:|---:|")
ok = True
for name, label, (without_kib, with_kib) in (("plain", "plain", peaks[0:2]),
                                             ("exports", "with exports", peaks[2:4])):
    a, b = by[name]["median"], by[name + "-league"]["median"]
    ratio = b / a
    extra = with_kib - without_kib
    ok = ok and ratio <= 1.2 and extra <= 16 * 1024
    print(f"| {label} | {a:.3f} | {b:.3f} | {ratio:.2f} | {without_kib / 1024:.1f} "
          f"| {with_kib / 1024:.1f} | {extra / 1024:.1f} |")
print("\nLeague targets met." if ok else "\nLEAGUE TARGET MISSED.")
sys.exit(0 if ok else 1)
PY

# A long season: 1,000 snapshots of a 30-driver group, read and appended to by one run.
game="$work/season"
"$kvrsample" "$game" --participants 30 --seed 1 >/dev/null
cd "$game"
"$kvrrank" --no-records --history "$work/one.jsonl" >/dev/null
"$kvrrank" --no-records --history "$work/one.jsonl" >/dev/null
{ head -n 1 "$work/one.jsonl"; for ((i = 0; i < 999; ++i)); do tail -n 1 "$work/one.jsonl"; done; } \
    >"$work/season.jsonl"
hyperfine --style none --warmup 2 --runs "$runs" --export-json "$work/hf-season.json" \
    --prepare "cp '$work/season.jsonl' '$work/h.jsonl'" \
    -n history "'$kvrrank' --no-records --history '$work/h.jsonl' >/dev/null" \
    --prepare "cp '$work/season.jsonl' '$work/h.jsonl'" \
    -n plain "'$kvrrank' --no-records >/dev/null" >/dev/null 2>"$work/hf-season.err" ||
    { cat "$work/hf-season.err" >&2; exit 1; }
cd "$root"
python3 - "$work/hf-season.json" "$(stat -c %s "$work/season.jsonl")" <<'PY' || status=1
import json, sys
by = {r["command"]: r for r in json.load(open(sys.argv[1]))["results"]}
h, p = by["history"]["median"], by["plain"]["median"]
print(f"\nA history of 1,000 snapshots of 30 drivers ({int(sys.argv[2]) / 2**20:.1f} MiB): "
      f"the run with it {h:.3f} s, without it {p:.3f} s; reading and appending "
      f"{h - p:.3f} s (target < 0.2 s)")
sys.exit(0 if h - p < 0.2 else 1)
PY
exit $status
