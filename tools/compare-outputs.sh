#!/usr/bin/env bash
# Runs two kvrrank binaries side by side on the same synthetic game folders, under the same
# frozen clock, and compares byte for byte what each leaves: exit status, stdout, stderr,
# ranking.txt, Configuration/gameinfo.rcf, the page, the JSON, the CSV, the chat post, the
# season file and the list of files in the folder. Meant for a change that must not change
# any output: build the old and the new program, then
#   tools/compare-outputs.sh OLD/kvrrank NEW/kvrrank
# Both run in the same path, one after the other, so that paths in messages compare too.
# Prints one line per scenario and file; exits 1 on any difference, after the first
# differing bytes of each (cmp), and 2 on a bad command line or a missing tool.
# KEEP_OUTPUTS=1 keeps the folders and what each binary wrote, under old/ and new/.
# The folders are made with kvrsample, taken beside NEW_KVRRANK (NEW/tools/kvrsample) unless
# KVRSAMPLE names one. faketime (Debian's package) is installed when missing.
set -euo pipefail
# shellcheck source=compare-lib.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/compare-lib.sh"
if (($# != 2)); then
    echo "usage: $0 OLD_KVRRANK NEW_KVRRANK" >&2
    exit 2
fi
old=$(realpath -- "$1")
new=$(realpath -- "$2")
sample=${KVRSAMPLE:-$(dirname -- "$new")/tools/kvrsample}
for program in "$old" "$new" "$sample"; do
    if [ ! -x "$program" ]; then
        echo "$0: $program: not an executable program" >&2
        exit 2
    fi
done
if ! command -v faketime >/dev/null; then
    "$(dirname -- "$0")/install-packages.sh" faketime >&2
fi

work=$(mktemp -d)
if [ -n "${KEEP_OUTPUTS-}" ]; then
    echo "compare-outputs: the folders and outputs stay in $work"
else
    trap 'rm -rf -- "$work"' EXIT
fi
export TZ=UTC LC_ALL=C
seeds=$work/seeds # one folder per scenario, as each run starts from it
game=$work/game   # where every run happens, for both binaries
mkdir -p -- "$seeds"

# ---- The scenarios' folders

folder() {
    mkdir -p -- "$seeds/$1"
    "$sample" "$seeds/$1/game" --participants "$2" --seed "$3" >/dev/null
}

folder plain 12 1
folder no-records 12 2
folder exports 16 3

# A league with classes, count-back, the best five rallies and decisions on drivers of the
# folder, named as the page shows them.
folder league 16 4
(cd "$seeds/league/game" && "$new" --no-records --json "$work/names.json" >/dev/null)
mapfile -t drivers < <(python3 -c '
import json, sys
for s in json.load(open(sys.argv[1]))["standings"][:4]:
    print(s["code"]); print(s["name"])' "$work/names.json")
rm -f -- "$seeds/league/game/ranking.txt" "$work/names.json"
files=("$seeds/league/game/kvr/"*.kvr)
decision() { printf '[[decision]]\ndate = 2026-12-0%s\nreason = "%s"\n' "$1" "$2"; }
{
    printf '[points]\nplaces = [25, 18, 15, 12, 10, 8, 6, 4, 2, 1]\ntie_break = "count-back"\n'
    printf 'best_rallies = 5\n\n'
    printf '[[class]]\nname = "Manual gearbox"\ntransmission = "MT"\n\n'
    printf '[[class]]\nname = "Light"\nvehicles = ["hoshin arc", "Marlet 140", "arden pacer mk1"]\n\n'
    printf '[[class]]\nname = "Automatic"\ntransmission = "AT"\n\n'
    decision 1 "the file was edited"
    printf 'action = "exclude-file"\nfile = "%s"\n' "$(basename -- "${files[1]}")"
    decision 2 "no file of this name"
    printf 'action = "exclude-file"\nfile = "gone.kvr"\n'
    decision 3 "jumped the start"
    printf 'action = "add-time"\ncode = "%s"\nname = "%s"\nevent = "Finland 1"\nseconds = 10.5\n' \
        "${drivers[0]}" "${drivers[1]}"
    decision 4 "cut a corner"
    printf 'action = "exclude-time"\ncode = "%s"\nname = "%s"\nevent = "Finland 2"\n' \
        "${drivers[2]}" "${drivers[3]}"
    decision 5 "marshal"
    printf 'action = "add-points"\ncode = "%s"\nname = "%s"\npoints = -7\n' \
        "${drivers[4]}" "${drivers[5]}"
    decision 6 "left early"
    printf 'action = "exclude-driver"\ncode = "%s"\nname = "%s"\n' "${drivers[6]}" "${drivers[7]}"
} >"$seeds/league/game/kvrrank.toml"

# A season: regulars who miss a run now and then, guests who come and go, a second copy of a
# file, and a time edited before the last run.
folder season 14 5
"$sample" "$seeds/season/guests" --participants 10 --seed 6 >/dev/null
mkdir -- "$seeds/season/regulars"
mv -- "$seeds/season/game/kvr/"*.kvr "$seeds/season/regulars/"

# Broken and hostile files beside good ones.
folder hostile 8 7
(
    cd "$seeds/hostile/game/kvr"
    good=(*.kvr)
    head -c 100 -- "${good[0]}" >short.kvr
    head -c 1615 -- "${good[1]}" >"one byte short.kvr"
    { cat -- "${good[2]}" && printf x; } >long.kvr
    : >empty.kvr
    mkdir -- x.kvr
    cp -- "${good[3]}" "-dash.kvr"
    cp -- "${good[3]}" ".hidden.kvr"
    cp -- "${good[4]}" "UPPER.KVR"
    cp -- "${good[5]}" "$(printf 'caf\xc3\xa9 & <b>.kvr')"
    cp -- "${good[5]}" "$(printf 'latin\xe9.kvr')"
    cp -- "${good[6]}" "$(printf 'new\nline.kvr')"
    cp -- "${good[6]}" "notes.txt"
    ln -s -- missing.kvr dangling.kvr
    head -c 1616 /dev/zero >zeros.kvr
)

# The league's folder, named on the command line from the folder above it: its kvrrank.toml is
# read as the game folder's own, with outputs of its own beside it.
mkdir -p -- "$seeds/given"
cp -a -- "$seeds/league/game" "$seeds/given/game"
printf '[outputs]\nhtml = "out.html"\npost = "out.md"\n' >>"$seeds/given/game/kvrrank.toml"

# A failure: the game's records file is missing.
folder failure 6 8
rm -- "$seeds/failure/game/Configuration/gameinfo.rcf"

# ---- Running

exports=(--html out.html --json out.json --csv out.csv --post out.md --history season.jsonl)

# kvrrank ARGS... under the frozen clock of day $day, its exit status, stdout and stderr kept
# in $into as $tag.*.
kvrrank() {
    local status=0
    (cd "$game" && timeout 60 faketime -f "2026-12-$day 20:00:00" "$binary" "$@" \
        >"$into/$tag.stdout" 2>"$into/$tag.stderr") || status=$?
    echo "$status" >"$into/$tag.exit"
}

scenario() {
    local name=$1
    day=08
    tag=run
    case $name in
    plain | failure) kvrrank ;;
    no-records) kvrrank --no-records ;;
    exports | hostile) kvrrank "${exports[@]}" ;;
    league) kvrrank "${exports[@]}" --league kvrrank.toml ;;
    given)
        # From the folder above, which the outputs named on the command line are taken from.
        tag=run1
        game=$game/.. kvrrank --json game/out.json --history game/season.jsonl game
        tag=run2
        game=$game/.. kvrrank --no-records --csv game/out.csv "$game"
        ;;
    season)
        local run i regulars guests
        regulars=("$seeds/season/regulars/"*.kvr)
        guests=("$seeds/season/guests/kvr/"*.kvr)
        for run in 1 2 3 4; do
            rm -f -- "$game/kvr/"*.kvr
            for i in "${!regulars[@]}"; do
                if ((i != run)); then
                    cp -- "${regulars[$i]}" "$game/kvr/"
                fi
            done
            for ((i = run * 2 - 2; i < run * 2 + 2; ++i)); do
                cp -- "${guests[$i]}" "$game/kvr/guest-$(basename -- "${guests[$i]}")"
            done
            if ((run >= 3)); then
                cp -- "${regulars[0]}" "$game/kvr/again.kvr"
            fi
            if ((run == 4)); then
                # 10.00 s on the first arcade event: the stored time's four bytes.
                printf '\xe9\x03\x00\x00' |
                    dd of="$game/kvr/$(basename -- "${regulars[2]}")" bs=1 seek=1348 \
                        conv=notrunc status=none
            fi
            day=0$run
            tag=run$run
            kvrrank "${exports[@]}"
        done
        ;;
    esac
}

compared=(ranking.txt Configuration/gameinfo.rcf out.html out.json out.csv out.md season.jsonl)
scenarios=(plain no-records exports league given season hostile failure)
for side in old new; do
    binary=${!side}
    for name in "${scenarios[@]}"; do
        into=$work/$side/$name
        mkdir -p -- "$into"
        rm -rf -- "$game"
        cp -a -- "$seeds/$name/game" "$game"
        scenario "$name"
        for file in "${compared[@]}"; do
            if [ -e "$game/$file" ]; then
                mkdir -p -- "$(dirname -- "$into/files/$file")"
                cp -- "$game/$file" "$into/files/$file"
            fi
        done
        (cd "$game" && find . -printf '%y %s %P\n' | sort) >"$into/folder.list"
    done
done

# ---- Comparing

compare_sides "$work" "${scenarios[@]}"
if ((different)); then
    echo "compare-outputs: the outputs differ"
    exit 1
fi
echo "compare-outputs: every output is the same"
