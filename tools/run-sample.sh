#!/usr/bin/env bash
# Builds kvrrank and kvrsample in release mode, makes a fresh synthetic game folder in a
# temporary place and runs kvrrank there, writing the ranking as a web page and the standings
# as a picture too. Arguments go to kvrsample, for example
#   tools/run-sample.sh --participants 20 --seed 7
set -euo pipefail
cd "$(dirname "$0")/.."
root="$PWD"

tools/install-packages.sh cmake ninja-build g++ ccache libcli11-dev nlohmann-json3-dev \
    libtomlplusplus-dev libboost1.81-dev libstb-dev fonts-dejavu-core \
    zlib1g-dev help2man
echo "== building (release preset)"
cmake --workflow --preset release >/dev/null

sample="$(mktemp -d)/game"
"$root/build/release/tools/kvrsample" "$sample" "$@"

echo "== kvrrank in $sample"
cd "$sample"
status=0
"$root/build/release/kvrrank" --html ranking.html --card card.png || status=$?

if [ -f ranking.txt ]; then
    echo "== ranking.txt"
    cat ranking.txt
fi
if [ -f ranking.html ]; then
    echo "== the same ranking as a web page: $sample/ranking.html"
fi
if [ -f card.png ]; then
    echo "== the standings as a picture: $sample/card.png"
fi
echo "== kvrrank exit status $status; the sample stays in $sample (remove it with: rm -r \"$(dirname "$sample")\")"
exit "$status"
