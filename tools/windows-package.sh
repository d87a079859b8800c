#!/usr/bin/env bash
# Makes the players' ZIP of the Windows program (build/windows-release/kvrrank-*-windows-x64.zip)
# and checks it: the files it holds, and the version resource of the kvrrank.exe inside.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --workflow --preset windows-package

version=$(sed -n 's/^project(kvrrank VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
zip=build/windows-release/kvrrank-$version-windows-x64.zip
top=kvrrank-$version-windows-x64
expected=$(printf '%s\n' "$top/LICENSE.txt" "$top/README.txt" "$top/kvrrank.exe")
listed=$(unzip -Z1 "$zip" | grep -v '/$' | sort)
echo "--- $zip"
unzip -l "$zip"
if [ "$listed" != "$expected" ]; then
    echo "unexpected file list:" >&2
    diff <(echo "$expected") <(echo "$listed") >&2 || true
    exit 1
fi

# The version resource's strings are UTF-16: each name is followed by its value.
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
unzip -q "$zip" -d "$unpacked"
strings -el -n 3 "$unpacked/$top/kvrrank.exe" >"$unpacked/strings"
field() { # name: the string after it in the resource
    grep -A1 -x "$1" "$unpacked/strings" | sed -n 2p
}
echo "--- version resource of kvrrank.exe"
status=0
for pair in "ProductName=kvrrank" "ProductVersion=$version" "FileVersion=$version" \
    "OriginalFilename=kvrrank.exe" \
    "FileDescription=kvrrank - best times and points ranking for Dustline Rally 2.0"; do
    name=${pair%%=*} want=${pair#*=}
    got=$(field "$name")
    echo "  $name: $got"
    if [ "$got" != "$want" ]; then
        echo "    expected: $want" >&2
        status=1
    fi
done
# The README and the licence are for Notepad: every line ends in CR LF.
for text in README.txt LICENSE.txt; do
    if grep -q $'[^\r]$' "$unpacked/$top/$text" || ! grep -q $'\r$' "$unpacked/$top/$text"; then
        echo "$text: not CR LF line ends" >&2
        status=1
    fi
done
exit $status
