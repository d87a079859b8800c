#!/usr/bin/env bash
# A season of four weekly runs as an organiser with decisions lives it, made with the built
# programs under a frozen clock: a sample group of ten with a league file (best six rallies, a
# manual-gearbox class, a page link); in run 2 a new driver and an impossible arcade time; in
# run 3 the review's block pasted with a penalty and a points adjustment, a copied file, a
# driver gone and another new; in run 4 the copy's block pasted. Prints each run's chat post
# and the --review listing after runs 2 to 4. Leaves in OUT_DIR: game/ (with the last page),
# ranking-3.html (run 3's page) and the pasted blocks. Needs faketime.
# Usage: tools/decisions-sample.sh BUILD_DIR OUT_DIR
set -euo pipefail
if (($# != 2)); then
    echo "usage: $0 BUILD_DIR OUT_DIR" >&2
    exit 2
fi
build=$(realpath "$1")
out=$(realpath -m "$2")
rm -rf -- "$out"
mkdir -p -- "$out"
"$build/tools/kvrsample" "$out/regulars" --participants 12 --seed 7 >/dev/null
mapfile -t regulars < <(find "$out/regulars/kvr" -name '*.kvr' | sort)
cp -r "$out/regulars" "$out/game"
rm -f "$out/game/kvr/"*.kvr
g="$out/game"
for i in $(seq 0 9); do cp "${regulars[$i]}" "$g/kvr/"; done

cat >"$g/kvrrank.toml" <<'TOML'
[outputs]
post = "week.md"
history = "season.jsonl"
html = "ranking.html"
json = "ranking.json"
page_url = "https://example.org/league/ranking.html"

[points]
best_rallies = 6

[[class]]
name = "Manual gearbox"
transmission = "MT"
TOML
cp "$g/kvrrank.toml" "$out/league-base.toml"
cd "$g"
# A run on a day at 20:00, then its post.
run() {
    faketime "$1 20:00:00" "$build/kvrrank" >/dev/null
    echo "===== post of run $2"
    cat week.md
    echo
}
review() {
    echo "===== --review after run $2"
    faketime "$1 20:05:00" "$build/kvrrank" --review | tee "$out/review$2.toml"
}
run 2026-12-01 1
# Run 2: a new driver comes; another sends an impossible time in the first arcade event (its
# four bytes, little-endian, in the first arcade result).
cp "${regulars[10]}" kvr/guest-a.kvr
printf '\xe9\x03\x00\x00' |
    dd of="kvr/$(basename "${regulars[2]}")" bs=1 seek=1348 conv=notrunc status=none
run 2026-12-08 2
review 2026-12-08 2
# A penalty for the fourth of the standings, an adjustment for the last.
python3 - "$g/ranking.json" <<'PY' >"$out/more.toml"
import json, sys
s = json.load(open(sys.argv[1]))["standings"]
a, b = s[3], s[-1]
print('[[decision]]\ndate = 2026-12-15\naction = "add-time"\ncode = %s\nname = %s\nevent = "Finland 1"\nseconds = 10\nreason = "cut the chicane"\n' % (json.dumps(a["code"]), json.dumps(a["name"])))
print('[[decision]]\ndate = 2026-12-15\naction = "add-points"\ncode = %s\nname = %s\npoints = -5\nreason = "late file"\n' % (json.dumps(b["code"]), json.dumps(b["name"])))
PY
# Run 3: the outlier's block pasted with the penalty and the adjustment; a copied file; a
# driver leaves and another comes.
cat "$out/league-base.toml" "$out/review2.toml" "$out/more.toml" >kvrrank.toml
cp "kvr/$(basename "${regulars[0]}")" "kvr/again.kvr"
rm "kvr/$(basename "${regulars[5]}")"
cp "${regulars[11]}" kvr/guest-b.kvr
run 2026-12-15 3
cp ranking.html "$out/ranking-3.html"
review 2026-12-15 3
# Run 4: the copy's block pasted.
cat "$out/review3.toml" >>kvrrank.toml
run 2026-12-22 4
review 2026-12-22 4
rm -rf -- "$out/regulars"
