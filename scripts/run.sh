#!/usr/bin/env bash
# Installs what is missing, builds, and starts Pelamo on the default library.
# Extra arguments go to the program (for example MP3 files or --library FOLDER).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh build
scripts/build.sh release pelamo
exec build/pelamo "$@"
