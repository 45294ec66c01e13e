#!/usr/bin/env bash
# Redraws the README's pictures of the windows (docs/screenshots) with the built
# ringvale-screenshots tool, offscreen, against the modem simulator.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build=${RINGVALE_BUILD:-$top/build}
cmake --build "$build" -j2 --target ringvale-screenshots
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
QT_QPA_PLATFORM=offscreen "$build/ringvale-screenshots" "$out" > /dev/null 2>&1
mkdir -p "$top/docs/screenshots"
for name in main-window phone-book outgoing-calls settings-general settings-greetings settings-email \
    message-player modem-check help; do
    cp "$out/$name.png" "$top/docs/screenshots/$name.png"
done
echo "docs/screenshots updated"
