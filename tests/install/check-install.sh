#!/usr/bin/env bash
# bash check-install.sh BUILD_DIR SOURCE_DIR VERSION
# Installs, strips and packs the build and checks what a Debian user gets.
set -euo pipefail
build=$1 src=$2 version=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

# --- what cmake --install puts under the prefix
root=$scratch/root
DESTDIR=$root cmake --install "$build" --prefix /usr > /dev/null
id=org.trimvale.Trimvale
for f in bin/trimvale share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
         share/icons/hicolor/scalable/apps/trimvale.svg share/man/man1/trimvale.1.gz; do
    [ -f "$root/usr/$f" ] || fail "not installed: /usr/$f"
done
for size in 16 22 24 32 48 64 128 256; do
    png=$root/usr/share/icons/hicolor/${size}x$size/apps/trimvale.png
    [ -f "$png" ] || fail "no $size px icon"
    [ "$(od -An -tu1 -j16 -N8 "$png" | awk '{print $3*256+$4 "x" $7*256+$8}')" = "${size}x$size" ] ||
        fail "the $size px icon has another size"
done
for f in copyright changelog.gz; do
    [ -f "$root/usr/share/doc/trimvale/$f" ] || fail "not installed: /usr/share/doc/trimvale/$f"
done
# the catalogues are data of the program image: a stripped copy still speaks German
strip "$root/usr/bin/trimvale"
file "$root/usr/bin/trimvale" | grep -q ', stripped' || fail "strip left the program unstripped"
speaks_german() {
    embedded=$(bash "$src/i18n/tools/list-embedded.sh" "$1")
    grep -qx 'locale\\de\\LC_MESSAGES\\default.mo' <<< "$embedded" || fail "$1 carries no catalogues"
    usage=$(env -i LANG=de_DE.UTF-8 ASAN_OPTIONS="${ASAN_OPTIONS:-}" LSAN_OPTIONS="${LSAN_OPTIONS:-}" \
        "$1" --help | head -n 1)
    [ "$usage" = "Aufruf: trimvale [PHOTO...]" ] || fail "$1 speaks no German: $usage"
}
speaks_german "$root/usr/bin/trimvale"
desktop-file-validate "$root/usr/share/applications/$id.desktop"
verdict=$(appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml") || fail "$verdict"
grep -q 'existing' <<< "$(gzip -cd "$root/usr/share/man/man1/trimvale.1.gz")" || fail "the manual page lacks the options"

# --- the installed command line: no display, settings per user, jpegtran from the PATH
home=$scratch/home
mkdir -p "$home/.config/Trimvale"
sep=$(printf '\244')
printf 'StorageTank%sSettings%s\r\nBoolean%sTransformFilename%sTrue\r\nString%sTransformTemplate%s%%N_mine\r\nStorageTankEnd%s\r\n' \
    "$sep" "$sep" "$sep" "$sep" "$sep" "$sep" "$sep" > "$home/.config/Trimvale/Trimvale.ini"
{ printf 'P6\n96 64\n255\n'; head -c $((96 * 64 * 3)) /dev/urandom; } > "$scratch/photo.ppm"
cjpeg -outfile "$scratch/photo.jpg" "$scratch/photo.ppm"
run() {
    env -i PATH=/usr/bin:/bin HOME="$home" LANG=C ASAN_OPTIONS="${ASAN_OPTIONS:-}" \
        LSAN_OPTIONS="${LSAN_OPTIONS:-}" UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" "$@"
}
report=$(run "$root/usr/bin/trimvale" --crop --output "$scratch/out" "$scratch/photo.jpg") ||
    fail "the installed command line failed: $report"
[ "$report" = "written: $scratch/photo.jpg -> $scratch/out/photo_mine.jpg" ] ||
    fail "unexpected report: $report"
[ ! -e "$root/usr/bin/Trimvale.ini" ] || fail "settings were written beside the installed program"
# without HOME (cron, env -i) the default destination is still the user's, not beside the program
planned=$(env -i PATH=/usr/bin:/bin LANG=C ASAN_OPTIONS="${ASAN_OPTIONS:-}" \
    LSAN_OPTIONS="${LSAN_OPTIONS:-}" UBSAN_OPTIONS="${UBSAN_OPTIONS:-}" \
    "$root/usr/bin/trimvale" --crop --dry-run "$scratch/photo.jpg") || fail "the dry run without HOME failed"
home_of_user=$(getent passwd "$(id -u)" | cut -d: -f6)
grep -qF -- "-outfile '$home_of_user/" <<< "$planned" || fail "without HOME the output is not the user's: $planned"
[ ! -e "$root/usr/bin/Cropped" ] || fail "a Cropped folder was made beside the installed program"
# started from a terminal without any display, the window says so and ends
status=0
said=$(env -i PATH=/usr/bin:/bin HOME="$home" LANG=C ASAN_OPTIONS="${ASAN_OPTIONS:-}" \
    LSAN_OPTIONS="${LSAN_OPTIONS:-}" "$root/usr/bin/trimvale" 2>&1) || status=$?
[ "$status" = 2 ] && [ "$said" = 'no display: start Trimvale from a desktop, or crop with `trimvale --crop`' ] ||
    fail "without a display: status $status, $said"
# started as from the menu, the window stays up until it is told to go
status=0
run QT_QPA_PLATFORM=offscreen timeout 5 "$root/usr/bin/trimvale" > /dev/null 2>&1 || status=$?
[ "$status" = 124 ] || fail "the installed window ended by itself with status $status"

# --- cpack -G DEB
(cd "$scratch" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/pkg" > /dev/null)
deb=$scratch/pkg/trimvale_${version}_amd64.deb
[ -f "$deb" ] || fail "no $(basename "$deb"): $(ls "$scratch/pkg")"
depends=$(dpkg-deb -f "$deb" Depends)
for dep in libjpeg-turbo-progs libqt6widgets6 libjpeg62-turbo libc6; do
    grep -q "\\b$dep\\b" <<< "$depends" || fail "the package does not depend on $dep: $depends"
done
dpkg-deb -x "$deb" "$scratch/unpacked"
(cd "$root" && find . -type f | sort) > "$scratch/installed"
(cd "$scratch/unpacked" && find . -type f | sort) > "$scratch/packed"
diff "$scratch/installed" "$scratch/packed" || fail "the package holds other files than the install"
file "$scratch/unpacked/usr/bin/trimvale" | grep -q ', stripped' || fail "the packed program is not stripped"
speaks_german "$scratch/unpacked/usr/bin/trimvale"
gzip -cd "$scratch/unpacked/usr/share/doc/trimvale/changelog.gz" | head -n 1 | grep -qF "trimvale ($version)" ||
    fail "the changelog does not start with this version"
echo "installed and packed: $(basename "$deb")"
