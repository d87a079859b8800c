#!/usr/bin/env bash
# Renders a ranking page in a real browser (Debian chromium, headless) and checks what the
# browser built from it: the number of rows in the standings table and the number of listing
# tables, and for a page with a season the move cells of the standings and the rows of the
# new-records table. Keeps a screenshot, OUT_DIR/ranking.png, and the dumped DOM,
# OUT_DIR/ranking-dom.html. Then looks at the page as its readers do, in light and dark
# (tools/browser/page-check.js): its height at 1280 px with everything folded, links that open a
# driver's folded section, a phone's 390 px without sideways scroll or cut text, and the pages
# that the front of the page (up to the points-over-runs chart) prints on in A4; screenshots
# and the printed front stay in OUT_DIR.
# Usage: tools/browser-check.sh [--max-height PX] [--max-print-pages N] HTML_FILE OUT_DIR
#            EXPECTED_STANDINGS_ROWS EXPECTED_LISTINGS
#            [EXPECTED_MOVE_CELLS EXPECTED_NEW_RECORD_ROWS]
# Exit status: 0 when every count matches and every look passes, 1 on a mismatch, a failed look
# or a browser failure, 2 on bad usage.
set -euo pipefail

usage() {
    echo "usage: $0 [--max-height PX] [--max-print-pages N] HTML_FILE OUT_DIR" \
        "EXPECTED_STANDINGS_ROWS EXPECTED_LISTINGS" \
        "[EXPECTED_MOVE_CELLS EXPECTED_NEW_RECORD_ROWS]" >&2
    exit 2
}
limits=()
while (($# >= 2)) && [[ $1 == --max-height || $1 == --max-print-pages ]]; do
    [[ $2 =~ ^[1-9][0-9]*$ ]] || usage
    limits+=("$1" "$2")
    shift 2
done
if (($# != 4 && $# != 6)); then
    usage
fi
page=$(realpath -- "$1")
out=$2
expected_rows=$3
expected_listings=$4
expected_moves=${5:-0}
expected_new_records=${6:-0}
browser=${CHROMIUM:-/usr/bin/chromium}
if [[ ! -f $page ]]; then
    echo "browser-check: no page at $1" >&2
    exit 2
fi
if [[ ! -x $browser ]]; then
    echo "browser-check: no browser at $browser (apt-get install chromium)" >&2
    exit 1
fi
mkdir -p -- "$out"

# A fresh profile every run, and nothing that talks to the network: the page must stand alone.
profile=$(mktemp -d)
trap 'rm -rf -- "$profile"' EXIT
flags=(--headless --no-sandbox --disable-gpu --disable-quic --no-first-run
    --disable-background-networking --disable-component-update --disable-sync
    --user-data-dir="$profile")
url="file://$page"

"$browser" "${flags[@]}" --dump-dom "$url" >"$out/ranking-dom.html" 2>"$out/browser.log" || {
    echo "browser-check: chromium failed to load the page; see $out/browser.log" >&2
    exit 1
}

counts=$(python3 - "$out/ranking-dom.html" <<'PY'
import sys
from html.parser import HTMLParser

class Counter(HTMLParser):
    """Counts <tr> and <td class="move"> inside the <tbody> of #standings, <tr> inside the
    <tbody> of #new-records, and <table class="listing">."""
    def __init__(self):
        super().__init__()
        self.tables = []  # the id of each open table
        self.body = None  # the id of the table whose <tbody> is open
        self.rows = 0
        self.moves = 0
        self.new_records = 0
        self.listings = 0

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "table":
            self.tables.append(attrs.get("id"))
            if "listing" in (attrs.get("class") or "").split():
                self.listings += 1
        elif tag == "tbody" and self.tables:
            self.body = self.tables[-1]
        elif tag == "tr" and self.body == "standings":
            self.rows += 1
        elif tag == "tr" and self.body == "new-records":
            self.new_records += 1
        elif tag == "td" and self.body == "standings" and attrs.get("class") == "move":
            self.moves += 1

    def handle_endtag(self, tag):
        if tag == "tbody":
            self.body = None
        elif tag == "table" and self.tables:
            self.tables.pop()

counter = Counter()
with open(sys.argv[1], encoding="utf-8") as dom:
    counter.feed(dom.read())
print(counter.rows, counter.listings, counter.moves, counter.new_records)
PY
)
read -r rows listings moves new_records <<<"$counts"

"$browser" "${flags[@]}" --hide-scrollbars --window-size=1280,2000 \
    --screenshot="$out/ranking.png" "$url" >>"$out/browser.log" 2>&1 || {
    echo "browser-check: chromium failed to take the screenshot; see $out/browser.log" >&2
    exit 1
}
[[ -s $out/ranking.png ]] || {
    echo "browser-check: no screenshot was written" >&2
    exit 1
}

status=0
if [[ $rows != "$expected_rows" ]]; then
    echo "browser-check: #standings has $rows rows, expected $expected_rows" >&2
    status=1
fi
if [[ $listings != "$expected_listings" ]]; then
    echo "browser-check: $listings listing tables, expected $expected_listings" >&2
    status=1
fi
if [[ $moves != "$expected_moves" ]]; then
    echo "browser-check: #standings has $moves move cells, expected $expected_moves" >&2
    status=1
fi
if [[ $new_records != "$expected_new_records" ]]; then
    echo "browser-check: #new-records has $new_records rows, expected $expected_new_records" >&2
    status=1
fi
if ((status == 0)); then
    echo "browser-check: $rows standings rows, $listings listings, $moves move cells and" \
        "$new_records new-record rows; screenshot $out/ranking.png"
fi

tools=$(dirname "$0")/browser
"$tools/npm-install.sh"
node "$tools/page-check.js" "$page" "$out" "${limits[@]}" || status=1
exit $status
