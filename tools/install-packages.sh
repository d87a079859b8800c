#!/usr/bin/env bash
# Installs those of the given Debian packages that are missing (as root, or through sudo).
# Usage: tools/install-packages.sh [--no-install-recommends] PACKAGE...
set -euo pipefail
options=()
if [ "${1-}" = --no-install-recommends ]; then
    options=(--no-install-recommends)
    shift
fi
missing=()
for package in "$@"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
((${#missing[@]})) || exit 0
echo "== installing ${missing[*]}"
sudo=()
if [ "$(id -u)" != 0 ]; then
    sudo=(sudo)
fi
"${sudo[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q "${options[@]}" "${missing[@]}"
