#!/usr/bin/env bash
# Builds the release zip twice, as `cmake --preset windows` does, in two fresh
# build folders of different paths, at different times, in different time zones
# and with different umasks; non-zero unless the two zips are the same bytes.
# On a difference it names the file in the zip and the first differing offset.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)
a=build/repro-a
b=build/repro-b-longer-name

build() { # folder, time zone, umask
    rm -rf "$1"
    (umask "$3" && export TZ="$2" && cmake --preset windows -B "$1" >/dev/null &&
        cmake --build "$1" -j"$jobs" --target kwarino_zip >/dev/null)
}
build "$a" UTC 022
sleep 2
build "$b" JST-9 077

zips=("$a"/kwarino-*-win64.zip)
name=$(basename "${zips[0]}")
[ ${#zips[@]} -eq 1 ] && [ -f "$b/$name" ] || {
    echo "check-reproducible.sh: expected one zip in each of $a and $b" >&2
    exit 1
}
(cd "$a" && sha256sum --check --quiet "$name.sha256")

# What a user unpacks: these three files in this order, nothing else.
entries=$(zipinfo -1 "$a/$name" | tr '\n' ' ')
if [ "$entries" != "kwarino.exe ReadMe.txt THIRD-PARTY-NOTICES.txt " ]; then
    echo "check-reproducible.sh: $name holds: $entries" >&2
    exit 1
fi
# The PE header holds the commit's time, not the build's.
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 315532800)}
want=$(TZ=UTC LC_ALL=C date -d "@$epoch" '+%a %b %e %H:%M:%S %Y')
got=$(TZ=UTC LC_ALL=C x86_64-w64-mingw32-objdump -p "$a/win32/kwarino.exe" |
    sed -n 's/^Time\/Date[[:space:]]*//p')
if [ "$got" != "$want" ]; then
    echo "check-reproducible.sh: kwarino.exe is dated $got, the commit $want" >&2
    exit 1
fi

# The first offset, from 0, at which two files differ; false if none.
difference() {
    local out n
    out=$(cmp "$1" "$2" 2>&1) && return 1
    n=$(grep -o 'byte [0-9]*' <<<"$out" | grep -o '[0-9]*$')
    case $out in
    *EOF*) echo "$n, where one of them ends" ;;
    *) echo "$((n - 1))" ;;
    esac
}
if at=$(difference "$a/$name" "$b/$name"); then
    rm -rf "$a/unzipped" "$b/unzipped"
    unzip -q "$a/$name" -d "$a/unzipped"
    unzip -q "$b/$name" -d "$b/unzipped"
    for f in $entries; do
        if at_file=$(difference "$a/unzipped/$f" "$b/unzipped/$f"); then
            echo "not reproducible: $f in $name differs at offset $at_file" >&2
            exit 1
        fi
    done
    echo "not reproducible: the files agree but $name differs at offset $at" >&2
    exit 1
fi
echo "reproducible: $name sha256 $(sha256sum "$a/$name" | cut -d' ' -f1)"
