#!/usr/bin/env bash
# Regenerates the pictures in docs/ with the program's own snapshot mode, on the
# first-run library and in a throw-away home, so your own shows stay out of them.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh release pelamo >/dev/null

home=$(mktemp -d)
out=$(mktemp -d)
trap 'rm -rf "$home" "$out"' EXIT
HOME=$home XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config \
    build/pelamo --library "$home/library" --snapshot "$out"
mkdir -p docs
for picture in main.png main-dark.png editor.png drop-sheet.png about.png; do
    cp "$out/$picture" "docs/$picture"
done
echo "pictures in docs/"
