#!/usr/bin/env bash
# The Windows build made with MinGW-w64 (kwarino.exe, its zip and the tests),
# its tests run under Wine on an X display of their own (Xvfb, ended on exit),
# and the release zip built twice to the same bytes; non-zero on any failure.
# The packages come from scripts/packages.txt (scripts/install-deps.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

for tool in x86_64-w64-mingw32-g++-posix wine wineboot wineserver Xvfb zip unzip; do
    if ! command -v "$tool" >/dev/null; then
        echo "test-windows.sh: $tool is missing (run scripts/install-deps.sh)" >&2
        exit 1
    fi
done
if [ ! -f /usr/src/googletest/CMakeLists.txt ]; then
    echo "test-windows.sh: the GoogleTest sources are missing (package googletest)" >&2
    exit 1
fi

# Wine uses code page 932, as a Japanese Windows does, only in a Japanese locale.
has_locale() { locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8'; }
if ! has_locale; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    echo "== generating the locale ja_JP.UTF-8"
    if [ -f /etc/locale.gen ] && command -v locale-gen >/dev/null; then
        if grep -q '^# *ja_JP.UTF-8 UTF-8' /etc/locale.gen; then
            $sudo sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
        elif ! grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen; then
            echo 'ja_JP.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
        fi
        $sudo locale-gen >/dev/null
    else
        $sudo localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
    fi
    if ! has_locale; then
        echo "test-windows.sh: could not generate the locale ja_JP.UTF-8" >&2
        exit 1
    fi
fi

jobs=$(nproc)
cmake --preset mingw >/dev/null
cmake --build build/mingw -j"$jobs"

# A fresh Wine prefix in build/mingw/wineprefix first, then one Wine process
# per test program, on a display of their own.
KW_WINEPREFIX="$root/build/mingw/wineprefix" scripts/with-display.sh ctest --preset mingw -j"$jobs"

# Anyone who builds the same commit gets the same zip.
scripts/check-reproducible.sh
