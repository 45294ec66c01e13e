#!/usr/bin/env bash
# The demo: the modem simulator plays a few callers to Ringvale, which starts in a scratch
# working folder with settings that connect to the simulator at start-up. Nothing of the
# user's own data or settings is touched. Without a display it runs on a virtual X server.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=${RINGVALE_BUILD:-$top/build}
work=${RINGVALE_DEMO_DIR:-$(mktemp -d /tmp/ringvale-demo.XXXXXX)}
mkdir -p "$work/data" "$work/config/Tarvex"
echo "Ringvale demo: working folder $work/data"

# The last caller's words, spoken by espeak-ng.
espeak-ng -w "$work/caller.wav" "Hi, it's Maria. Call me back when you get this. Bye." 2>/dev/null || true
sed "s|@CALLER@|$work/caller.wav|" "$top/scripts/demo-calls.txt" > "$work/calls.txt"
"$build/ringvale-modemsim" --link "$work/modem" --log "$work/modem.log" "$work/calls.txt" > "$work/modem.out" &
sim=$!
trap 'kill $sim 2>/dev/null || true' EXIT
for _ in $(seq 50); do [ -e "$work/modem" ] && break; sleep 0.1; done
echo "Demo modem = $work/modem" > "$work/config/Tarvex/lines.conf"
"$build/ringvale-democonfig" "$work/data" "Demo modem"

cd "$work/data"
export XDG_CONFIG_HOME="$work/config"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found: running on a virtual X server (xvfb-run); press Ctrl+C to stop."
    xvfb-run -a "$build/ringvale" --folder "$work/data"
else
    "$build/ringvale" --folder "$work/data"
fi
