#!/usr/bin/env bash
# Fails unless two builds of a package are byte-identical; when they differ, shows the first
# lines of diffoscope's account of where (Debian: diffoscope-minimal).
# Usage: tools/same-package.sh FIRST SECOND
set -euo pipefail
first=$1 second=$2
if cmp "$first" "$second"; then
    echo "same: $(sha256sum "$first")"
    echo "same: $(sha256sum "$second")"
    exit 0
fi
echo "not reproducible: $first and $second differ" >&2
if command -v diffoscope >/dev/null; then
    diffoscope --text - "$first" "$second" 2>&1 | head -n "${DIFFOSCOPE_LINES:-60}" >&2 || true
else
    echo "(no diffoscope to show where: apt-get install diffoscope-minimal)" >&2
fi
exit 1
