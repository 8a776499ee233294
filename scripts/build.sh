#!/usr/bin/env bash
# Configures and builds one flavour of Pelamo: "release" (build/) or "asan" (build-asan/).
# Names after the flavour are the targets to build (all of them when none is named).
set -euo pipefail
cd "$(dirname "$0")/.."

flavour=${1:-release}
case "$flavour" in
    release) dir=build; flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
    asan) dir=build-asan; flags=(-DCMAKE_BUILD_TYPE=Debug -DPELAMO_SANITIZE=ON) ;;
    *) echo "usage: $0 [release|asan]" >&2; exit 2 ;;
esac
shift || true

targets=()
for target in "$@"; do targets+=(--target "$target"); done

cmake -S . -B "$dir" "${flags[@]}" >/dev/null
cmake --build "$dir" --parallel "$(nproc)" "${targets[@]}"
