#!/usr/bin/env bash
# Runs two kvrrank binaries through the same evening at a live board, one after the other in
# the same path, and compares byte for byte what each leaves: stdout, stderr, the exit status
# after Ctrl+C, ranking.txt, the page, the JSON, the chat post, the season file, the list of
# files in the folder and, with --serve, every answer fetched after each step (status line,
# headers but Date, body). Meant for a change that must not change what a watch does:
#   tools/compare-watch.sh OLD/kvrrank NEW/kvrrank [KVRSAMPLE]
# Two scenarios: "watch" (--watch) and "serve" (--serve 127.0.0.1:PORT, one free port for
# both binaries, so that the addresses it prints compare too). The evening, in steps: the
# first run on 12 participants; a file copied in whole; a file copied in two halves by two
# writers (the closed half told as cut, then whole); a cut file of 1000 bytes; a file removed;
# a league file with its own points; then a
# broken league file. Each step waits for the console line it causes (at most 15 s), never
# for a fixed time. The wall clock is frozen (libfaketime) and the steady clock left alone,
# so that files still settle.
# Prints one line per scenario and file; exits 1 on any difference, after the first
# differing bytes of each (cmp), or when a step's line never came; 2 on a bad command line or
# a missing tool. KEEP_OUTPUTS=1 keeps the folders and what each binary left, under old/ and
# new/. The folders are made with KVRSAMPLE, by default NEW/tools/kvrsample (or $KVRSAMPLE).
# faketime and curl (Debian's packages) are installed when missing.
set -euo pipefail
# shellcheck source=compare-lib.sh
source "$(dirname -- "${BASH_SOURCE[0]}")/compare-lib.sh"
if (($# < 2 || $# > 3)); then
    echo "usage: $0 OLD_KVRRANK NEW_KVRRANK [KVRSAMPLE]" >&2
    exit 2
fi
old=$(realpath -m -- "$1")
new=$(realpath -m -- "$2")
sample=$(realpath -m -- "${3:-${KVRSAMPLE:-$(dirname -- "$new")/tools/kvrsample}}")
for program in "$old" "$new" "$sample"; do
    if [ ! -x "$program" ] || [ -d "$program" ]; then
        echo "$0: $program: not an executable program" >&2
        exit 2
    fi
done
missing=()
command -v faketime >/dev/null || missing+=(faketime)
command -v curl >/dev/null || missing+=(curl)
if ((${#missing[@]})); then
    "$(dirname -- "$0")/install-packages.sh" "${missing[@]}" >&2
fi
# The library faketime(1) preloads, preloaded here without faketime in between: the pid is
# then kvrrank's own, Ctrl+C reaches it, and its exit status comes as it is (faketime relays
# a death by a signal as 1).
faketime_lib=
for candidate in /usr/lib/*/faketime/libfaketime.so.1 /usr/lib/faketime/libfaketime.so.1; do
    if [ -f "$candidate" ]; then
        faketime_lib=$candidate
        break
    fi
done
if [ -z "$faketime_lib" ]; then
    echo "$0: libfaketime.so.1 not found (Debian's faketime package)" >&2
    exit 2
fi

work=$(mktemp -d)
board= # the kvrrank running now, if any
cleanup() {
    if [ -n "$board" ]; then
        kill -KILL "$board" 2>/dev/null || true
        wait "$board" 2>/dev/null || true
    fi
    if [ -z "${KEEP_OUTPUTS-}" ]; then
        rm -rf -- "$work"
    fi
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
if [ -n "${KEEP_OUTPUTS-}" ]; then
    echo "compare-watch: the folders and outputs stay in $work"
fi
export TZ=UTC LC_ALL=C
seed=$work/seed/game # the folder each run starts from
more=$work/seed/more # where the files that arrive during the evening come from
game=$work/game      # where every run happens, for both binaries
timeout_s=15
mkdir -p -- "$work/seed"

"$sample" "$seed" --participants 12 --seed 1 >/dev/null
"$sample" "$more" --participants 6 --seed 2 >/dev/null
# Arrivals whose names the seed folder does not have, so that each is a new participant.
arrivals=()
for file in "$more/kvr/"*.kvr; do
    if [ ! -e "$seed/kvr/$(basename -- "$file")" ]; then
        arrivals+=("$file")
    fi
done
if ((${#arrivals[@]} < 3)); then
    echo "$0: the second sample folder has too few new names" >&2
    exit 2
fi
mapfile -t seeded < <(cd "$seed/kvr" && ls -- *.kvr)
leaving=${seeded[3]} # the participant who goes home early

# A free port, chosen once: both binaries serve on it in turn.
port=$(python3 -c '
import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])')

# ---- Running

exports=(--no-records --html page.html --json ranking.json --post post.md --history season.jsonl)

# Waits until FILE holds the fixed TEXT, at most $timeout_s seconds, and notes the step in
# $into/steps either way. Gives up at once when kvrrank has ended.
await() {
    local step=$1 file=$2 text=$3 deadline
    deadline=$(($(date +%s%N) + timeout_s * 1000000000))
    while ! grep -qF -- "$text" "$file"; do
        if ! kill -0 "$board" 2>/dev/null; then
            echo "$step: ended before \"$text\"" >>"$into/steps"
            failed+=("$side $name: $step: kvrrank ended before \"$text\"")
            return 1
        fi
        if (($(date +%s%N) > deadline)); then
            echo "$step: no \"$text\" within $timeout_s s" >>"$into/steps"
            failed+=("$side $name: $step: no \"$text\" within $timeout_s s")
            return 1
        fi
        sleep 0.05
    done
    echo "$step: \"$text\"" >>"$into/steps"
}

# With --serve: the board's answers after a step, each kept as status line, headers but
# Date, an empty line and the body.
fetch() {
    local step=$1 target shown
    [ "$name" = serve ] || return 0
    mkdir -p -- "$into/fetched"
    for target in / /ranking.json '/overlay?top=5' /live.js; do
        shown=${target#/}
        shown=${shown:-page}
        shown=${shown//[?=]/-}
        curl --noproxy '*' -sS --max-time "$timeout_s" -D "$work/head" -o "$work/body" \
            "http://127.0.0.1:$port$target" 2>"$work/curl.err" || echo "curl: $(cat "$work/curl.err")" >>"$work/head"
        {
            grep -aiv '^date:' "$work/head" || true
            printf '\n'
            cat -- "$work/body" 2>/dev/null || true
        } >"$into/fetched/$step.$shown"
        rm -f -- "$work/head" "$work/body" "$work/curl.err"
    done
}

# The evening. A step that does not come stops it; what was left is still compared.
evening() {
    local out=$into/stdout err=$into/stderr half size
    await 1-first "$out" "run 1:" || return 0
    fetch 1-first

    cp -- "${arrivals[0]}" "$game/kvr/"
    await 2-copied "$out" "run 2:" || return 0
    fetch 2-copied

    # Copied in two halves by two writers: the closed half is told as cut, then read whole.
    half=$(basename -- "${arrivals[1]}")
    size=$(($(stat -c %s -- "${arrivals[1]}") / 2))
    # Each piece is written by one process that opens, writes and closes it at once (or moved
    # in whole), so that no look can fall between a file's creation and its bytes: whether the
    # console tells "waiting for ..." must not depend on the machine's speed.
    dd if="${arrivals[1]}" of="$game/half.part" bs="$size" count=1 status=none
    mv -- "$game/half.part" "$game/kvr/$half"
    await 3-half "$out" "run 3:" || return 0
    fetch 3-half
    dd if="${arrivals[1]}" of="$game/kvr/$half" bs="$size" skip=1 seek=1 conv=notrunc status=none
    await 4-whole "$out" "run 4:" || return 0
    fetch 4-whole

    # Too short ever to count: told as a plain run tells it.
    head -c 1000 -- "${arrivals[2]}" >"$game/cut.part"
    mv -- "$game/cut.part" "$game/kvr/cut.kvr"
    await 5-cut "$out" "run 5:" || return 0
    fetch 5-cut

    rm -- "$game/kvr/$leaving"
    await 6-removed "$out" "run 6:" || return 0
    fetch 6-removed

    # League files are written beside and renamed in, as an editor saves: the watch never
    # sees one half written.
    printf '[points]\nplaces = [10, 6, 4, 3, 2, 1]\n' >"$game/league.part"
    mv -- "$game/league.part" "$game/kvrrank.toml"
    await 7-league "$out" "run 7:" || return 0
    fetch 7-league

    # A mistake: the last good rules stay. Only the board makes a run of it.
    printf '[points]\nplaces = [10, 6, 4, 3, 2, 1\n' >"$game/league.part"
    mv -- "$game/league.part" "$game/kvrrank.toml"
    await 8-broken "$err" "(the last good rules stay)" || return 0
    if [ "$name" = serve ]; then
        await 8-broken "$out" "run 8:" || return 0
    fi
    fetch 8-broken
}

# Ctrl+C, then at most $timeout_s seconds to end.
stop() {
    local status=0 deadline
    kill -INT "$board" 2>/dev/null || true
    deadline=$(($(date +%s%N) + timeout_s * 1000000000))
    while kill -0 "$board" 2>/dev/null && (($(date +%s%N) <= deadline)); do
        sleep 0.05
    done
    if kill -0 "$board" 2>/dev/null; then
        echo "stop: still running $timeout_s s after Ctrl+C" >>"$into/steps"
        failed+=("$side $name: still running $timeout_s s after Ctrl+C")
        kill -KILL "$board" 2>/dev/null || true
    fi
    wait "$board" || status=$?
    board=
    echo "$status" >"$into/exit"
}

compared=(ranking.txt page.html ranking.json post.md season.jsonl)
scenarios=(watch serve)
failed=()
for side in old new; do
    binary=${!side}
    for name in "${scenarios[@]}"; do
        into=$work/$side/$name
        mkdir -p -- "$into"
        : >"$into/steps"
        : >"$into/stdout"
        : >"$into/stderr"
        rm -rf -- "$game"
        cp -a -- "$seed" "$game"
        if [ "$name" = serve ]; then
            mode=(--serve "127.0.0.1:$port")
        else
            mode=(--watch)
        fi
        # The wall clock frozen, the steady clock real so that files settle.
        (cd "$game" && exec env LD_PRELOAD="$faketime_lib" FAKETIME="2026-12-10 20:00:00" \
            FAKETIME_DONT_FAKE_MONOTONIC=1 "$binary" "${mode[@]}" "${exports[@]}" \
            >"$into/stdout" 2>"$into/stderr") &
        board=$!
        evening
        stop
        for file in "${compared[@]}"; do
            if [ -e "$game/$file" ]; then
                mkdir -p -- "$into/files"
                cp -- "$game/$file" "$into/files/$file"
            fi
        done
        (cd "$game" && find . -printf '%y %s %P\n' | sort) >"$into/folder.list"
    done
done

# ---- Comparing

compare_sides "$work" "${scenarios[@]}"
for failure in "${failed[@]}"; do
    echo "FAILED    $failure"
done
if ((different)) || ((${#failed[@]})); then
    echo "compare-watch: the watches differ or did not run through"
    exit 1
fi
echo "compare-watch: every output and answer is the same"
