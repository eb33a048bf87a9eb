#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for SECONDS (default 600).
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-600}
"$root/scripts/install-deps.sh"
cmake --preset fuzz >/dev/null
cmake --build build/fuzz -j"$(nproc)"
for target in ProfileFileFuzz PathRulesFuzz RestoreFuzz; do
    corpus="build/fuzz/corpus-$target"
    mkdir -p "$corpus"
    echo "== $target for ${seconds}s"
    # Inputs that once found a fault start every run (read only: new ones go to the corpus).
    seeds=()
    [ -d "fuzz/seeds/$target" ] && seeds=("fuzz/seeds/$target")
    "build/fuzz/fuzz/$target" -max_total_time="$seconds" -max_len=65536 -print_final_stats=1 \
        -artifact_prefix="build/fuzz/$target-" "$corpus" "${seeds[@]}" 2>&1 | tail -n 12
done
