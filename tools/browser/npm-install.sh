#!/usr/bin/env bash
# Installs the page checks' Node.js tools from the npm registry, as package-lock.json pins
# them, when they are missing; never a browser of their own: the checks drive Debian's chromium.
set -euo pipefail
cd "$(dirname "$0")"
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
    echo "npm-install: Node.js and npm are needed" >&2
    exit 1
fi
if ! npm ls --silent >/dev/null 2>&1; then
    PUPPETEER_SKIP_DOWNLOAD=1 npm ci --no-audit --no-fund --silent
fi
