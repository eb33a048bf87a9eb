#!/usr/bin/env bash
# Installs the Debian packages listed in scripts/packages.txt that are missing.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
mapfile -t wanted < <(grep -v -E '^\s*(#|$)' "$here/packages.txt")
missing=()
for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
# Waits (up to ten minutes) for another apt or the desktop's updates to let go
# of the package manager's lock instead of failing at once.
wait_for_lock=(-o DPkg::Lock::Timeout=600)
# update gives up at once on the lists' lock, which the desktop holds while it
# refreshes them: try again while that lock (and nothing else) stops it.
update_lists() {
    local out status deadline=$((SECONDS + 600))
    until out=$($sudo env LC_ALL=C apt-get "${wait_for_lock[@]}" update -qq 2>&1); do
        status=$?
        if ! grep -q 'Could not get lock' <<<"$out" || [ "$SECONDS" -ge "$deadline" ]; then
            printf '%s\n' "$out" >&2
            return "$status"
        fi
        sleep 5
    done
    [ -z "$out" ] || printf '%s\n' "$out"
}
update_lists
$sudo apt-get "${wait_for_lock[@]}" install -y -qq "${missing[@]}"
