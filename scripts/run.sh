#!/usr/bin/env bash
# Installs what is missing, builds the tool (Release) and starts it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh"
cmake --preset release -S "$root" >/dev/null
cmake --build "$root/build/release" -j"$(nproc)"
exec "$root/build/release/app/kwarino"
