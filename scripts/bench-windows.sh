#!/usr/bin/env bash
# The Windows program's figures, under Wine: start-up of kwarino.exe to its
# window shown and its peak working set against a bare Win32 window with the
# same controls, the survey of 100,000 files against a bare FindFirstFileW
# walk, one look for the processes running Inst.exe against a bare process
# snapshot, and the size of kwarino.exe as the zip holds it. Prints the table rows
# (the format of scripts/bench.sh, which calls this); needs MinGW-w64, Wine,
# Xvfb and the locale ja_JP.UTF-8 (scripts/test-windows.sh sets them up).
#
#   scripts/bench-windows.sh WORK_FOLDER
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
work=${1:?usage: bench-windows.sh WORK_FOLDER}
jobs=${KW_BENCH_JOBS:-$(nproc)}
build=build/bench-mingw

echo "== Windows program under Wine (Release, $build)" >&2
cmake -S . -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
    -DKW_BUILD_GUI=OFF -DKW_BUILD_TESTS=OFF -DKW_BUILD_BENCH=ON >/dev/null
cmake --build "$build" -j"$jobs" --target kwarino_zip kw_bare_window \
    kw_windows_startup_bench kw_windows_survey_bench kw_windows_process_bench >&2

export KW_WINEPREFIX="$root/$build/wineprefix"
winpath() { echo "Z:${1//\//\\}"; }

# Start-up: "NAME ms KiB" for the tool and the bare window, on a display of their own.
startup=$(scripts/with-display.sh cmake/wine-run.sh "$build/bench/kw_windows_startup_bench.exe" 15 \
    "tool=$(winpath "$root/$build/win32/kwarino.exe")" \
    "bare=$(winpath "$root/$build/bench/kw_bare_window.exe")" | grep -v '^==') ||
    startup=""
if [ -n "$startup" ]; then
    awk '
        { ms[$1] = $2; kib[$1] = $3 }
        END {
            r = ms["tool"] / ms["bare"]
            printf "| start-up of kwarino.exe to its window shown, vs a bare Win32 window with the same controls (Wine, Xvfb) | %.0f ms | %.0f ms | %.2f | <= 1.3 | %s |\n",
                ms["tool"], ms["bare"], r, (r <= 1.3 ? "met" : "MISSED")
            r = kib["tool"] / kib["bare"]
            printf "| peak working set until then (Wine) | %.1f MB | %.1f MB | %.2f | <= 1.3 | %s |\n",
                kib["tool"] / 1024, kib["bare"] / 1024, r, (r <= 1.3 ? "met" : "MISSED")
        }' <<<"$startup"
else
    echo "| start-up of kwarino.exe (Wine, Xvfb) | - | - | - | <= 1.3 | failed: see the messages above |"
fi

# The survey of 100,000 files in 1,000 folders.
mkdir -p "$work/wine-survey"
if survey=$(cmake/wine-run.sh "$build/bench/kw_windows_survey_bench.exe" "$(winpath "$work/wine-survey")"); then
    awk '
        $1 == "survey_tool" { tool = $2 } $1 == "survey_walk" { walk = $2 }
        END {
            r = tool / walk
            printf "| survey, 100,000 files in 1,000 folders, vs a bare FindFirstFileW walk (Windows build, Wine) | %.0f ms | %.0f ms | %.2f | <= 1.3 | %s |\n",
                tool, walk, r, (r <= 1.3 ? "met" : "MISSED")
        }' <<<"$survey"
else
    echo "| survey, 100,000 files (Wine) | - | - | - | <= 1.3 | failed: see the messages above |"
fi

# One look for the processes running Inst.exe, as the close repeats it every second.
mkdir -p "$work/wine-processes"
if looks=$(cmake/wine-run.sh "$build/bench/kw_windows_process_bench.exe" "$(winpath "$work/wine-processes")"); then
    awk '
        { figure[$1] = $2 }
        END {
            printf "| one look for the processes running Inst.exe (%d processes), none running / one running, vs a bare process snapshot (Windows build, Wine) | %.1f / %.1f ms | %.1f ms | %.2f | - | measured |\n",
                figure["processes"], figure["look_none"], figure["look_one"], figure["snapshot"],
                figure["look_one"] / figure["snapshot"]
        }' <<<"$looks"
else
    echo "| one look for the processes running Inst.exe (Wine) | - | - | - | - | failed: see the messages above |"
fi

# The size of the program as handed out (the copy in the zip, without symbols).
bytes=$(stat -c %s "$build/zip/kwarino.exe")
awk -v b="$bytes" 'BEGIN {
    printf "| size of kwarino.exe as the zip holds it (Release, statically linked) | %.2f MB | 2 MB | %.2f | < 1 | %s |\n",
        b / 1048576, b / 2097152, (b < 2097152 ? "met" : "MISSED")
}'
