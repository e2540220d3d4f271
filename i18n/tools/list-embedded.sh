#!/usr/bin/env bash
# Lists the names of the files a Trimvale executable carries, one a line, by
# following the table of the compiled-in block that starts with the marker.
# Positions in the block count from the marker's first byte.
#   bash i18n/tools/list-embedded.sh build/trimvale
set -euo pipefail
exe=${1:?usage: $0 executable}
marker=6637DB2E-62E1-4A60-AC19-C23867046A89
size=$(stat -c %s "$exe")

u64() { od -An -v -t u8 --endian=little -j "$1" -N 8 "$exe" | tr -d ' '; }

found=$(grep -obaF "$marker" "$exe" | cut -d: -f1)
[ "$(printf '%s\n' "$found" | grep -c .)" = 1 ] || { echo "no single marker in $exe" >&2; exit 1; }
first=$(u64 $((found + ${#marker})))
[ "$first" != 0 ] || exit 0
pos=$((found + first))
while :; do
    [ $((pos + 8)) -le "$size" ] || { echo "table leaves the file at $pos" >&2; exit 1; }
    next=$(u64 "$pos")
    [ "$next" != 0 ] || break
    next=$((found + next))
    [ "$next" -ge $((pos + 24)) ] && [ "$next" -le "$size" ] || { echo "bad link at $pos" >&2; exit 1; }
    dd if="$exe" bs=1 skip=$((pos + 24)) count=$((next - pos - 24)) status=none | sed 's/ *$//'
    echo
    pos=$next
done
