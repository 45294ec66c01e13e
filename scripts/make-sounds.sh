#!/usr/bin/env bash
# Regenerates the program's own sounds in resources/sounds: tones made with sox, speech made
# with espeak-ng, all converted to 11025 Hz 8-bit mono wave files. Run it after changing a
# prompt; the results are committed.
set -euo pipefail
out=$(cd "$(dirname "$0")/.." && pwd)/resources/sounds
mkdir -p "$out/System Sounds" "$out/Greetings" "$out/Personal Sounds"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

to8bit() { sox "$1" -r 11025 -c 1 -b 8 -e unsigned-integer "$2"; }

say() {  # say FILE TEXT
    espeak-ng -v en-us -s 150 -w "$tmp/speech.wav" "$2"
    to8bit "$tmp/speech.wav" "$1"
}

# The beep before a message: 1 kHz for half a second.
sox -n -r 11025 -c 1 -b 8 -e unsigned-integer "$out/System Sounds/beep.wav" synth 0.5 sine 1000 vol 0.6
# The "number not in service" tones, which automatic diallers take for a dead number: three
# rising tones of 913.8, 1370.6 and 1776.7 Hz for 274, 274 and 380 ms.
sox -n -r 11025 -c 1 -b 16 "$tmp/sit1.wav" synth 0.274 sine 913.8 vol 0.6
sox -n -r 11025 -c 1 -b 16 "$tmp/sit2.wav" synth 0.274 sine 1370.6 vol 0.6
sox -n -r 11025 -c 1 -b 16 "$tmp/sit3.wav" synth 0.380 sine 1776.7 vol 0.6
sox "$tmp/sit1.wav" "$tmp/sit2.wav" "$tmp/sit3.wav" "$tmp/sit.wav"
to8bit "$tmp/sit.wav" "$out/System Sounds/disconnected.wav"
# The ring: two bursts of a 440/480 Hz ring tone.
sox -n -r 11025 -c 1 -b 16 "$tmp/burst.wav" synth 0.8 sine 440 sine 480 vol 0.4
sox -n -r 11025 -c 1 -b 16 "$tmp/gap.wav" trim 0 0.4
sox "$tmp/burst.wav" "$tmp/gap.wav" "$tmp/burst.wav" "$tmp/ring.wav"
to8bit "$tmp/ring.wav" "$out/Personal Sounds/ring.wav"

say "$out/System Sounds/press-a-key.wav" "Please press any key to leave a message."
say "$out/System Sounds/menu.wav" "Press 1 to hear this message again, 2 for the previous message, 3 for the next message."
# The pieces of a menu for keys other than 1, 2 and 3: "Press" KEY "to hear this message again,"...
say "$out/System Sounds/menu-press.wav" "Press"
say "$out/System Sounds/menu-again.wav" "to hear this message again,"
say "$out/System Sounds/menu-previous.wav" "for the previous message,"
say "$out/System Sounds/menu-next.wav" "for the next message."
keys=(zero one two three four five six seven eight nine)
for i in 0 1 2 3 4 5 6 7 8 9; do
    say "$out/System Sounds/key$i.wav" "${keys[$i]}"
done
say "$out/System Sounds/keystar.wav" "star"
say "$out/System Sounds/msg.wav" "You have new messages."
say "$out/System Sounds/msg0.wav" "No more messages."
ordinals=(first second third fourth fifth sixth seventh eighth ninth)
for i in 1 2 3 4 5 6 7 8 9; do
    say "$out/System Sounds/msg$i.wav" "${ordinals[$((i - 1))]} message."
done

say "$out/Greetings/Default Greeting 1.wav" "Hello. No one can take your call right now. Please leave a message after the tone."
say "$out/Greetings/Default Greeting 2.wav" "Hi, you have reached our answering machine. Please leave your name, number and a short message after the beep."
say "$out/Greetings/Default Greeting 3.wav" "Thank you for calling. We are away from the phone. Please leave a message after the tone and we will call you back."
