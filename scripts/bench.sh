#!/usr/bin/env bash
# Builds the benchmarks in Release (the "bench" preset), runs them on trees made
# in a temporary folder and prints the table of figures. Takes a few minutes;
# needs about 3 GB free below the folder (98 files of 20 MB, allocated, not
# written).
#
#   scripts/bench.sh            the temporary folder goes below /var/tmp
#   KW_BENCH_DIR=/some/disk scripts/bench.sh
#
# The start-up figures need the window (Qt); they run on the offscreen
# platform, and under Xvfb as well when xvfb-run is installed. The comparison
# with the Windows profile functions runs when MinGW-w64, Wine and the locale
# ja_JP.UTF-8 are there (scripts/test-windows.sh sets them up); otherwise it
# is reported as skipped; so are the Windows program's start-up, survey and
# size (scripts/bench-windows.sh, which also needs Xvfb).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

jobs=${KW_BENCH_JOBS:-$(nproc)}
echo "== building (preset bench, Release)"
cmake --preset bench >/dev/null
cmake --build build/bench -j"$jobs"

base=${KW_BENCH_DIR:-/var/tmp}
work=$(mktemp -d "$base/kwarino-bench.XXXXXX")
cleanup() { rm -rf "$work"; }
trap cleanup EXIT
free_kib=$(df -Pk "$work" | awk 'NR == 2 { print $4 }')
if [ "$free_kib" -lt $((3 * 1024 * 1024)) ]; then
    echo "bench.sh: less than 3 GB free in $base (set KW_BENCH_DIR)" >&2
    exit 1
fi

echo "== benchmarks (trees in $work)"
build/bench/bench/kw_bench --kw_dir="$work" --kw_summary="$work/summary.md" \
    --benchmark_repetitions=9 --benchmark_enable_random_interleaving=true \
    --benchmark_min_time=0.2

# Start-up: "NAME ms KiB" lines for the tool and the bare window.
startup_rows() { # platform label, output of kw_startup_bench
    awk -v platform="$1" '
        { ms[$1] = $2; kib[$1] = $3 }
        END {
            if (!("tool" in ms) || !("bare" in ms)) exit 1
            r = ms["tool"] / ms["bare"]
            printf "| start-up to the window shown (%s) | %.1f ms | %.1f ms | %.2f | <= 1.3 | %s |\n",
                platform, ms["tool"], ms["bare"], r, (r <= 1.3 ? "met" : "MISSED")
            r = kib["tool"] / kib["bare"]
            printf "| peak resident memory until then (%s) | %.1f MB | %.1f MB | %.2f | <= 1.3 | %s |\n",
                platform, kib["tool"] / 1024, kib["bare"] / 1024, r, (r <= 1.3 ? "met" : "MISSED")
        }' <<<"$2"
}
startup=""
if [ -x build/bench/app/kwarino ] && [ -x build/bench/bench/kw_bare_window ]; then
    echo "== start-up"
    probe="$root/build/bench/bench/libkw_show_probe.so"
    programs=(tool="$root/build/bench/app/kwarino" bare="$root/build/bench/bench/kw_bare_window")
    out=$(QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work" \
        build/bench/bench/kw_startup_bench "$probe" 15 "${programs[@]}")
    startup+=$(startup_rows "offscreen" "$out")$'\n'
    if ! command -v xvfb-run >/dev/null; then
        startup+="| start-up (xcb, Xvfb) | - | - | - | <= 1.3 | skipped: xvfb-run is missing |"$'\n'
    elif out=$(XDG_RUNTIME_DIR="$work" xvfb-run -a -s "-screen 0 1280x1024x24" \
        build/bench/bench/kw_startup_bench "$probe" 15 "${programs[@]}"); then
        startup+=$(startup_rows "xcb, Xvfb" "$out")$'\n'
    else
        startup+="| start-up (xcb, Xvfb) | - | - | - | <= 1.3 | failed: see the messages above |"$'\n'
    fi
else
    startup="| start-up | - | - | - | <= 1.3 | skipped: the window is not built |"$'\n'
fi

# The Windows profile functions against the tool's profile files, under Wine.
wine_row=""
wine_skip=""
for tool in x86_64-w64-mingw32-g++-posix wine wineboot wineserver; do
    command -v "$tool" >/dev/null || wine_skip="$tool is missing"
done
if [ -z "$wine_skip" ] && ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8'; then
    wine_skip="the locale ja_JP.UTF-8 is missing (scripts/test-windows.sh makes it)"
fi
if [ -z "$wine_skip" ]; then
    echo "== Windows profile functions under Wine"
    cmake -S . -B build/bench-mingw -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
        -DKW_BUILD_GUI=OFF -DKW_BUILD_TESTS=OFF -DKW_BUILD_BENCH=ON >/dev/null
    cmake --build build/bench-mingw -j"$jobs" --target kw_profile_api_bench
    mkdir -p "$work/wine"
    if out=$(cmake/wine-run.sh build/bench-mingw/bench/kw_profile_api_bench.exe \
        "Z:${work//\//\\}\\wine"); then
        wine_row=$(awk '
        $1 ~ /^profile_api/ { api = $2 } $1 ~ /^profile_tool/ { tool = $2 }
        END {
            if (api == "" || tool == "") exit 1
            r = api / tool
            printf "| 5,000 items written and read back, tool vs WritePrivateProfileStringA / GetPrivateProfileStringA (Wine) | %.1f ms | %.1f ms | %.0fx faster | >= 1000x faster | %s |\n",
                tool, api, r, (r >= 1000 ? "met" : "MISSED")
        }' <<<"$out")
    else
        wine_row="| 5,000 items through the Windows profile functions (Wine) | - | - | - | >= 1000x faster | failed: see the messages above |"
    fi
else
    wine_row="| 5,000 items through the Windows profile functions (Wine) | - | - | - | >= 1000x faster | skipped: $wine_skip |"
fi

# The Windows program under Wine: start-up, survey, size.
if [ -n "$wine_skip" ]; then
    windows_rows="| the Windows program's start-up, survey and size (Wine) | - | - | - | - | skipped: $wine_skip |"
elif ! windows_rows=$(scripts/bench-windows.sh "$work"); then
    windows_rows="| the Windows program's start-up, survey and size (Wine) | - | - | - | - | failed: see the messages above |"
fi

echo
echo "== Figures"
echo
echo "Machine: $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//'), $(nproc) cores," \
    "$(awk '/MemTotal/ { printf "%.0f GB", $2 / 1048576 }' /proc/meminfo) RAM," \
    "$(uname -sr), trees on $(df -PT "$work" | awk 'NR == 2 { print $2 }')"
echo
cat "$work/summary.md"
echo
echo "Start-up and the Windows profile functions"
echo
echo "| measure | ours | baseline | ratio | target | result |"
echo "|---|---|---|---|---|---|"
printf '%s' "$startup"
echo "$wine_row"
echo "$windows_rows"
