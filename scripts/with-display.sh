#!/usr/bin/env bash
# Runs a command with an X display of its own for Wine's windows: a new Xvfb on
# a free display number, named to the command in KW_DISPLAY (cmake/wine-run.sh
# passes it on to Wine). When the command ends, also on failure, the Wine
# server of the prefix KW_WINEPREFIX (if set) is stopped, then the Xvfb.
#   with-display.sh COMMAND [ARGUMENTS...]     exit status: the command's
set -euo pipefail

xvfb_pid=
display_file=$(mktemp)
stop_display() {
    # Wine's processes first, while their windows still have a display.
    if [ -n "${KW_WINEPREFIX:-}" ] && [ -d "$KW_WINEPREFIX" ]; then
        WINEPREFIX="$KW_WINEPREFIX" wineserver -k >/dev/null 2>&1 || true
    fi
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
    rm -f "$display_file"
}
trap stop_display EXIT

# Xvfb writes the display number it chose to descriptor 3 once it accepts clients.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" </dev/null >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
    grep -q . "$display_file" && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
done
if ! grep -q . "$display_file"; then
    echo "with-display.sh: Xvfb did not start" >&2
    exit 1
fi
export KW_DISPLAY=":$(head -n 1 "$display_file")"
echo "== Wine's windows on the display $KW_DISPLAY (Xvfb)"
status=0
"$@" || status=$?
exit $status
