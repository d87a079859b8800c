#!/usr/bin/env bash
# Renders a ranking page in a real browser (Debian chromium, headless) and checks what the
# browser built from it: the number of rows in the standings table and the number of listing
# tables. Keeps a screenshot, OUT_DIR/ranking.png, and the dumped DOM, OUT_DIR/ranking-dom.html.
# Usage: tools/browser-check.sh HTML_FILE OUT_DIR EXPECTED_STANDINGS_ROWS EXPECTED_LISTINGS
# Exit status: 0 when both counts match, 1 on a mismatch or a browser failure, 2 on bad usage.
set -euo pipefail

if (($# != 4)); then
    echo "usage: $0 HTML_FILE OUT_DIR EXPECTED_STANDINGS_ROWS EXPECTED_LISTINGS" >&2
    exit 2
fi
page=$(realpath -- "$1")
out=$2
expected_rows=$3
expected_listings=$4
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
    """Counts <tr> inside the <tbody> of #standings, and <table class="listing">."""
    def __init__(self):
        super().__init__()
        self.tables = []  # per open table: is it #standings
        self.in_standings_body = False
        self.rows = 0
        self.listings = 0

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "table":
            self.tables.append(attrs.get("id") == "standings")
            if "listing" in (attrs.get("class") or "").split():
                self.listings += 1
        elif tag == "tbody" and self.tables and self.tables[-1]:
            self.in_standings_body = True
        elif tag == "tr" and self.in_standings_body:
            self.rows += 1

    def handle_endtag(self, tag):
        if tag == "tbody":
            self.in_standings_body = False
        elif tag == "table" and self.tables:
            self.tables.pop()

counter = Counter()
with open(sys.argv[1], encoding="utf-8") as dom:
    counter.feed(dom.read())
print(counter.rows, counter.listings)
PY
)
read -r rows listings <<<"$counts"

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
if ((status == 0)); then
    echo "browser-check: $rows standings rows and $listings listings; screenshot $out/ranking.png"
fi
exit $status
