#!/usr/bin/env bash
# Builds the benchmarks in build-bench/ and runs one of them; the test audio is
# encoded once, on first run, into build-bench/data/.
#
#   scripts/bench.sh                 the engine: Pelamo's rewrite of a ~5 MB song
#                                    and a ~60 MB episode against a bare verified
#                                    copy and against mid3v2, mutagen, eyeD3, kid3-cli
#   scripts/bench.sh batch [ROUNDS] [BEFORE_PELAMO]
#                                    `pelamo --tag`, flushing as always, side by
#                                    side on five folders: 200 ~1 MB files against
#                                    a verified copy of the folder, mutagen, mid3v2,
#                                    eyeD3, id3v2 and kid3-cli; 20 ~60 MB files
#                                    against the verified copy, mutagen and mid3v2,
#                                    with Pelamo's peak memory; one ~5 MB song
#                                    against its verified copy; one ~1 GB file and
#                                    two against a plain copy plus flush from a warm
#                                    and a cold page cache (7 rounds unless given);
#                                    with BEFORE_PELAMO, another build's `pelamo`
#                                    beside this one on each
#   scripts/bench.sh compare OTHER_PELAMO [ROUNDS] [WORKLOAD...]
#                                    this build's `pelamo --tag` against another
#                                    build's, in turns, on the batch folders
#   scripts/bench.sh startup [OTHER_PELAMO...]
#                                    how fast --list and --version end and the
#                                    window first shows, this build beside others
set -euo pipefail
cd "$(dirname "$0")/.."
what=${1:-engine}
targets=(pelamo_bench)
[ "$what" = batch ] && targets+=(pelamo pelamo_noflush)
[ "$what" = compare ] || [ "$what" = startup ] && targets+=(pelamo)
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DPELAMO_BUILD_BENCH=ON -DPELAMO_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench --parallel 2 --target "${targets[@]}" >/dev/null
python=/usr/bin/python3
"$python" -c "import mutagen" 2>/dev/null || python=python3
case "$what" in
    engine) exec "$python" bench/run.py build-bench build-bench ;;
    batch) shift; exec "$python" bench/batch.py build-bench "${1:-7}" "${@:2}" ;;
    compare) shift; exec "$python" bench/compare.py build-bench "$@" ;;
    startup) shift; exec "$python" bench/startup.py 21 build-bench/pelamo "$@" ;;
    *) echo "usage: scripts/bench.sh [engine | batch [ROUNDS] [BEFORE_PELAMO] | compare OTHER_PELAMO [ROUNDS] [WORKLOAD...]" \
            "| startup [OTHER_PELAMO...]]" >&2
       exit 2 ;;
esac
