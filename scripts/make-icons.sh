#!/usr/bin/env bash
# Renders the program's icon (resources/desktop/icons/org.ringvale.Ringvale.svg) into the
# hicolor PNG sizes that are committed beside it. Needs rsvg-convert (Debian: librsvg2-bin).
set -euo pipefail
dir=$(cd "$(dirname "$0")/../resources/desktop/icons" && pwd)
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert -w "$size" -h "$size" "$dir/org.ringvale.Ringvale.svg" -o "$dir/org.ringvale.Ringvale-$size.png"
done
