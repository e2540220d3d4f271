#!/usr/bin/env bash
# The command line at archive scale: time and memory as the photos grow.
#   archive-bench.sh TRIMVALE [WORKDIR]     (SECTIONS=13 runs the first and third only)
# Prints three comparisons (each with its goal):
#   1. 20,000 small photos into one output folder against the same spread over
#      20 folders (goal: at most 1.2 times the time);
#   2. the resident memory of a dry run over 200,000 photos against one over
#      2,000 (goal: at most 10 MB more);
#   3. a run over 5,000 small photos against its own dry run's jpegtran calls
#      run two at a time (goal: at most 1.1 times the time).
# Photos are hard links of a few small ones: each name is a photo of its own.
set -euo pipefail
exe=$(realpath "$1")
work=${2:-$(mktemp -d)}
mkdir -p "$work"
cd "$work"
ini=$work/bench.ini
# the program's defaults, without the resolution update the bare calls do not make
printf 'StorageTank\xa4Settings\xa4\r\nBoolean\xa4UpdatePPI\xa4False\r\nStorageTankEnd\xa4\r\n' > "$ini"
crop() { "$exe" --crop --quiet --settings "$ini" "$@"; }

seed() { # seed DIR: four small photos
    mkdir -p "$1"
    for i in 0 1 2 3; do
        printf 'P6 96 64 255\n' > "$1/p.ppm"
        head -c $((96 * 64 * 3)) /dev/urandom >> "$1/p.ppm"
        cjpeg -quality 85 -outfile "$1/s$i.jpg" "$1/p.ppm"
    done
    rm "$1/p.ppm"
}
tree() { # tree DIR FOLDERS EACH: FOLDERS folders of EACH photos, hard links of the seeds
    local dir=$1 folders=$2 each=$3 f i
    [ -f "$dir/.done" ] && return
    rm -rf "$dir"
    mkdir -p "$dir/f0"
    for ((i = 0; i < each; i++)); do
        ln "$work/seed/s$((i % 4)).jpg" "$dir/f0/p0_$i.jpg"
    done
    # the other folders are linked copies of the first: names alike in each
    for ((f = 1; f < folders; f++)); do
        cp -al "$dir/f0" "$dir/f$f"
    done
    touch "$dir/.done"
}
seconds() { # seconds COMMAND...: wall time of the command; its CPU time goes to $work/cpu
    /usr/bin/time -o "$work/time" -f '%e %U %S' "$@" > /dev/null
    read -r wall user sys < <(tail -1 "$work/time")
    echo "$user + $sys" | bc -l | xargs printf '%.2f' > "$work/cpu"
    printf '%.2f' "$wall"
}
ratio() { echo "$1 / $2" | bc -l | xargs printf '%.2f'; }

[ -d seed ] || seed seed

sections=${SECTIONS:-123}
if [[ $sections == *1* ]]; then
echo "== 1. 20,000 photos: one output folder against 20"
tree t20k 20 1000
rm -rf one spread
spread=$(seconds "$exe" --crop --quiet --settings "$ini" -r --output spread t20k)
one=$(seconds sh -c "find t20k -name '*.jpg' -print0 | \"$exe\" --crop --quiet --settings '$ini' --files-from - -0 --output one")
# (the folders hold the same names, so the one folder numbers them: IMG (2).jpg ... IMG (20).jpg)
echo "spread over 20 folders: ${spread} s; into one folder: ${one} s; ratio $(ratio "$one" "$spread") (goal <= 1.2)"
[ "$(ls one | wc -l)" = 20000 ] || echo "one folder holds $(ls one | wc -l) files"

fi

if [[ $sections == *2* ]]; then
echo "== 2. resident memory of a dry run: 2,000 against 200,000 photos"
tree t2k 20 100
tree t200k 2000 100
rss() { /usr/bin/time -f %M "$exe" --crop --quiet --settings "$ini" --dry-run -r --output dry "$1" 2>&1 >/dev/null | tail -1; }
small=$(rss t2k)
large=$(rss t200k)
echo "2,000 photos: ${small} KB; 200,000 photos: ${large} KB; more: $(((large - small) / 1024)) MB (goal <= 10)"

fi

if [[ $sections == *3* ]]; then
echo "== 3. 5,000 photos: the run against its dry run's calls, two at a time"
tree t5k 5 1000
rm -rf run5 dry5
runTime=$(seconds "$exe" --crop --quiet --settings "$ini" -r --jobs 2 --output run5 t5k)
runCpu=$(cat cpu)
crop -r --dry-run --output dry5 t5k > calls.sh
grep '^mkdir' calls.sh | sh
# one shell a call, as a pasted line runs (the bench's names hold no line breaks)
callsTime=$(seconds sh -c "grep -v '^mkdir' calls.sh | xargs -d '\\n' -n 1 -P 2 sh -c")
callsCpu=$(cat cpu)
echo "trimvale --crop --jobs 2: ${runTime} s; bare calls: ${callsTime} s; ratio $(ratio "$runTime" "$callsTime") (goal <= 1.1)"
# on a machine shared with other work the wall times swing; the CPU times do not
echo "CPU time: trimvale ${runCpu} s; bare calls ${callsCpu} s; ratio $(ratio "$runCpu" "$callsCpu")"
fi
