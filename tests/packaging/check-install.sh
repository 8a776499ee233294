#!/usr/bin/env bash
# Installs a build into a scratch prefix and checks that a Linux desktop finds everything it
# needs there: the program, its desktop entry and metainfo (valid, and naming each other, the
# program and the icon), the icon at every size in the hicolor theme, the manual page where
# man finds it, and the shell completions.
# Usage: check-install.sh BUILD_DIR DESKTOP_ID VERSION "ICON_SIZES..."
set -euo pipefail

build=$1 id=$2 version=$3
read -r -a sizes <<<"$4"

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

desktop=share/applications/$id.desktop
metainfo=share/metainfo/$id.metainfo.xml

# Exactly these files: nothing missing, and no test programs or build leftovers shipped.
expected=(bin/pelamo lib/pelamo/libpelamo-core.so lib/pelamo/pelamo-desktop.so "$desktop" "$metainfo"
    share/icons/hicolor/scalable/apps/pelamo.svg share/man/man1/pelamo.1.gz
    share/doc/pelamo/copyright share/doc/pelamo/changelog.gz
    share/bash-completion/completions/pelamo share/zsh/vendor-completions/_pelamo
    share/fish/vendor_completions.d/pelamo.fish)
for size in "${sizes[@]}"; do
    expected+=("share/icons/hicolor/${size}x${size}/apps/pelamo.png")
done
want=$(printf '%s\n' "${expected[@]}" | sort)
have=$(cd "$prefix" && find . -type f -printf '%P\n' | sort)
[ "$want" = "$have" ] || fail "installed files differ from the expected list:
$(diff <(echo "$want") <(echo "$have") || true)"

# The installed program runs from its new place.
if [ -x "$prefix/bin/pelamo" ]; then
    out=$("$prefix/bin/pelamo" --version 2>&1) || fail "installed pelamo --version exited with $?"
    [[ "$out" == *"$version"* ]] || fail "installed pelamo --version printed '$out', not $version"
    # The window's module is found from there too: the picture mode draws with it.
    pictures=$prefix/pictures
    "$prefix/bin/pelamo" --snapshot "$pictures" --library "$prefix/library" >/dev/null \
        || fail "installed pelamo --snapshot exited with $?"
    [ -f "$pictures/about.png" ] || fail "installed pelamo --snapshot drew no pictures"
else
    fail "bin/pelamo is missing or not executable"
fi

# man finds the page under the prefix, and the page is compressed as Debian's policy asks.
page=$(HOME=$prefix MANOPT='' man --manpath="$prefix/share/man" -w pelamo 2>&1) || true
[ "$page" = "$prefix/share/man/man1/pelamo.1.gz" ] || fail "man finds '$page' for pelamo under the prefix"
[ -f "$page" ] && ! gzip -t "$page" 2>/dev/null && fail "share/man/man1/pelamo.1.gz is no gzip file"

# One copy of the core in a process: exactly one installed file defines the engine.
defining=()
for binary in bin/pelamo lib/pelamo/libpelamo-core.so lib/pelamo/pelamo-desktop.so; do
    [ -f "$prefix/$binary" ] || continue
    symbols=$(nm -C --defined-only "$prefix/$binary" 2>/dev/null || true)
    if grep -q ' T ID3::stripTags(QByteArrayView)$' <<<"$symbols"; then
        defining+=("$binary")
    fi
done
[ "${defining[*]}" = lib/pelamo/libpelamo-core.so ] ||
    fail "ID3::stripTags is defined in: ${defining[*]:-no installed file}; only lib/pelamo/libpelamo-core.so should"

# Each bitmap is drawn at the size its folder promises (PNG header: width and height, big-endian).
for size in "${sizes[@]}"; do
    png=$prefix/share/icons/hicolor/${size}x${size}/apps/pelamo.png
    [ -f "$png" ] || continue
    read -r -a dims <<<"$(od -An -tu1 -j16 -N8 "$png")"
    width=$(( (dims[0] << 24) | (dims[1] << 16) | (dims[2] << 8) | dims[3] ))
    height=$(( (dims[4] << 24) | (dims[5] << 16) | (dims[6] << 8) | dims[7] ))
    [ "$width" = "$size" ] && [ "$height" = "$size" ] || fail "${size}x${size}/apps/pelamo.png is ${width}x${height}"
done

# The desktop entry: valid, and its Exec and Icon name what was installed.
if [ -f "$prefix/$desktop" ]; then
    desktop-file-validate "$prefix/$desktop" || fail "desktop-file-validate rejects $desktop"
    key() { sed -n "s/^$1=//p" "$prefix/$desktop"; }
    exec_line=$(key Exec)
    [ "$exec_line" = "pelamo %F" ] || fail "Exec is '$exec_line'"
    [ -x "$prefix/bin/${exec_line%% *}" ] || fail "Exec names '${exec_line%% *}', which is not installed"
    [ "$(key Icon)" = pelamo ] || fail "Icon is '$(key Icon)', the installed icon is pelamo"
    [[ "$(key MimeType)" == *"audio/mpeg;"* ]] || fail "MimeType does not offer audio/mpeg"
fi

# The metainfo: valid, launching this desktop entry, with this version as its newest release.
if [ -f "$prefix/$metainfo" ]; then
    appstreamcli validate --no-net "$prefix/$metainfo" >/dev/null ||
        fail "appstreamcli rejects $metainfo: $(appstreamcli validate --no-net "$prefix/$metainfo" 2>&1)"
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$prefix/$metainfo" ||
        fail "metainfo does not launch $id.desktop"
    newest=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$prefix/$metainfo" | head -n 1)
    [ "$newest" = "$version" ] || fail "metainfo's newest release is '$newest', the project is $version"
fi

if [ "$failures" -gt 0 ]; then
    echo "$failures installation check(s) failed" >&2
    exit 1
fi
echo "Installation checks passed: ${#expected[@]} files in place"
