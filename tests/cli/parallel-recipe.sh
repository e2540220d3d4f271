#!/usr/bin/env bash
# The README's recipe for several machines, run as typed: GNU parallel with two
# "machines" reached through an ssh stand-in that runs each command in a folder
# of its own. Names that need quoting come back, a failure on a machine makes
# the recipe fail, nothing is left on the machines, and a second run adds
# nothing. Usage: parallel-recipe.sh TRIMVALE README
set -euo pipefail
exe=$(realpath "$1")
readme=$2
for tool in parallel rsync djpeg cjpeg; do
    command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/remotes" "$work/archive"
ln -s "$exe" "$work/bin/trimvale"
# the stand-in for ssh: options, the machine, then the command as one shell line
cat > "$work/bin/fakessh" <<'SSH'
#!/bin/sh
while [ $# -gt 0 ]; do
    case $1 in
    -l | -p | -o | -e) shift 2 ;;
    -*) shift ;;
    *) break ;;
    esac
done
host=$1
shift
# as ssh, which reads options after the machine as well, up to "--"
[ "${1:-}" = -- ] && shift
mkdir -p "$REMOTES/$host"
# sshd gives the command a login's HOME and SHELL; parallel's remote side runs
# the job with $SHELL, whatever the calling environment held
cd "$REMOTES/$host" && HOME=$PWD SHELL=/bin/sh exec sh -c "$*"
SSH
chmod +x "$work/bin/fakessh"
export REMOTES="$work/remotes" PATH="$work/bin:$PATH"

photo() { # photo PATH: a small photo
    mkdir -p "$(dirname "$1")"
    printf 'P6 64 48 255\n' > "$work/p.ppm"
    head -c $((64 * 48 * 3)) /dev/urandom >> "$work/p.ppm"
    cjpeg -outfile "$1" "$work/p.ppm"
}
photo "$work/archive/2020 trip/a.jpg"
photo "$work/archive/it's/b.JPG"
photo "$work/archive/plain/sub/c.jpg"
photo "$work/archive/top.jpg"

# the recipe: the README's lines from "cd /srv/archive" to the first empty line,
# with this archive and the two stand-in machines
recipe=$(awk '/^    cd \/srv\/archive$/ { on = 1 } on && /^$/ { exit } on' "$readme" |
    sed -e 's/^    //' -e "s|/srv/archive|$work/archive|" \
        -e 's|--sshlogin [^ ]*|--ssh fakessh --sshlogin 2/node1,2/node2|')
[ -n "$recipe" ] || { echo "FAIL: no recipe in $readme"; exit 1; }
run() { (cd "$work" && bash -e -c "$recipe"); }

fail() { echo "FAIL: $*"; exit 1; }
run || fail "the recipe failed"
cd "$work/archive"
outputs=$(find Cropped -type f | sort)
expected=$(printf '%s\n' "Cropped/2020 trip/a.jpg" "Cropped/it's/b.JPG" \
    "Cropped/plain/sub/c.jpg" "Cropped/top.jpg")
[ "$outputs" = "$expected" ] || fail "outputs: $outputs"
[ "$(grep -c '"status":"written"' report.jsonl)" = 4 ] || fail "report: $(cat report.jsonl)"
left=$(find "$REMOTES" -type f)
[ -z "$left" ] || fail "left on the machines: $left"

# a second run finds only the photos, never the crops, and names nothing anew
run || fail "the second run failed"
[ "$(find Cropped -type f | sort)" = "$outputs" ] || fail "second run: $(find Cropped -type f)"

# a photo that fails on a machine makes the recipe fail
mkdir -p "$work/archive/broken"
printf 'no JPEG' > "$work/archive/broken/x.jpg"
if run; then fail "a failed photo passed"; fi
grep -q '"status":"failed"' report.jsonl || fail "no failure reported"
left=$(find "$REMOTES" -type f)
[ -z "$left" ] || fail "left on the machines after a failure: $left"
echo "ok"
