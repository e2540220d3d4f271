#!/usr/bin/env bash
# bash check-lintian.sh BUILD_DIR VERSION
# Packs the build and runs lintian --pedantic on the package: any error (E:)
# or warning (W:) fails; the remaining notes are printed for the log.
set -euo pipefail
build=$1 version=$2
command -v lintian > /dev/null || { echo "lintian is not installed (bash scripts/setup.sh test installs it)"; exit 77; }
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

(cd "$scratch" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/pkg" > "$scratch/cpack.log" 2>&1) ||
    { cat "$scratch/cpack.log"; echo "FAILED: cpack" >&2; exit 1; }
deb=$scratch/pkg/trimvale_${version}_amd64.deb
[ -f "$deb" ] || { echo "FAILED: no $(basename "$deb")" >&2; exit 1; }
# lintian's own exit status also counts notes; the verdict is ours
notes=$(lintian --pedantic --no-cfg --fail-on none "$deb" 2>&1 | grep -v 'with root privileges') || true
[ -z "$notes" ] || printf '%s\n' "$notes"
if grep -qE '^[EW]: ' <<< "$notes"; then
    echo "FAILED: lintian reports errors or warnings on $(basename "$deb")" >&2
    exit 1
fi
echo "lintian: no errors or warnings on $(basename "$deb")"
