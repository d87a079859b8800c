#!/usr/bin/env bash
# Makes the players' ZIP of the Windows program (build/windows-release/kvrrank-*-windows-x64.zip)
# and checks it: the files it holds, the hardening and the version resource of the kvrrank.exe
# inside, and that a second build in another folder makes the same ZIP byte for byte.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-packages.sh ccache zip unzip binutils-mingw-w64-x86-64
tools/install-packages.sh --no-install-recommends diffoscope-minimal

cmake --workflow --preset windows-package

version=$(sed -n 's/^project(kvrrank VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
zip=build/windows-release/kvrrank-$version-windows-x64.zip
top=kvrrank-$version-windows-x64
expected=$(printf '%s\n' "$top/FONT-LICENCE.txt" "$top/LICENSE.txt" "$top/README.txt" \
    "$top/kvrrank.exe" "$top/kvrrank.toml.example")
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
# ASLR with high entropy and DEP, read from the PE header; the stack protector's library linked
# in: no DLL beside the system's.
echo "--- hardening of kvrrank.exe"
x86_64-w64-mingw32-objdump -p "$unpacked/$top/kvrrank.exe" >"$unpacked/headers"
# The value's line, then one line per flag, up to the next field.
characteristics=$(sed -n '/^DllCharacteristics/,/^[A-Za-z]/p' "$unpacked/headers" | sed '$d')
echo "$characteristics"
for flag in HIGH_ENTROPY_VA DYNAMIC_BASE NX_COMPAT; do
    if ! grep -qw "$flag" <<<"$characteristics"; then
        echo "kvrrank.exe: DllCharacteristics lacks $flag" >&2
        status=1
    fi
done
grep 'DLL Name:' "$unpacked/headers" | sed 's/^[[:space:]]*/  /'
if grep 'DLL Name:' "$unpacked/headers" | grep -i -E 'libssp|libstdc|libgcc|libwinpthread'; then
    echo "kvrrank.exe needs a MinGW DLL: it must be one static .exe" >&2
    status=1
fi
x86_64-w64-mingw32-objdump -t "$unpacked/$top/kvrrank.exe" >"$unpacked/symbols"
if ! grep -q '__stack_chk_fail' "$unpacked/symbols"; then
    echo "kvrrank.exe has no stack protector (__stack_chk_fail)" >&2
    status=1
fi

# The README, the licence and the league file are for Notepad: every line ends in CR LF.
for text in README.txt LICENSE.txt FONT-LICENCE.txt kvrrank.toml.example; do
    if grep -q $'[^\r]$' "$unpacked/$top/$text" || ! grep -q $'\r$' "$unpacked/$top/$text"; then
        echo "$text: not CR LF line ends" >&2
        status=1
    fi
done

# Reproducible: a fresh second build folder makes the same ZIP (cmake/reproducible.cmake). A
# real rebuild, without the compiler cache, which may have made the first build's objects.
again=build/windows-release-again
rm -rf "$again"
echo "--- the same ZIP from $again"
(
    export CCACHE_DISABLE=1
    cmake --preset windows-release -B "$again" && cmake --build "$again" -j2 &&
        cpack --config "$again/CPackConfig.cmake" -B "$again"
) >"$unpacked/again.log" 2>&1 || {
    tail -n 40 "$unpacked/again.log"
    echo "the second build of the ZIP failed" >&2
    exit 1
}
tools/same-package.sh "$zip" "$again/${zip##*/}" || status=1
exit $status
