#!/usr/bin/env bash
# Installs the Debian 12 packages Pelamo needs: "build" for building and running,
# "test" adds the independent readers, encoders and the X server the tests use, and the
# shells, man and lintian that the packaging tests run.
# Works as root or through sudo; only missing packages are installed.
set -euo pipefail

what=${1:-build}

build_packages=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 qt6-image-formats-plugins
    qt6-qpa-plugins qt6-wayland libgl-dev libxkbcommon-dev
    libssl-dev fonts-dejavu-core
    scdoc
)
test_packages=(
    clang libclang-rt-14-dev clang-format
    lame ffmpeg python3-mutagen id3v2 eyed3 kid3-cli libimage-exiftool-perl
    xvfb xauth x11-utils weston attr acl dbus-daemon
    xdg-desktop-portal xdg-desktop-portal-gtk gsettings-desktop-schemas libglib2.0-bin
    desktop-file-utils appstream
    lintian file man-db bash-completion zsh fish
)

packages=("${build_packages[@]}")
[ "$what" = test ] && packages+=("${test_packages[@]}")

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
