#!/usr/bin/env bash
# Installs what is missing, builds, and starts Kestrix.
#   ./run.sh        demo: starts two virtual decks and runs Kestrix on them in ./demo
#   ./run.sh DIR    runs Kestrix in DIR, which holds KESTRIX_Settings.txt (and edl.txt)
set -euo pipefail
# Ninja builds faster than make and schedules the two cores better.
export CMAKE_GENERATOR=Ninja
here="$(cd "$(dirname "$0")" && pwd)"

"$here/scripts/install-packages.sh"
cmake -S "$here" -B "$here/build" -DCMAKE_BUILD_TYPE=Release -DKESTRIX_WERROR=OFF >/dev/null
cmake --build "$here/build" -j"$(nproc)" --target kestrix kestrix-decksim

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "Kestrix needs a display to open its window, and there is none here."
  echo "On a machine without one, run it under a virtual X server:  xvfb-run ./run.sh $*"
  exit 1
fi

if [ $# -ge 1 ]; then
  cd "$1"
  exec "$here/build/kestrix"
fi

demo="$here/demo"
mkdir -p "$demo"
decks_out="$demo/decksim.out"
"$here/build/tools/decksim/kestrix-decksim" --dir "$demo" --report "$demo/recorder-tape.txt" >"$decks_out" &
decks=$!
trap 'kill "$decks" 2>/dev/null || true; wait "$decks" 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  grep -q '^ready$' "$decks_out" 2>/dev/null && break
  sleep 0.1
done
grep -q '^ready$' "$decks_out" || { echo "The virtual decks did not start:"; cat "$decks_out"; exit 1; }
echo "Virtual decks running:"; grep -E '^(player|recorder) ' "$decks_out"
cd "$demo"
"$here/build/kestrix"
