#!/usr/bin/env bash
# CI's look at the web page in every language: makes the sample season of tools/season-sample.sh
# with the built programs, runs its last run again once per language (--language, on a copy of
# the season so that each page shows the same run) and has tools/browser/languages-check.js look
# at every page in one chromium session: lang, no sideways scroll at 390 and 1280 px, nothing
# cut on a phone, axe-core without violations. The pages and screenshots stay in the build
# folder.
# Usage: tools/languages-sample.sh [BUILD_DIR]   (default build/release, as CI uses it)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
out="$build/languages"
tools/browser/npm-install.sh
tools/season-sample.sh "$build" "$out" >/dev/null
pages=()
for code in en de fr es it pl fi sv; do
    cp -- "$out/season.jsonl" "$out/season-$code.jsonl"
    "$build/kvrrank" --no-records --language "$code" --history "$out/season-$code.jsonl" \
        --html "$out/ranking-$code.html" --post "$out/week-$code.md" "$out/game" >/dev/null 2>&1 || {
        echo "languages-sample: the run in $code failed" >&2
        exit 1
    }
    pages+=("$out/ranking-$code.html")
done
node tools/browser/languages-check.js "$out" "${pages[@]}"
echo "screenshots: $out/page-390-*.png; posts: $out/week-*.md"
