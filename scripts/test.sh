#!/usr/bin/env bash
# Installs what is missing, builds and runs every test; non-zero on any failure.
#   1. the Debug build with every test (core, window, reliability); it builds
#      the benchmark programs too, without running them, so that they keep
#      building
#   2. the same tests under AddressSanitizer and UndefinedBehaviorSanitizer
#   3. a short bounded run of each libFuzzer target
#   4. the core built for Windows with MinGW-w64 (its benchmark programs
#      built too) and its tests under Wine
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
"$root/scripts/install-deps.sh"
jobs=$(nproc)

echo "== 1. Debug build and tests"
cmake --preset debug >/dev/null
cmake --build build/debug -j"$jobs"
ctest --preset debug -j"$jobs"

echo "== 2. Tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake --preset asan >/dev/null
cmake --build build/asan -j"$jobs"
export ASAN_OPTIONS="abort_on_error=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0"
ctest --preset asan -j"$jobs"

echo "== 3. Short fuzzing runs"
"$root/scripts/fuzz.sh" 30

echo "== 4. Windows build under Wine"
"$root/scripts/test-windows.sh"
