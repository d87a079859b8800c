#!/usr/bin/env bash
# Three seasons of a league as an organiser keeps them, made with the built programs: two
# earlier seasons of two runs each, with drivers who leave and join, then this season with a
# roster (a driver who renamed herself, a copied file), three teams and the archive of the two
# earlier seasons plus one that is gone. The last run writes the page, the JSON and the post.
# Leaves in OUT_DIR: game/ (the folder, with kvrrank.toml), 2025.jsonl, 2026-spring.jsonl,
# 2026-autumn.jsonl, ranking.html, ranking.json, week.md and the last run's stderr as
# last-run.err.
# Usage: tools/seasons-sample.sh BUILD_DIR OUT_DIR
set -euo pipefail
if (($# != 2)); then
    echo "usage: $0 BUILD_DIR OUT_DIR" >&2
    exit 2
fi
build=$1
out=$(realpath -m -- "$2")
rm -rf -- "$out"
mkdir -p -- "$out"
for seed in 2001 2002 2003; do
    "$build/tools/kvrsample" "$out/pool-$seed" --participants 10 --seed "$seed" >/dev/null
done
cp -r -- "$out/pool-2001" "$out/game"
kvr=$out/game/kvr
kvrrank() { # history, more arguments...
    local history=$1
    shift
    "$build/kvrrank" --no-records --history "$out/$history" "$@" "$out/game" >/dev/null
}

# 2025: eight drivers, then all ten.
rm -- "$kvr/YGR.kvr" "$kvr/SDA.kvr"
kvrrank 2025.jsonl
cp -- "$out/pool-2001/kvr/YGR.kvr" "$out/pool-2001/kvr/SDA.kvr" "$kvr/"
kvrrank 2025.jsonl
# 2026, spring: four leave, four join, then one more.
rm -- "$kvr/DUL.kvr" "$kvr/DWE.kvr" "$kvr/GQU.kvr" "$kvr/HBE.kvr"
for code in ACA CLI ENO HST; do cp -- "$out/pool-2002/kvr/$code.kvr" "$kvr/"; done
kvrrank 2026-spring.jsonl
cp -- "$out/pool-2002/kvr/KHE.kvr" "$kvr/"
kvrrank 2026-spring.jsonl
# 2026, autumn: Hanna Holm is Hanna Holmberg now, Matteo Tamm's file has a copy, three join.
python3 - "$kvr/HHO.kvr" <<'PY'
import sys
path = sys.argv[1]
data = bytearray(open(path, "rb").read())
name = b"Hanna Holmberg"
data[28:72] = name + b"\0" * (44 - len(name))
open(path, "wb").write(bytes(data))
PY
cp -- "$kvr/MTA.kvr" "$kvr/MTA (copy).kvr"
for code in CEK HLE IOR; do cp -- "$out/pool-2003/kvr/$code.kvr" "$kvr/"; done
rm -rf -- "$out"/pool-*
cat >"$out/game/kvrrank.toml" <<'TOML'
[outputs]
html = "../ranking.html"
json = "../ranking.json"
post = "../week.md"
history = "../2026-autumn.jsonl"

[points]
tie_break = "count-back"
merge_copies = true

[archive]
seasons = ["../2024.jsonl", "../2025.jsonl", "../2026-spring.jsonl"]

[[driver]]
code = "HHO"
name = "Hanna Holmberg"
also = [{ code = "HHO", name = "Hanna Holm" }]
team = "Red Foxes"

[[driver]]
code = "PZE"
name = "Petra Zeller"
team = "Red Foxes"

[[team]]
name = "Red Foxes"
members = ["RHE"]

[[team]]
name = "Blue Hares"
members = ["MTA", "SDA", "ACA"]

[[team]]
name = "Green Owls"
members = ["CLI", "ENO", "CEK", "HLE"]
TOML
"$build/kvrrank" --no-records "$out/game" >/dev/null 2>"$out/last-run.err"
