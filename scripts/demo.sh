#!/usr/bin/env bash
# Starts Ringvale from a scratch working folder, so the demo never touches real data.
# Without a display (a headless machine) it runs under a virtual X server instead.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=${RINGVALE_BUILD:-$top/build}
work=${RINGVALE_DEMO_DIR:-$(mktemp -d /tmp/ringvale-demo.XXXXXX)}
mkdir -p "$work"
echo "Ringvale demo: working folder $work"

cd "$work"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: running on a virtual X server (xvfb-run); press Ctrl+C to stop."
    exec xvfb-run -a "$build/ringvale"
fi
exec "$build/ringvale"
