#!/usr/bin/env bash
# The demo on a screen: started with --window, each screen waits for the
# user's Escape, the window scene takes a real click, and Escape there ends
# the demo. Without a display or xdotool it says
# so and passes.
set -uo pipefail
demo="$1"
if [ -z "${DISPLAY:-}" ] || ! command -v xdotool >/dev/null 2>&1; then
  echo "demo.window: no display or no xdotool; skipped"
  exit 0
fi
out="$(mktemp -d)"
# The hover sound goes to a file (SDL's disk audio driver) instead of a device.
SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$out/audio.raw" "$demo" --window "$out" >"$out/log" 2>&1 &
pid=$!
# Each screen waits for Escape; the window scene, the last, asks for the
# user. One Escape per screen, each once its screen has said it waits.
screens=0
for _ in $(seq 1 600); do
  grep -q "on the screen: hover" "$out/log" && break
  kill -0 "$pid" 2>/dev/null || break
  waiting="$(grep -c "for the next screen" "$out/log")"
  if [ "$waiting" -gt "$screens" ]; then
    sleep 0.2
    xdotool mousemove 200 200 key Escape
    screens=$((screens + 1))
  fi
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
grep -q "control 11: clicked" "$out/log" || { echo "demo.window: the click did not reach the tile"; exit 1; }
[ "$(tr -d '\000' <"$out/audio.raw" | wc -c)" -gt 0 ] || { echo "demo.window: no hover sound was played"; exit 1; }
[ "$screens" -ge 7 ] || { echo "demo.window: only $screens screens waited for the user"; exit 1; }
rm -rf "$out"
exit $status
