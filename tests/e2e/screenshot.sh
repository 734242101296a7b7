#!/usr/bin/env bash
# Takes the README's picture of Kestrix on the virtual decks, with an edit recording. Run it
# under a virtual X server (xdotool plays the operator):
#   xvfb-run -s "-screen 0 1024x768x24" tests/e2e/screenshot.sh build docs/kestrix.png
set -euo pipefail
build="$(cd "$1" && pwd)"
picture="$(realpath -m "$2")"
folder="$(mktemp -d)"
trap 'kill $kestrix $decks 2>/dev/null || true; wait 2>/dev/null || true; rm -rf "$folder"' EXIT

"$build/tools/decksim/kestrix-decksim" --dir "$folder" --player-start 00:01:00:00 --recorder-start 00:05:00:00 \
  >"$folder/decks.out" &
decks=$!
for _ in $(seq 100); do grep -q '^ready$' "$folder/decks.out" && break; sleep 0.1; done

# The sequence's set pauses pass quickly (only the test build allows it); the tape runs in real
# time.
(cd "$folder" && KESTRIX_SPEEDUP=10 exec "$build/kestrix-testable" >"$folder/kestrix.out") &
kestrix=$!
for _ in $(seq 100); do grep -q '^KESTRIX READY$' "$folder/kestrix.out" 2>/dev/null && break; sleep 0.1; done
sleep 1

click() { xdotool mousemove "$1" "$2" click 1; sleep 0.3; }
# The recorder's out point 20 s after its in point (the player's follows), assemble mode, DO EDIT.
click 715 155
xdotool key ctrl+a type "00:05:20:00"
xdotool key Return
sleep 1
click 323 69
click 358 183
# Cueing, the preroll and a few seconds of recording.
sleep 9
"$build/tests/e2e/screen_grab" "$picture" 795 288
