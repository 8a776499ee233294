#!/usr/bin/env bash
# Installs a build into a scratch prefix and checks that a Linux desktop finds everything it
# needs there: the program, its desktop entry and metainfo (valid, and naming each other, the
# program and the icon), the icon at every size in the hicolor theme, the manual page where
# man finds it, and the shell completions.
# Usage: check-install.sh BUILD_DIR DESKTOP_ID VERSION ICON_SIZE...
set -euo pipefail

build=$1 id=$2 version=$3
read -r -a sizes <<<"${*:4}" # one argument or several

source "$(dirname "$0")/private-home.sh"
prefix=$home/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

desktop=share/applications/$id.desktop
metainfo=share/metainfo/$id.metainfo.xml

# Exactly these files: nothing missing, and no test programs or build leftovers shipped.
expected=(bin/pelamo lib/pelamo/libpelamo-core.so lib/pelamo/pelamo-desktop.so "$desktop" "$metainfo"
    share/icons/hicolor/scalable/apps/pelamo.svg share/man/man1/pelamo.1.gz share/doc/pelamo/{copyright,changelog.gz}
    share/bash-completion/completions/pelamo share/zsh/vendor-completions/_pelamo
    share/fish/vendor_completions.d/pelamo.fish)
for size in "${sizes[@]}"; do
    png=share/icons/hicolor/${size}x${size}/apps/pelamo.png
    expected+=("$png")
    # Each bitmap is drawn at the size its folder promises (PNG header: width, height).
    [ -f "$prefix/$png" ] || continue
    read -r width height <<<"$(od -An -tu4 --endian=big -j16 -N8 "$prefix/$png")"
    [ "$width" = "$size" ] && [ "$height" = "$size" ] || fail "$png is ${width}x${height}"
done
want=$(printf '%s\n' "${expected[@]}" | sort)
have=$(cd "$prefix" && find . -type f -printf '%P\n' | sort)
[ "$want" = "$have" ] || fail "installed files differ from the expected list:
$(diff <(echo "$want") <(echo "$have") || true)"

# The installed program runs from its new place, and finds the window's module from there
# too: the picture mode draws with it.
out=$("$prefix/bin/pelamo" --version 2>&1) || fail "installed pelamo --version exited with $?"
[[ "$out" == *"$version"* ]] || fail "installed pelamo --version printed '$out', not $version"
"$prefix/bin/pelamo" --snapshot "$home/pictures" --library "$home/library" >/dev/null ||
    fail "installed pelamo --snapshot exited with $?"
[ -f "$home/pictures/about.png" ] || fail "installed pelamo --snapshot drew no pictures"

# man finds the page under the prefix, and the page is compressed as Debian's policy asks.
page=$(man --manpath="$prefix/share/man" -w pelamo 2>&1) || true
[ "$page" = "$prefix/share/man/man1/pelamo.1.gz" ] || fail "man finds '$page' for pelamo under the prefix"
[ -f "$page" ] && ! gzip -t "$page" 2>/dev/null && fail "share/man/man1/pelamo.1.gz is no gzip file"

# One copy of the core in a process: exactly one installed file defines the engine.
defining=()
for binary in bin/pelamo lib/pelamo/libpelamo-core.so lib/pelamo/pelamo-desktop.so; do
    grep -q ' T ID3::stripTags(QByteArrayView)$' <(nm -C --defined-only "$prefix/$binary" 2>/dev/null) &&
        defining+=("$binary")
done
[ "${defining[*]}" = lib/pelamo/libpelamo-core.so ] ||
    fail "ID3::stripTags is defined in: ${defining[*]:-no installed file}; only lib/pelamo/libpelamo-core.so should"

# The desktop entry: valid, and its Exec and Icon name what was installed.
if [ -f "$prefix/$desktop" ]; then
    desktop-file-validate "$prefix/$desktop" || fail "desktop-file-validate rejects $desktop"
    key() { sed -n "s/^$1=//p" "$prefix/$desktop"; }
    [ "$(key Exec)" = "pelamo %F" ] || fail "Exec is '$(key Exec)', the installed program is bin/pelamo"
    [ "$(key Icon)" = pelamo ] || fail "Icon is '$(key Icon)', the installed icon is pelamo"
    [[ "$(key MimeType)" == *"audio/mpeg;"* ]] || fail "MimeType does not offer audio/mpeg"
fi

# The metainfo: valid, launching this desktop entry, with this version as its newest release.
if [ -f "$prefix/$metainfo" ]; then
    report=$(appstreamcli validate --no-net "$prefix/$metainfo" 2>&1) || fail "appstreamcli rejects $metainfo: $report"
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$prefix/$metainfo" ||
        fail "metainfo does not launch $id.desktop"
    newest=$(sed -n 's/.*<release version="\([^"]*\)".*/\1/p' "$prefix/$metainfo" | head -n 1)
    [ "$newest" = "$version" ] || fail "metainfo's newest release is '$newest', the project is $version"
fi

finish installation "Installation checks passed: ${#expected[@]} files in place"
