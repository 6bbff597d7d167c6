#!/usr/bin/env bash
# The demo on a screen: started with --window, it must draw, take real input
# and end when the user presses Escape. Without a display or xdotool it says
# so and passes.
set -uo pipefail
demo="$1"
if [ -z "${DISPLAY:-}" ] || ! command -v xdotool >/dev/null 2>&1; then
  echo "demo.window: no display or no xdotool; skipped"
  exit 0
fi
out="$(mktemp -d)"
"$demo" --window "$out" >"$out/log" 2>&1 &
pid=$!
# Wait for the window scene to ask for the user.
for _ in $(seq 1 300); do
  grep -q "on the screen: hover" "$out/log" && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
sleep 0.5
# Click the first tile of the panel (the client area stands at 43, 63), then
# end with Escape.
xdotool mousemove 450 200 click 1 sleep 0.3 key Escape
for _ in $(seq 1 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
  kill "$pid"
  echo "demo.window: the demo did not end on Escape"
  cat "$out/log"
  exit 1
fi
wait "$pid"
status=$?
cat "$out/log" | tail -n 5
grep -q "control 11 notified" "$out/log" || { echo "demo.window: the click did not reach the tile"; exit 1; }
rm -rf "$out"
exit $status
