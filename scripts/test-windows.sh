#!/usr/bin/env bash
# The Windows build made with MinGW-w64 (kwarino.exe, its zip and the tests),
# and its tests run under Wine on an X display of their own (Xvfb, ended on
# exit); non-zero on any failure. The packages come from scripts/packages.txt
# (scripts/install-deps.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

for tool in x86_64-w64-mingw32-g++-posix wine wineboot wineserver Xvfb; do
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

# A display for the windows: a new Xvfb on a free display number, which it
# writes to the file below once it accepts clients.
xvfb_pid=
stop_display() {
    # The Wine server of the test prefix first, while its windows still have a display.
    WINEPREFIX="$root/build/mingw/wineprefix" wineserver -k >/dev/null 2>&1 || true
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -f "${display_file:-}"
}
trap stop_display EXIT
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" </dev/null >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
    grep -q . "$display_file" && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
done
if ! grep -q . "$display_file"; then
    echo "test-windows.sh: Xvfb did not start" >&2
    exit 1
fi
export KW_DISPLAY=":$(head -n 1 "$display_file")"
echo "== Wine's windows on the display $KW_DISPLAY"
# A fresh Wine prefix in build/mingw/wineprefix first, then one Wine process
# per test program.
ctest --preset mingw -j"$jobs"
