#!/usr/bin/env bash
# Installs what is missing, builds and runs every test; non-zero on any failure.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/install-deps.sh"
jobs=$(nproc)

echo "== Debug build and tests"
cmake --preset debug >/dev/null
cmake --build build/debug -j"$jobs"
ctest --preset debug -j"$jobs"
