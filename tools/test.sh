#!/usr/bin/env bash
# Builds everything with the debug preset and runs every test. Installs the Debian packages a
# fresh machine lacks first.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-packages.sh cmake ninja-build g++ ccache libgtest-dev libcli11-dev \
    nlohmann-json3-dev libtomlplusplus-dev libboost1.81-dev libstb-dev fonts-dejavu-core zlib1g-dev tidy \
    help2man python3-markdown-it tesseract-ocr tesseract-ocr-eng
cmake --workflow --preset test
