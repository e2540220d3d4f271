#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs one of them.
#   bash scripts/fuzz.sh fuzz_settings [seconds] [libFuzzer options...]
# e.g. bash scripts/fuzz.sh fuzz_settings 0 -runs=10000000 (0 seconds: no time limit)
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
target=${1:?usage: $0 fuzz_target [seconds]}
seconds=${2:-60}
shift $(($# < 2 ? $# : 2))
cmake -S "$root" -B "$root/build-fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DTRIMVALE_FUZZ=ON >/dev/null
cmake --build "$root/build-fuzz" --target "$target"
corpus="$root/build-fuzz/corpus-$target"
mkdir -p "$corpus" "$root/build-fuzz/artifacts"
seeds="$root/fuzz/seeds/$target"
[ -d "$seeds" ] || seeds=""
dict=()
[ -f "$root/fuzz/seeds/$target.dict" ] && dict=(-dict="$root/fuzz/seeds/$target.dict")
"$root/build-fuzz/fuzz/$(basename "$(dirname "$(grep -rl "trimvale_add_fuzzer($target " "$root/fuzz" | head -1)")")/$target" \
    -max_total_time="$seconds" -print_final_stats=1 "${dict[@]}" "$@" \
    -artifact_prefix="$root/build-fuzz/artifacts/" "$corpus" $seeds
