#!/usr/bin/env bash
# Runs a cross-built Windows program under Wine (CMake's emulator for the
# cross build, so CTest and test discovery use it):
#   wine-run.sh program.exe [arguments...]
#   wine-run.sh --fresh     (in the build folder: a new Wine prefix, nothing run)
#
# The Wine prefix lives in the build folder (KW_WINEPREFIX, or wineprefix/ in
# the nearest folder above the program that holds CMakeCache.txt); it is
# created on first use, once, even when several tests start at the same time.
# LANG=ja_JP.UTF-8 makes Wine's ANSI code page 932, as on a Japanese Windows.
# The prefix also gets an empty drive T: of its own, named to the programs in
# KW_SCRATCH_DRIVE, where tests may use the root folder of a drive; the window's
# font "ＭＳ Ｐゴシック" drawn with its metric twin IPAPGothic; and Marlett, the
# font of the caption buttons, which Debian's prefix lacks; Wine draws the window
# frames itself (no window manager on a test display).
#
# Windows appear on the X display KW_DISPLAY (scripts/test-windows.sh
# starts an Xvfb for it); without it Wine runs with no display at all.
set -euo pipefail

if [ $# -lt 1 ]; then
    echo "usage: $0 program.exe [arguments...] | $0 --fresh" >&2
    exit 2
fi
fresh=0
if [ "$1" = --fresh ]; then
    fresh=1
fi

if [ -z "${KW_WINEPREFIX:-}" ]; then
    # The build folder: the nearest folder above the program holding CMakeCache.txt.
    if [ $fresh = 1 ]; then
        dir=$(pwd)
    else
        dir=$(cd "$(dirname "$1")" && pwd)
    fi
    while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do
        dir=$(dirname "$dir")
    done
    if [ "$dir" = / ]; then
        echo "$0: no build folder above $1" >&2
        exit 2
    fi
    KW_WINEPREFIX="$dir/wineprefix"
fi

export WINEPREFIX="$KW_WINEPREFIX"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" # no Mono or Gecko install dialogs
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
export DISPLAY="${KW_DISPLAY:-}" # no X server unless the caller names one for windows
unset WAYLAND_DISPLAY

if ! locale -a 2>/dev/null | grep -qix 'ja_JP.utf-\?8'; then
    echo "$0: the locale ja_JP.UTF-8 is missing (Wine needs it for code page 932)" >&2
    exit 2
fi

if [ $fresh = 1 ] || [ ! -f "$WINEPREFIX/.kw-ready" ]; then
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        flock 9
        if [ $fresh = 1 ] || [ ! -f "$WINEPREFIX/.kw-ready" ]; then
            # Stop the Wine server of an earlier prefix in this place.
            [ -d "$WINEPREFIX" ] && wineserver -k >/dev/null 2>&1 || true
            rm -rf "$WINEPREFIX"
            wineboot -i >/dev/null 2>&1
            wineserver -w
            mkdir -p "$WINEPREFIX/drive_t"
            ln -sfn ../drive_t "$WINEPREFIX/dosdevices/t:"
            wine reg add 'HKCU\Software\Wine\Fonts\Replacements' \
                /v 'ＭＳ Ｐゴシック' /t REG_SZ /d IPAPGothic /f >/dev/null 2>&1
            cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
            # Wine draws the window frames itself: a test display has no window manager.
            wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
                >/dev/null 2>&1
            wineserver -w
            touch "$WINEPREFIX/.kw-ready"
        fi
        # One server for the whole run, with Wine's own services, kept a minute
        # after the last program: a program that starts just as a server with
        # no programs left exits fails ("recvmsg: Connection reset by peer"),
        # and services a test's program started would hold that test's output
        # open until the run ends. Neither keeps the lock (9) or any output.
        wineserver -p60 </dev/null >/dev/null 2>&1 9>&- || true # one may run already
        wine wineboot </dev/null >/dev/null 2>&1 9>&-
    ) 9>"$WINEPREFIX.lock"
fi

[ $fresh = 1 ] && exit 0
export KW_SCRATCH_DRIVE=T:
exec wine "$@"
