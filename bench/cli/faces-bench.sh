#!/usr/bin/env bash
# trimvale --crop with and without looking for faces, on the same photos.
#   faces-bench.sh TRIMVALE PHOTO [COUNT] [WORKDIR]
# Crops COUNT (default 100) copies of PHOTO (a photo with people: faces are found in
# it, and its area slides), three times each way, and prints the best times and their
# ratio (goal: at most 1.15 times the time without faces).
set -euo pipefail
exe=$(realpath "$1")
photo=$(realpath "$2")
count=${3:-100}
work=${4:-$(mktemp -d)}
mkdir -p "$work/in"
for i in $(seq -w 1 "$count"); do cp "$photo" "$work/in/p$i.jpg"; done
ini=$work/bench.ini
printf 'StorageTank\xa4Settings\xa4\r\nStorageTankEnd\xa4\r\n' > "$ini"

best() { # best FACES: the shortest of three runs, in seconds
    local best=""
    for round in 1 2 3; do
        rm -rf "$work/out"
        local start end
        start=$(date +%s.%N)
        "$exe" --crop --quiet --settings "$ini" --faces "$1" --aspect "10x15 cm" \
            --output "$work/out" "$work/in" > /dev/null
        end=$(date +%s.%N)
        best=$(echo "$start $end ${best:-1e9}" | awk '{t = $2 - $1; print (t < $3) ? t : $3}')
    done
    echo "$best"
}
off=$(best off)
on=$(best on)
echo "$count photos ($(basename "$photo")): without faces ${off} s, with faces ${on} s"
echo "ratio: $(echo "$on $off" | awk '{printf "%.2f", $1 / $2}') (goal: at most 1.15)"
