#!/usr/bin/env bash
# Runs two kvrrank binaries on the same sample folders under a frozen clock and compares every
# file and stream they leave: stdout, stderr, the exit status, ranking.txt, the records file, the
# page, the JSON, the CSV, the chat post and the history. A season of 24 runs of 300 drivers
# under a league file (points, count-back, best rallies, two classes and decisions of every
# kind, two of which match nothing), with files leaving and coming back, an outlying time, a cut
# file and a foreign history line; three more runs without the league; then one run of 100,000
# participants on a history of 30 runs. Needs faketime and python3.
# Usage: tools/compare-season.sh OLD_KVRRANK NEW_KVRRANK KVRSAMPLE WORK_DIR
set -euo pipefail
if (($# != 4)); then
    echo "usage: $0 OLD_KVRRANK NEW_KVRRANK KVRSAMPLE WORK_DIR" >&2
    exit 2
fi
old=$(realpath "$1") new=$(realpath "$2") sample=$(realpath "$3") work=$4
mkdir -p "$work"
if [[ -n $(ls -A "$work") ]]; then
    echo "$0: $work is not empty" >&2
    exit 2
fi
fail=0
statuses=""
compared=0

# The league: places, count-back, best rallies, two classes, and decisions of every kind.
league() { # a first run's JSON export
    local json=$1
    python3 - "$json" <<'PY'
import json, sys
j = json.load(open(sys.argv[1]))
d = j["drivers"]
def q(s): return json.dumps(s, ensure_ascii=False)
first, second, third, fourth, fifth = d[0], d[1], d[2], d[3], d[4]
def ev(driver, k=0): return driver["results"][k]["event"]
print('[points]\nplaces = [25, 18, 15, 12, 10, 8, 6, 4, 2, 1]\ntie_break = "count-back"\nbest_rallies = 6\n')
print('[[class]]\nname = "Manual gearbox"\ntransmission = "MT"\n')
print('[[class]]\nname = "Light cars"\nvehicles = ["hoshin arc", "marlet 140"]\n')
dec = []
dec.append(('exclude-time', first, {"event": ev(first)}))
dec.append(('add-time', second, {"event": ev(second), "seconds": 12.5}))
dec.append(('add-time', second, {"event": ev(second), "seconds": 0.07}))
dec.append(('add-points', third, {"points": 5}))
dec.append(('add-points', fourth, {"points": -1}))
dec.append(('exclude-driver', fifth, {}))
dec.append(('exclude-file', None, {"file": d[6]["file"]}))
dec.append(('exclude-file', None, {"file": "nobody.kvr"}))
dec.append(('add-points', {"code": "ZZZ", "name": "Nobody"}, {"points": 1}))
for i, (action, who, extra) in enumerate(dec):
    print('[[decision]]\ndate = 2026-10-0%d\nreason = "reason %d: <checked> & \\"quoted\\""\naction = "%s"' % (i % 9 + 1, i, action))
    if who is not None:
        print('code = %s\nname = %s' % (q(who["code"]), q(who["name"])))
    for k, v in extra.items():
        print('%s = %s' % (k, q(v) if isinstance(v, str) else v))
    print()
PY
}

# Runs both binaries once: $1 label, $2 date, then kvrrank arguments (the folder last).
both() {
    local label=$1 day=$2; shift 2
    for side in old new; do
        local bin=$old; [[ $side == new ]] && bin=$new
        local dir=$work/$side
        set +e
        (cd "$dir" && faketime -f "$day 12:00:00" "$bin" --html "$dir/out.html" --json "$dir/out.json" \
            --csv "$dir/out.csv" --post "$dir/out.md" --history "$dir/season.jsonl" "$@" game \
            >"$dir/stdout" 2>"$dir/stderr")
        echo $? >"$dir/status"
        set -e
        sed -i "s#$dir#DIR#g" "$dir/stderr" "$dir/stdout"
    done
    statuses="$statuses $(cat "$work/old/status")"
    for f in stdout stderr status out.html out.json out.csv out.md season.jsonl game/ranking.txt \
        game/Configuration/gameinfo.rcf; do
        compared=$((compared + 1))
        if [[ ! -e $work/old/$f ]]; then echo "MISSING after $label: $f"; fail=1; continue; fi
        if ! cmp -s "$work/old/$f" "$work/new/$f"; then
            echo "DIFFERS after $label: $f"; fail=1
        fi
    done
}

setup() { # participants seed
    rm -rf "$work/old" "$work/new" "$work/pool"
    "$sample" "$work/pool" --participants "$1" --seed "$2" >/dev/null
    mkdir -p "$work/old" "$work/new"
    cp -r "$work/pool" "$work/old/game"; cp -r "$work/pool" "$work/new/game"
}

# A season of 24 runs of 300 drivers under a league file: files leave and come back between
# runs, and one gets an outlying time.
setup 300 11
mapfile -t files < <(find "$work/pool/kvr" -name '*.kvr' -printf '%f\n' | sort)
"$old" --no-records --json "$work/first.json" "$work/pool" >/dev/null
league "$work/first.json" >"$work/league.toml"
cp "$work/league.toml" "$work/old/"; cp "$work/league.toml" "$work/new/"
for run in $(seq 1 24); do
    for side in old new; do
        rm -f "$work/$side/game/kvr/"*.kvr
        for i in "${!files[@]}"; do
            if (( (i + run) % 7 != 0 )); then cp "$work/pool/kvr/${files[$i]}" "$work/$side/game/kvr/"; fi
        done
        if (( run == 20 )); then
            printf '\xe9\x03\x00\x00' | dd of="$work/$side/game/kvr/${files[2]}" bs=1 seek=1348 conv=notrunc status=none
            head -c 1000 "$work/pool/kvr/${files[3]}" >"$work/$side/game/kvr/cut.kvr"
        fi
        if (( run == 22 )); then printf 'a line an editor left\n' >>"$work/$side/season.jsonl"; fi
    done
    day=$(date -d "2026-11-01 + $run days" +%F)
    both "league run $run" "$day" --league "$work/league.toml"
done

# The same season's folder without a league, three more runs into the same history.
for run in 25 26 27; do
    day=$(date -d "2026-11-01 + $run days" +%F)
    both "plain run $run" "$day"
done

# A large field: 100,000 participants, with the league, on a history of 30 copies of its run.
setup 100000 1
for side in old new; do
    (cd "$work/$side" && faketime -f "2026-12-07 12:00:00" "$old" --no-records --history one.jsonl game >/dev/null)
    for i in $(seq 30); do cat "$work/$side/one.jsonl"; done >"$work/$side/season.jsonl"
done
both "large run" "2026-12-08" --league "$work/league.toml"

echo "exit statuses:$statuses"
echo "$compared files compared"
if ((fail == 0)); then echo "All the same."; fi
exit $fail
