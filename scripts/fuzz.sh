#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for a
# bounded time (default 25 s, or the first argument), starting from the
# committed corpus. New inputs go to build-fuzz/corpus/; copy the useful ones
# into fuzz/corpus/ by hand. Fails when a target finds a crash.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-25}
dir=build-fuzz

cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++ \
    -DPELAMO_BUILD_FUZZ=ON -DPELAMO_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" --parallel 2 --target FuzzStrip FuzzWrite

for target in strip write; do
    name=Fuzz${target^}
    mkdir -p "$dir/corpus/$target" "$dir/artifacts"
    echo "== $name for ${seconds}s"
    "$dir/fuzz/$name" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=4096 \
        -artifact_prefix="$dir/artifacts/$name-" -print_final_stats=1 \
        "$dir/corpus/$target" "fuzz/corpus/$target" 2>&1 | grep -E "^#|Done|stat::number_of_executed_units|ERROR|SUMMARY" | tail -4
    [ "${PIPESTATUS[0]}" -eq 0 ] || { echo "$name failed; see $dir/artifacts" >&2; exit 1; }
done
