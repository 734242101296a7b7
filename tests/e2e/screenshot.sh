#!/usr/bin/env bash
# Takes the README's picture of Kestrix on the virtual decks. Run it under a virtual X server:
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

(cd "$folder" && exec "$build/kestrix" >"$folder/kestrix.out") &
kestrix=$!
for _ in $(seq 100); do grep -q '^KESTRIX READY$' "$folder/kestrix.out" 2>/dev/null && break; sleep 0.1; done
# Let the ready texts settle and the time code displays follow the decks.
sleep 2
"$build/tests/e2e/screen_grab" "$picture" 795 288
