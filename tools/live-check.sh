#!/usr/bin/env bash
# CI's look at the live board in a real browser: a sample game folder of 24 drivers served by
# `kvrrank --serve 0`, then tools/browser/live-check.js in Debian's headless chromium (a file
# arriving in halves, the page updating in place, the overlay), then Ctrl+C: the board must end
# with exit status 0 within two seconds. Then tools/browser/live-evening-check.js takes a board
# through an evening: started on an empty kvr/, files arriving, killed and started again.
# Screenshots stay in BUILD_DIR/live.
# Usage: tools/live-check.sh [BUILD_DIR]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build/release}")
out="$build/live"
tools/browser/npm-install.sh
rm -rf -- "$out"
mkdir -p -- "$out"
work=$(mktemp -d)
board=
cleanup() {
    [[ -n $board ]] && kill -9 "$board" 2>/dev/null || true
    rm -rf -- "$work"
}
trap cleanup EXIT
"$build/tools/kvrsample" --participants 24 "$work/game" >/dev/null
"$build/tools/kvrsample" --participants 1 --seed 77 "$work/new" >/dev/null
newcomer=$(ls "$work/new/kvr")
head -c 808 "$work/new/kvr/$newcomer" >"$work/half"
(cd "$work/game" && exec "$build/kvrrank" --serve 0 --no-records >"$out/console.txt" 2>&1) &
board=$!
for _ in $(seq 100); do
    grep -q "run 1:" "$out/console.txt" && break
    sleep 0.1
done
url=$(grep -o 'http://127.0.0.1:[0-9]*/' "$out/console.txt" | head -1)
if [[ -z $url ]]; then
    echo "live-check: the board did not start" >&2
    cat "$out/console.txt" >&2
    exit 1
fi
node tools/browser/live-check.js "$url" "$out" "$work/half" "$work/new/kvr/$newcomer" \
    "$work/game/kvr/zz-newcomer.kvr"
start=$(date +%s%N)
kill -INT "$board"
status=0
wait "$board" || status=$?
board=
took=$((($(date +%s%N) - start) / 1000000))
cat "$out/console.txt"
if ((status != 0 || took > 2000)); then
    echo "live-check: Ctrl+C ended the board with status $status after $took ms" >&2
    exit 1
fi
echo "live-check: Ctrl+C ended the board with status 0 after $took ms"
"$build/tools/kvrsample" --participants 17 --seed 5 "$work/evening" >/dev/null
mkdir -- "$work/arriving"
mv -- "$work/evening/kvr/"*.kvr "$work/arriving/"
node tools/browser/live-evening-check.js "$build/kvrrank" "$work/evening" "$work/arriving" "$out"
