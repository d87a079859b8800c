#!/usr/bin/env bash
# The Windows program's live board under Wine: `kvrrank.exe --serve 0` in a sample game folder
# answers /ranking.json, picks up a participant file added to kvr/, tells a second run beside it
# on that run's first line that the board holds the season, and ends on Ctrl+C (SIGINT, which
# Wine hands to the console's control handler) with exit status 0.
# Usage: tools/live-wine.sh WINDOWS_BUILD_DIR KVRSAMPLE   (Wine set up as .ci/run sets it up)
set -euo pipefail
build=$(realpath "$1")
sample=$(realpath "$2")
work=$(mktemp -d)
board=
cleanup() {
    [[ -n $board ]] && kill -9 "$board" 2>/dev/null || true
    rm -rf -- "$work"
}
trap cleanup EXIT
"$sample" --participants 6 "$work/game" >/dev/null
"$sample" --participants 1 --seed 77 "$work/new" >/dev/null
newcomer=$(ls "$work/new/kvr")
(cd "$work/game" && exec wine "$build/kvrrank.exe" --serve 0 --no-records \
    --history season.jsonl >"$work/console.txt" 2>&1 </dev/null) &
board=$!
for _ in $(seq 300); do
    grep -q "run 1:" "$work/console.txt" && break
    sleep 0.1
done
url=$(grep -o 'http://127.0.0.1:[0-9]*/' "$work/console.txt" | head -1 || true)
if [[ -z $url ]]; then
    echo "live-wine: the board did not start" >&2
    cat "$work/console.txt" >&2
    exit 1
fi
drivers() {
    curl -sf "${url}ranking.json" | python3 -c 'import json, sys; print(len(json.load(sys.stdin)["participants"]))'
}
before=$(drivers)
cp "$work/new/kvr/$newcomer" "$work/game/kvr/zz-newcomer.kvr"
after=$before
for _ in $(seq 100); do
    after=$(drivers)
    ((after != before)) && break
    sleep 0.1
done
# A run beside the board: its first line names the board and its process, then it waits 10 s
# for the season and gives up with exit status 1.
second=0
(cd "$work/game" && timeout 60 wine "$build/kvrrank.exe" --history season.jsonl --no-records \
    >"$work/second.txt" 2>&1 </dev/null) || second=$?
told=$(head -n 1 "$work/second.txt" | tr -d '\r')
echo "live-wine: a second run beside the board said first: $told (exit status $second)"
owner=0
[[ $told =~ season\.jsonl\ is\ held\ by\ the\ kvrrank\ board\ \(process\ [0-9]+\)\ since ]] &&
    ((second == 1)) || owner=1
kill -INT "$board"
status=0
for _ in $(seq 50); do
    kill -0 "$board" 2>/dev/null || break
    sleep 0.1
done
if kill -0 "$board" 2>/dev/null; then
    status=timeout
else
    wait "$board" || status=$?
fi
board=
tr -d '\r' <"$work/console.txt"
echo "live-wine: /ranking.json had $before drivers, then $after; Ctrl+C: exit status $status"
((after == before + 1)) && [[ $status == 0 ]] && ((owner == 0))
