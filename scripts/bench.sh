#!/usr/bin/env bash
# Builds the engine's benchmark in build-bench/ and runs it: Pelamo's rewrite of
# a ~5 MB song and a ~60 MB episode against a bare verified copy and against
# mid3v2, mutagen, eyeD3 and kid3-cli. The audio is encoded once, on first run,
# into build-bench/data/.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DPELAMO_BUILD_BENCH=ON -DPELAMO_BUILD_TESTS=OFF >/dev/null
cmake --build build-bench --parallel 2 --target pelamo_bench >/dev/null
python=/usr/bin/python3
"$python" -c "import mutagen" 2>/dev/null || python=python3
exec "$python" bench/run.py build-bench build-bench
