#!/usr/bin/env bash
# Renders the icons in resources/icons from their drawings in resources/icons/src:
# NAME.png at the designed size and NAME@2x.png at twice that, for screens of
# double pixel density (Qt picks the @2x file by itself). Needs rsvg-convert
# (Debian package librsvg2-bin); the PNG files are committed, so only a changed
# drawing needs this.
set -euo pipefail
icons=$(cd "$(dirname "$0")/../resources/icons" && pwd)
command -v rsvg-convert >/dev/null || {
    echo "render-icons: rsvg-convert is missing (apt-get install librsvg2-bin)" >&2
    exit 1
}
for svg in "$icons"/src/*.svg; do
    name=$(basename "$svg" .svg)
    size=$(sed -n 's/.*<svg[^>]* width="\([0-9]*\)".*/\1/p' "$svg" | head -n1)
    rsvg-convert -w "$size" -h "$size" -o "$icons/$name.png" "$svg"
    rsvg-convert -w $((size * 2)) -h $((size * 2)) -o "$icons/$name@2x.png" "$svg"
    echo "render-icons: $name.png (${size}px) and $name@2x.png"
done
