#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite headless:
# first the normal build, then the AddressSanitizer + UndefinedBehaviorSanitizer build.
# "scripts/test.sh quick" skips the sanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh test

export QT_QPA_PLATFORM=offscreen
root=$(pwd)

scripts/build.sh release
(cd build && ctest --output-on-failure --parallel 2)

if [ "${1:-}" != quick ]; then
    scripts/build.sh asan
    (cd build-asan && \
        ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        LSAN_OPTIONS=suppressions=$root/tests/lsan.supp:print_suppressions=0 \
        ctest --output-on-failure --parallel 2)
fi
