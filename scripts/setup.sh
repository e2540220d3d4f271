#!/usr/bin/env bash
# One-step set-up for a Debian machine.
#   bash scripts/setup.sh run [photos...]   install what is missing, build, start Trimvale
#   bash scripts/setup.sh test              install what is missing, build with sanitizers and as
#                                           Release, run every test in both builds
#   bash scripts/setup.sh package           install what is missing, build the Debian source package
#                                           and its two binary packages in build-deb/, run lintian
#   bash scripts/setup.sh tsan              build the tests of the worker pools with ThreadSanitizer, run them
set -euo pipefail

mode=${1:-run}
[ $# -gt 0 ] && shift
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-translations-l10n libgl-dev
          libjpeg62-turbo-dev libjpeg-turbo-progs gettext libgtest-dev libgmock-dev libbenchmark-dev
          dpkg-dev file nlohmann-json3-dev libdlib-dev liblapack-dev)
if [ "$mode" = package ]; then
    packages+=(debhelper lintian xz-utils)
fi
if [ "$mode" = test ] || [ "$mode" = tsan ]; then
    packages+=(libimage-exiftool-perl exiv2 xvfb xauth desktop-file-utils appstream lintian parallel
               rsync openssh-client)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

jobs=$(nproc 2>/dev/null || echo 2)

case "$mode" in
run)
    cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Release
    cmake --build "$root/build" -j "$jobs"
    exec "$root/build/trimvale" "$@"
    ;;
test)
    # Debug with AddressSanitizer and UndefinedBehaviorSanitizer, then the same tests
    # optimised and without sanitizers, as the program ships: Qt is not instrumented,
    # and the sanitizer's quarantine keeps freed memory intact that Qt may still read.
    status=0
    for variant in "build-test Debug ON" "build-test-rel Release OFF"; do
        read -r dir type sanitize <<<"$variant"
        cmake -S "$root" -B "$root/$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" \
            -DTRIMVALE_TESTS=ON -DTRIMVALE_SANITIZE="$sanitize" -DTRIMVALE_BENCH=OFF
        cmake --build "$root/$dir" -j "$jobs"
        echo "== Tests of the $type build ($dir)"
        (cd "$root/$dir" && ctest --output-on-failure -j "$jobs" "$@") || status=1
    done
    exit "$status"
    ;;
package)
    # the Debian source package from the files of the repository (debian/ apart, as
    # the upstream tarball has it), then its two binary packages, checked by lintian
    version=$(dpkg-parsechangelog -l "$root/debian/changelog" -S Version)
    upstream=${version%-*}
    out="$root/build-deb"
    rm -rf "$out"
    mkdir -p "$out"
    (cd "$root" && git ls-files -z --cached --others --exclude-standard | grep -zv '^debian/' |
        tar --null -T - --transform "s|^|trimvale-$upstream/|" -cJf "$out/trimvale_$upstream.orig.tar.xz")
    tar -C "$out" -xf "$out/trimvale_$upstream.orig.tar.xz"
    cp -r "$root/debian" "$out/trimvale-$upstream/"
    (cd "$out/trimvale-$upstream" && DEB_BUILD_OPTIONS="parallel=$jobs" dpkg-buildpackage -us -uc)
    lintian --pedantic "$out"/trimvale_"$version"_*.changes
    ;;
tsan)
    pools=(CropSchedulerTest ThumbnailPoolTest ParallelRunsTest ImageLoaderTest MainFormTest)
    cmake -S "$root" -B "$root/build-tsan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
        -DTRIMVALE_TESTS=ON -DTRIMVALE_TSAN=ON -DTRIMVALE_BENCH=OFF
    cmake --build "$root/build-tsan" -j "$jobs" --target "${pools[@]}"
    cd "$root/build-tsan"
    ctest --output-on-failure -R "$(IFS='|'; echo "${pools[*]}")" "$@"
    ;;
*)
    echo "usage: $0 run [photos...] | test | package | tsan" >&2
    exit 2
    ;;
esac
