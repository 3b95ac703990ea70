#!/usr/bin/env bash
# Runs every test: the portable core's unit tests on Linux (with AddressSanitizer
# and UndefinedBehaviorSanitizer), then Duomira.exe under Wine on its own Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

echo "== Unit tests (Linux) =="
cmake --preset host >/dev/null
cmake --build --preset host
ctest --preset host

echo "== Wine tests =="
cmake --preset windows >/dev/null
cmake --build --preset windows
ctest --preset windows
