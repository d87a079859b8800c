#!/usr/bin/env bash
# Builds kvrrank in release mode and runs it on a fresh synthetic game folder.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --workflow --preset release >/dev/null
echo "sample generator not built yet" >&2
exit 1
