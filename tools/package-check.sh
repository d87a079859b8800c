#!/usr/bin/env bash
# Packaging check (CI, as root): builds the .deb and .tar.gz of the release build twice, in two
# build folders, and checks that they are byte-identical; checks what `cmake --install` and
# both packages contain, the man pages and lintian's verdict, then installs the .deb, checks
# the hardening of the installed programs, runs them on a sample folder, removes the package
# and checks that none of its files remain.
set -euo pipefail
cd "$(dirname "$0")/.."
export DEBIAN_FRONTEND=noninteractive

missing=()
for package in ccache help2man lintian man-db dpkg-dev file gzip libcli11-dev libtomlplusplus-dev \
    libboost1.81-dev libstb-dev fonts-dejavu-core zlib1g-dev; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
# hardening-check and diffoscope without their long lists of recommended tools.
lean=()
for package in devscripts diffoscope-minimal; do
    dpkg -s "$package" >/dev/null 2>&1 || lean+=("$package")
done
if ((${#missing[@]} + ${#lean[@]})); then
    apt-get update -q
fi
if ((${#missing[@]})); then
    apt-get install -y -q "${missing[@]}"
fi
if ((${#lean[@]})); then
    apt-get install -y -q --no-install-recommends "${lean[@]}"
fi

fail() {
    echo "package-check: $*" >&2
    exit 1
}
# Fails unless `actual` (a file) has exactly the lines of `expected` (a file), with a diff.
same_lines() { # what, expected, actual
    diff -u "$2" "$3" >&2 || fail "$1 differs from the expected list (- expected, + actual)"
}

work=$(mktemp -d)
installed_here=no
cleanup() {
    # A failed run must not leave the package on the machine.
    if [ "$installed_here" = yes ] && dpkg -s kvrrank >/dev/null 2>&1; then
        apt-get purge -y -q kvrrank >/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

echo "== packages (cmake --workflow --preset package)"
rm -rf build/release/packages
cmake --workflow --preset package >"$work/package.log" 2>&1 || {
    tail -n 40 "$work/package.log"
    fail "the package workflow failed"
}
debs=(build/release/packages/kvrrank_*_amd64.deb)
tgzs=(build/release/packages/kvrrank-*-Linux.tar.gz)
((${#debs[@]} == 1)) && [ -f "${debs[0]}" ] || fail "expected one .deb, found: ${debs[*]}"
((${#tgzs[@]} == 1)) && [ -f "${tgzs[0]}" ] || fail "expected one .tar.gz, found: ${tgzs[*]}"
deb=${debs[0]}
tgz=${tgzs[0]}
debian_version=$(dpkg-deb -f "$deb" Version)
version=${debian_version%-*}
echo "$deb ($debian_version), $tgz"

echo "== reproducible: the same packages from a second build folder"
# A fresh folder with another name: neither the folder's path nor the time of the build may
# reach a package (cmake/reproducible.cmake). A real rebuild, without the compiler cache, which
# may have made the first build's objects.
again=build/release-again
rm -rf "$again"
(
    export CCACHE_DISABLE=1
    cmake --preset release -B "$again" && cmake --build "$again" -j2 &&
        cpack --config "$again/CPackConfig.cmake"
) >"$work/again.log" 2>&1 || {
    tail -n 40 "$work/again.log"
    fail "the second build of the packages failed"
}
for package in "$deb" "$tgz"; do
    tools/same-package.sh "$package" "$again/packages/${package##*/}" ||
        fail "two builds of one commit gave different packages"
done

# What `cmake --install` and the .tar.gz hold, relative to the prefix.
cat >"$work/expected-install" <<'EOF'
bin/kvrrank
bin/kvrsample
share/doc/kvrrank/LICENSE
share/doc/kvrrank/README.md
share/doc/kvrrank/file-formats.md
share/doc/kvrrank/font-licence.txt
share/doc/kvrrank/kvrrank.toml.example
share/man/man1/kvrrank.1
share/man/man1/kvrsample.1
EOF
# The .deb: compressed man pages, and Debian's copyright and changelog in place of LICENSE.
cat >"$work/expected-deb" <<'EOF'
/usr/bin/kvrrank
/usr/bin/kvrsample
/usr/share/doc/kvrrank/README.md
/usr/share/doc/kvrrank/changelog.Debian.gz
/usr/share/doc/kvrrank/copyright
/usr/share/doc/kvrrank/file-formats.md
/usr/share/doc/kvrrank/font-licence.txt
/usr/share/doc/kvrrank/kvrrank.toml.example
/usr/share/man/man1/kvrrank.1.gz
/usr/share/man/man1/kvrsample.1.gz
EOF

echo "== cmake --install into a temporary prefix"
prefix="$work/prefix"
cmake --install build/release --prefix "$prefix" >/dev/null
(cd "$prefix" && find . ! -type d | sed 's|^\./||' | LC_ALL=C sort) >"$work/installed"
same_lines "the installed file list" "$work/expected-install" "$work/installed"
cat "$work/installed"
# Nothing outside the prefix: staged under DESTDIR, every file must sit below the prefix.
DESTDIR="$work/stage" cmake --install build/release --prefix /opt/kvrrank >/dev/null
(cd "$work/stage" && find . ! -type d | sed 's|^\./opt/kvrrank/||' | LC_ALL=C sort) \
    >"$work/staged"
same_lines "the staged install (files outside the prefix?)" "$work/expected-install" "$work/staged"
[ "$("$prefix/bin/kvrrank" --version)" = "kvrrank $version" ] ||
    fail "the installed kvrrank --version does not say kvrrank $version"
[ "$("$prefix/bin/kvrsample" --version)" = "kvrsample $version" ] ||
    fail "the installed kvrsample --version does not say kvrsample $version"

echo "== .tar.gz"
tar -tzf "$tgz" | grep -v '/$' | sed 's|^[^/]*/||' | LC_ALL=C sort >"$work/tgz"
same_lines "the .tar.gz file list" "$work/expected-install" "$work/tgz"

echo "== .deb"
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print substr($6, 2) }' | LC_ALL=C sort >"$work/deb"
same_lines "the .deb file list" "$work/expected-deb" "$work/deb"
dpkg-deb -I "$deb" control
dpkg-deb -f "$deb" Depends | grep -q 'libc6 (>=' ||
    fail "no libc6 dependency: dpkg-shlibdeps did not run"
# A synopsis and an extended description of more than one line.
(($(dpkg-deb -f "$deb" Description | wc -l) > 2)) || fail "the description has no long part"
mkdir "$work/deb-tree"
dpkg-deb -x "$deb" "$work/deb-tree"
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
    "$work/deb-tree/usr/share/doc/kvrrank/copyright" || fail "copyright is not machine-readable"
grep -q 'Permission is hereby granted, free of charge' \
    "$work/deb-tree/usr/share/doc/kvrrank/copyright" || fail "copyright lacks the licence text"
zcat "$work/deb-tree/usr/share/doc/kvrrank/changelog.Debian.gz" | head -n 1 |
    grep -q "^kvrrank ($debian_version) " || fail "the changelog is not of version $debian_version"
for program in kvrrank kvrsample; do
    file "$work/deb-tree/usr/bin/$program" | grep -q ', stripped' ||
        fail "usr/bin/$program is not stripped"
done

echo "== man pages"
for program in kvrrank kvrsample; do
    page=build/release/man/$program.1
    zcat "build/release/man/$program.1.gz" | cmp -s - "$page" ||
        fail "$page.gz is not $page compressed"
    MANWIDTH=80 man --warnings -l "$page" >"$work/man.txt" 2>"$work/man.err"
    if [ -s "$work/man.err" ]; then
        cat "$work/man.err" >&2
        fail "man warns about $page"
    fi
    # Made from --help and --version (options, version in the footer), with the sections of
    # the include file.
    for section in NAME SYNOPSIS DESCRIPTION OPTIONS FILES EXAMPLES "SEE ALSO"; do
        grep -qx "$section" "$work/man.txt" || fail "the man page of $program lacks $section"
    done
    grep -q -e '--version' "$work/man.txt" || fail "the man page of $program lacks --version"
    grep -q "^$program $version " "$work/man.txt" ||
        fail "the man page of $program is not of version $version"
done

echo "== lintian"
# Every warning that we accept, each explained in cmake/packaging.cmake; any other warning or
# any error fails.
accepted='initial-upload-closes-no-bugs'
lintian --display-info --pedantic "$deb" 2>&1 | grep -v '^running with root privileges' \
    | tee "$work/lintian" || true
grep -q '^E: ' "$work/lintian" && fail "lintian reports errors"
grep -q ' hardening-' "$work/lintian" && fail "lintian reports a binary without hardening"
if grep '^W: ' "$work/lintian" | grep -v -E "^W: kvrrank: ($accepted)( |$)"; then
    fail "lintian reports a warning that is not accepted"
fi

echo "== install the .deb"
if dpkg -s kvrrank >/dev/null 2>&1; then
    echo "kvrrank is installed already: purging it first"
    apt-get purge -y -q kvrrank >/dev/null
fi
installed_here=yes
apt-get install -y -q "./$deb" >"$work/apt.log" 2>&1 || {
    cat "$work/apt.log"
    fail "apt-get install of $deb failed"
}
dpkg -L kvrrank | LC_ALL=C sort >"$work/dpkg-files"
echo "dpkg -L kvrrank:"
sed 's/^/  /' "$work/dpkg-files"
[ "$(command -v kvrrank)" = /usr/bin/kvrrank ] || fail "kvrrank is not /usr/bin/kvrrank on the PATH"
[ "$(kvrrank --version)" = "kvrrank $version" ] || fail "kvrrank --version does not say kvrrank $version"
[ "$(man -w kvrrank)" = /usr/share/man/man1/kvrrank.1.gz ] || fail "man -w kvrrank: $(man -w kvrrank)"
[ "$(man -w kvrsample)" = /usr/share/man/man1/kvrsample.1.gz ] || fail "man -w kvrsample"

echo "== hardening of the installed programs"
# Every check but control-flow integrity: that one asks for the CET mark in the ELF notes,
# which the linker sets only when every object carries it, and Debian's glibc start files
# (crt1.o, crti.o) do not: no program linked on Debian passes it (try /usr/bin/dpkg). That our
# own code is built with -fcf-protection shows in its ENDBR64 landing pads instead.
hardening-check /usr/bin/kvrrank /usr/bin/kvrsample || true
hardening-check --quiet --nocfprotection /usr/bin/kvrrank /usr/bin/kvrsample ||
    fail "hardening-check fails on an installed program"
for program in kvrrank kvrsample; do
    (($(objdump -d "/usr/bin/$program" | grep -c endbr64) > 100)) ||
        fail "/usr/bin/$program has no ENDBR64 landing pads: built without -fcf-protection?"
done

MANWIDTH=80 man --warnings kvrrank >"$work/man.txt" 2>"$work/man.err"
[ ! -s "$work/man.err" ] || fail "man kvrrank warns: $(cat "$work/man.err")"
grep -q '^FILES' "$work/man.txt" || fail "man kvrrank does not show the installed page"

# The installed programs on a sample folder: started in it, and given its path.
kvrsample "$work/game" --participants 5 --seed 11 >/dev/null
cp -r "$work/game" "$work/game2"
(cd "$work/game" && kvrrank) >"$work/console" || fail "kvrrank failed in the sample folder"
kvrrank "$work/game2" >"$work/console2" || fail "kvrrank GAME_FOLDER failed"
for n in "" 2; do
    console=$work/console$n
    cat "$console"
    (($(grep -c '^importing .* \.\.\. ok!$' "$console") == 5)) ||
        fail "kvrrank did not import the 5 participants"
    grep -qx 'updateing Configuration/gameinfo.rcf... ok!' "$console" ||
        fail "kvrrank did not update the records file"
    [ -s "$work/game$n/ranking.txt" ] || fail "no ranking.txt in game$n"
done
cmp -s "$work/game/ranking.txt" "$work/game2/ranking.txt" ||
    fail "the two ways of starting kvrrank wrote different reports"
# The installed example league file, copied in as a player would: every line of it is off, and
# with its [points] and places switched on it is a good league file.
sed -e 's/^# \[points\]$/[points]/' -e 's/^# places = /places = /' \
    /usr/share/doc/kvrrank/kvrrank.toml.example >"$work/game/kvrrank.toml"
(cd "$work/game" && kvrrank --json league.json >/dev/null) ||
    fail "kvrrank failed with the installed example league file"
grep -q '"league": {' "$work/game/league.json" || fail "the example league file was not used"

echo "== remove the package"
apt-get purge -y -q kvrrank >"$work/apt.log" 2>&1 || {
    cat "$work/apt.log"
    fail "apt-get purge kvrrank failed"
}
installed_here=no
! dpkg -s kvrrank >/dev/null 2>&1 || fail "dpkg still knows kvrrank after the purge"
hash -r # forget where the shell found kvrrank before
! command -v kvrrank >/dev/null || fail "kvrrank is still on the PATH"
# Folders shared with the system stay; the package's files, and its own folder, must go.
left=0
while read -r path; do
    if { [ -e "$path" ] || [ -L "$path" ]; } &&
        { [ ! -d "$path" ] || [ "$path" = /usr/share/doc/kvrrank ]; }; then
        echo "left behind: $path" >&2
        left=1
    fi
done <"$work/dpkg-files"
((left == 0)) || fail "the purge left files of the package"
(($(wc -l <"$work/dpkg-files") > 8)) || fail "dpkg -L listed too little: $(cat "$work/dpkg-files")"
echo "package-check: all good ($(grep -c . "$work/dpkg-files") paths installed and removed)"
