#!/usr/bin/env bash
# The demo: the modem simulator plays a few callers to Ringvale, which starts in a scratch
# working folder with settings that connect to the simulator at start-up. Nothing of the
# user's own data or settings is touched. Without a display Ringvale runs offscreen, prints
# each call as it logs it, ends by itself after the last caller and leaves a picture of its
# window. With --sip the same callers call over SIP on the loopback address instead.
set -euo pipefail
sip=
if [ "${1:-}" = "--sip" ]; then sip=1; fi

top=$(cd "$(dirname "$0")/.." && pwd)
build=${RINGVALE_BUILD:-$top/build}
work=${RINGVALE_DEMO_DIR:-$(mktemp -d /tmp/ringvale-demo.XXXXXX)}
mkdir -p "$work/data" "$work/config/Tarvex"
echo "Ringvale demo: working folder $work/data"

# The last caller's words, spoken by espeak-ng.
espeak-ng -w "$work/caller.wav" "Hi, it's Maria. Call me back when you get this. Bye." 2>/dev/null || true
headless=
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then headless=1; fi
if [ -n "$sip" ]; then
    # A free port on the loopback address for the line; the callers say the same words.
    port=$(python3 -c 'import socket; s=socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
    echo "Demo line = sip:ringvale@127.0.0.1:$port" > "$work/config/Tarvex/lines.conf"
    "$build/ringvale-democonfig" "$work/data" "Demo line"
    sox "$work/caller.wav" -r 8000 -c 1 -b 16 -e signed-integer -t raw "$work/caller.raw" 2>/dev/null || : > "$work/caller.raw"
    callers() {
        for _ in $(seq 100); do grep -q "listening on" "$work/ringvale.log" 2>/dev/null && break; sleep 0.1; done
        "$build/ringvale-sipcallers" "sip:ringvale@127.0.0.1:$port" "$work/caller.raw" > "$work/callers.out"
        sleep 6
    }
else
    sed "s|@CALLER@|$work/caller.wav|" "$top/scripts/demo-calls.txt" > "$work/calls.txt"
    if [ -n "$headless" ]; then
        # Nobody closes the window: the modem is let go a little after the last caller.
        sed -i 's|^wait 86400$|wait 6\nquit|' "$work/calls.txt"
    fi
    "$build/ringvale-modemsim" --link "$work/modem" --log "$work/modem.log" "$work/calls.txt" > "$work/modem.out" &
    sim=$!
    trap 'kill $sim 2>/dev/null || true' EXIT
    for _ in $(seq 50); do [ -e "$work/modem" ] && break; sleep 0.1; done
    echo "Demo modem = $work/modem" > "$work/config/Tarvex/lines.conf"
    "$build/ringvale-democonfig" "$work/data" "Demo modem"
fi

cd "$work/data"
export XDG_CONFIG_HOME="$work/config"
if [ -n "$headless" ]; then
    echo "No display found: Ringvale runs offscreen and prints each call as it logs it."
    QT_QPA_PLATFORM=offscreen "$build/ringvale" --folder "$work/data" --print-calls \
        --screenshot "$work/ringvale-window.png" 2> "$work/ringvale.log" &
    ringvale=$!
    if [ -n "$sip" ]; then callers; else wait $sim || true; fi
    kill -TERM $ringvale 2>/dev/null || true
    wait $ringvale || true
    echo "The demo has ended; its call log and messages are in $work/data (messages from Ringvale in $work/ringvale.log)."
elif [ -n "$sip" ]; then
    "$build/ringvale" --folder "$work/data" 2> "$work/ringvale.log" &
    callers &
    wait %1
else
    "$build/ringvale" --folder "$work/data"
fi
