#!/usr/bin/env bash
# Draws Pelamo's application icon sizes and the Vantorel logo from their SVG sources.
# The outputs are committed, so a build needs none of this; run it after changing the
# artwork, from anywhere: scripts/make-artwork.sh
# Needs rsvg-convert (Debian: librsvg2-bin) and the DejaVu fonts (fonts-dejavu-core).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
icon_dir=$root/resources/app-icon
logo_dir=$root/resources/logo

command -v rsvg-convert >/dev/null || { echo "rsvg-convert missing: apt-get install librsvg2-bin" >&2; exit 1; }
fc-list | grep -q 'DejaVu Sans' || { echo "DejaVu fonts missing: apt-get install fonts-dejavu-core" >&2; exit 1; }

# The icon is drawn by hand in pelamo.svg; every bitmap size comes from it.
for size in 16 24 32 48 64 128 256 512; do
    rsvg-convert --width "$size" --height "$size" "$icon_dir/pelamo.svg" -o "$icon_dir/pelamo-$size.png"
done

# The logo: a two-tone "V" mark and the name. One variant for light backgrounds and one for
# dark ones; they differ only in colour. 320 x 80 pixels, shown at 160 x 40 points, so it
# stays sharp on a 2x screen. Transparent around the artwork.
logo_svg() {
    local text=$1 mark_front=$2 mark_back=$3
    cat <<SVG
<svg xmlns="http://www.w3.org/2000/svg" width="320" height="80" viewBox="0 0 320 80">
  <title>Vantorel</title>
  <g transform="translate(23 1)">
  <g fill="none" stroke-linecap="round" stroke-linejoin="round" stroke-width="13">
    <path d="M 14 17 L 36 63" stroke="$mark_back"/>
    <path d="M 58 17 L 36 63" stroke="$mark_front"/>
  </g>
  <circle cx="36" cy="15" r="6.5" fill="$mark_front"/>
  <text x="76" y="56" fill="$text" font-family="DejaVu Sans" font-weight="bold" font-size="40"
        letter-spacing="0.5">Vantorel</text>
  </g>
</svg>
SVG
}

logo_svg '#1d1d1f' '#0d8f8a' '#e0762f' >"$logo_dir/Vantorel-logo.svg"
logo_svg '#f2f2f5' '#3fd0c8' '#ff9a52' >"$logo_dir/Vantorel-logo-dark.svg"
for name in Vantorel-logo Vantorel-logo-dark; do
    rsvg-convert --width 320 --height 80 "$logo_dir/$name.svg" -o "$logo_dir/$name.png"
done

echo "Wrote $icon_dir/pelamo-{16..512}.png and $logo_dir/Vantorel-logo{,-dark}.png"
