#!/usr/bin/env bash
# A season as an organiser plays it, made with the built programs: six runs of kvrrank with a
# history on a game folder of about thirty drivers, with files removed, swapped and copied
# between the runs. From run 4 a copy of one file makes a duplicate; before the last run a cut
# file is added, which is not imported, one file gets an outlying time and the history gains a
# line that is not a run. The last run writes the page.
# Leaves in OUT_DIR: game/ (the folder), season.jsonl, ranking.html, the ranking.txt of the
# last two runs as ranking-before.txt and ranking-last.txt, and the last run's stderr as
# last-run.err.
# Usage: tools/season-sample.sh BUILD_DIR OUT_DIR
set -euo pipefail
if (($# != 2)); then
    echo "usage: $0 BUILD_DIR OUT_DIR" >&2
    exit 2
fi
build=$1
out=$2
rm -rf -- "$out"
mkdir -p -- "$out"

# Two pools of drivers: 24 who play the whole season and 20 who come and go.
"$build/tools/kvrsample" "$out/regulars" --participants 24 --seed 7 >/dev/null
"$build/tools/kvrsample" "$out/guests" --participants 20 --seed 8 >/dev/null
mapfile -t regulars < <(find "$out/regulars/kvr" -name '*.kvr' | sort)
mapfile -t guests < <(find "$out/guests/kvr" -name '*.kvr' | sort)
cp -r -- "$out/regulars" "$out/game"

kvrrank() { "$build/kvrrank" --no-records --history "$out/season.jsonl" "$@" "$out/game" >/dev/null; }

for run in 1 2 3 4 5 6; do
    rm -f -- "$out/game/kvr/"*.kvr
    for i in "${!regulars[@]}"; do
        # One regular misses each of runs 2 to 4, and six miss run 5: back in run 6, they
        # break records that run 5 set without them.
        if ! ((run >= 2 && run <= 4 && i == run - 1 || run == 5 && i < 6)); then
            cp -- "${regulars[$i]}" "$out/game/kvr/"
        fi
    done
    # Six guests a run, two of them new each time.
    for ((i = (run - 1) * 2; i < (run - 1) * 2 + 6; ++i)); do
        cp -- "${guests[$i]}" "$out/game/kvr/guest-$(basename "${guests[$i]}")"
    done
    # From run 4 on one driver sends a second copy of the same file, even in the run that
    # misses the first.
    if ((run >= 4)); then
        cp -- "${regulars[0]}" "$out/game/kvr/again-$(basename "${regulars[0]}")"
    fi
    if ((run == 6)); then
        cp -- "$out/game/ranking.txt" "$out/ranking-before.txt"
        head -c 1000 "${regulars[1]}" >"$out/game/kvr/cut.kvr"
        # A time too good to be true: 10.00 s on the first arcade event (the time's four bytes,
        # little-endian, in the first arcade result).
        printf '\xe9\x03\x00\x00' |
            dd of="$out/game/kvr/$(basename "${regulars[2]}")" bs=1 seek=1348 conv=notrunc status=none
        printf 'a line an editor left\n' >>"$out/season.jsonl"
        # The cut file is left out, with a line on stderr, and the run still succeeds.
        kvrrank --html "$out/ranking.html" 2>"$out/last-run.err"
        cp -- "$out/game/ranking.txt" "$out/ranking-last.txt"
    else
        kvrrank
    fi
done
rm -rf -- "$out/regulars" "$out/guests"
echo "season-sample: six runs in $out/game, the last page $out/ranking.html"
