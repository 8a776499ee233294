#!/usr/bin/env bash
# Makes the Debian package from a build, as `cpack` does for a release, and holds it to what
# Debian asks of a package: lintian reports no error and no warning. Then what lintian
# can't know: the changelog's newest entry is this version, the copyright file states the
# licence as the AppStream file does, no maintainer script runs ldconfig, the shell
# completions are where the shells look, and man finds the page in the unpacked package.
# Usage: check-package.sh BUILD_DIR VERSION METAINFO
set -euo pipefail
export LC_ALL=C.UTF-8

build=$1 version=$2 metainfo=$3

# A private home, where cpack, lintian and man run too; the package and its unpacked tree go there.
source "$(dirname "$0")/private-home.sh"

(cd "$build" && cpack -G DEB -B "$home/out" >"$home/cpack.log" 2>&1) ||
    { cat "$home/cpack.log" >&2; fail "cpack failed"; exit 1; }
packages=("$home"/out/pelamo_"$version"_*.deb)
[ ${#packages[@]} -eq 1 ] && [ -f "${packages[0]}" ] ||
    { fail "cpack made no single pelamo_${version}_*.deb: $(ls "$home/out")"; exit 1; }
deb=${packages[0]}

# Debian's own profile, whatever configuration the machine has for lintian; an error or a
# warning fails it.
report=$(lintian --no-cfg --profile debian --fail-on error,warning "$deb" 2>&1) ||
    fail "lintian ended with $?:"$'\n'"$report"

root=$home/root
dpkg-deb --extract "$deb" "$root"
dpkg-deb --control "$deb" "$home/control"

newest=$(zcat "$root/usr/share/doc/pelamo/changelog.gz" 2>/dev/null | head -n 1 || true)
[[ "$newest" == "pelamo ($version) "* ]] || fail "the changelog's newest entry is '$newest', the package is $version"

licence=$(sed -n 's:.*<project_license>\(.*\)</project_license>.*:\1:p' "$metainfo")
[ -n "$licence" ] || fail "$metainfo states no project_license"
# The first Files paragraph, the one for the whole program.
stated=$(awk '/^Files: \*$/ { on = 1 } on && /^License: / { sub(/^License: /, ""); print; exit }' \
    "$root/usr/share/doc/pelamo/copyright" 2>/dev/null || true)
[ "$stated" = "$licence" ] || fail "the copyright file's licence is '$stated', the AppStream file's '$licence'"

# Qt loads its platform plugins at run time: X11's is needed, Wayland's is what GNOME and KDE
# sessions start with.
fields=$(dpkg-deb --field "$deb" Depends Recommends)
grep -q '^Depends:.*qt6-qpa-plugins' <<<"$fields" || fail "the package doesn't depend on qt6-qpa-plugins: $fields"
grep -q '^Recommends:.*qt6-wayland' <<<"$fields" || fail "the package doesn't recommend qt6-wayland: $fields"

scripts=$(grep -l ldconfig "$home/control"/* 2>/dev/null || true)
[ -z "$scripts" ] || fail "maintainer scripts run ldconfig: $scripts"

for file in usr/share/bash-completion/completions/pelamo usr/share/zsh/vendor-completions/_pelamo \
    usr/share/fish/vendor_completions.d/pelamo.fish; do
    [ -s "$root/$file" ] || fail "the package has no $file"
done

page=$(man --manpath="$root/usr/share/man" -w pelamo 2>&1) || true
[ "$page" = "$root/usr/share/man/man1/pelamo.1.gz" ] || fail "man finds '$page' for pelamo, not the package's page"

finish package "Package checks passed: lintian is clean on $(basename "$deb")"
