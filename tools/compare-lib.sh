# shellcheck shell=bash
# The comparison that tools/compare-outputs.sh and tools/compare-watch.sh end with. Sourced.

# Compares what the old and the new binary left for each scenario, under WORK/old/SCENARIO and
# WORK/new/SCENARIO: the files named by the caller's array `compared` (under files/) and any
# other file either side wrote. Prints a line a file, with where they part; sets `different`
# to 1 when any file differs, else 0.
# shellcheck disable=SC2034 # `different` is read by the caller
compare_sides() { # work, scenario...
    local work=$1 name file a b shown report line
    local -a names
    shift
    different=0
    for name in "$@"; do
        # What either wrote, and the files a run may write even when neither did.
        # shellcheck disable=SC2154 # the caller's
        printf 'files/%s\n' "${compared[@]}" >"$work/names"
        (cd "$work/old/$name" && find . -type f -printf '%P\n') >>"$work/names"
        (cd "$work/new/$name" && find . -type f -printf '%P\n') >>"$work/names"
        mapfile -t names < <(sort -u "$work/names")
        for file in "${names[@]}"; do
            a=$work/old/$name/$file
            b=$work/new/$name/$file
            shown=${file#files/}
            if [ ! -e "$a" ] && [ ! -e "$b" ]; then
                echo "same      $name: $shown: written by neither"
            elif [ ! -e "$a" ] || [ ! -e "$b" ]; then
                echo "DIFFERENT $name: $shown: only the $([ -e "$a" ] && echo old || echo new) one wrote it"
                different=1
            elif cmp -s -- "$a" "$b"; then
                echo "same      $name: $shown"
            else
                echo "DIFFERENT $name: $shown"
                report=$(cmp -- "$a" "$b" 2>&1 || true)
                echo "    $report"
                cmp -l -- "$a" "$b" 2>/dev/null | head -n 4 |
                    sed 's/^/    byte, old, new (octal): /' || true
                # The line where they part, from each, as far as 160 bytes.
                line=$(sed -n 's/.*, line \([0-9]*\)$/\1/p' <<<"$report")
                if [ -n "$line" ]; then
                    echo "    old: $(sed -n "${line}p" -- "$a" | head -c 160 | cat -v)"
                    echo "    new: $(sed -n "${line}p" -- "$b" | head -c 160 | cat -v)"
                fi
                different=1
            fi
        done
    done
}
