#!/usr/bin/env bash
# The Windows program draws the Linux program's standings card byte for byte: both run on the
# same sample folder (30 drivers and a stranger's random file), once with the defaults and once
# with a league file's light theme and a title beyond ASCII, and their PNGs are compared.
# Usage: tools/card-wine.sh WINDOWS_BUILD_DIR LINUX_BUILD_DIR   (Wine set up as .ci/run sets it up)
set -euo pipefail
windows=$(realpath "$1")
linux=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf -- "$work"' EXIT
"$linux/tools/kvrsample" --participants 30 --seed 41 "$work/game" >/dev/null
head -c 1616 /dev/urandom >"$work/game/kvr/zz-stranger.kvr"
status=0
for league in "" $'[card]\ntitle = "Dienstagsliga \xe2\x80\x93 \xc3\x85lesund \xf0\x9f\x9a\x80"\ntheme = "light"\n'; do
    printf '%s' "$league" >"$work/game/kvrrank.toml"
    (cd "$work/game" && "$linux/kvrrank" --no-records --card linux.png >/dev/null 2>&1) || true
    (cd "$work/game" && wine "$windows/kvrrank.exe" --no-records --card windows.png \
        >/dev/null 2>&1 </dev/null) || true
    for png in linux.png windows.png; do
        [[ -s $work/game/$png ]] || { echo "card-wine: no $png" >&2; status=1; }
    done
    if cmp -s "$work/game/linux.png" "$work/game/windows.png"; then
        echo "card-wine: the same $(stat -c %s "$work/game/linux.png") bytes on Linux and under Wine${league:+ (light theme, title beyond ASCII)}"
    else
        echo "card-wine: the cards differ${league:+ (light theme, title beyond ASCII)}" >&2
        cmp "$work/game/linux.png" "$work/game/windows.png" >&2 || true
        status=1
    fi
    rm -f "$work/game/linux.png" "$work/game/windows.png"
done
exit "$status"
