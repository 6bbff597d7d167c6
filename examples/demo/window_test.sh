#!/usr/bin/env bash
# The demo on a screen: started with --window, each screen waits for the
# user's Escape or click while its scene goes on (the moving sprites must
# move), the boxes screen's picture opens its link only when clicked, the
# window scene writes its screenshots and then takes a real click, and Escape
# there ends the demo. Links go to a stand-in opener that records them.
# Without a display or xdotool it says so and passes.
set -uo pipefail
demo="$1"
if [ -z "${DISPLAY:-}" ] || ! command -v xdotool >/dev/null 2>&1; then
  echo "demo.window: no display or no xdotool; skipped"
  exit 0
fi
out="$(mktemp -d)"
mkdir -p "$out/bin"
cat >"$out/bin/xdg-open" <<OPENER
#!/bin/sh
echo "\$1" >>"$out/opened"
OPENER
chmod +x "$out/bin/xdg-open"
: >"$out/opened"
fail() {
  echo "demo.window: $1"
  grep -v "idle frame" "$out/log" | tail -n 40
  cat "$out/acted"
  kill "$pid" 2>/dev/null
  exit 1
}
# The hover sound goes to a file (SDL's disk audio driver) instead of a device.
PATH="$out/bin:$PATH" SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE="$out/audio.raw" \
  "$demo" --window "$out" >"$out/log" 2>&1 &
pid=$!
# The client area stands at 43, 63 on the screen.
ox=43
oy=63
screens=0
for _ in $(seq 1 900); do
  grep -q "on the screen: hover and click the tiles" "$out/log" && break
  kill -0 "$pid" 2>/dev/null || break
  prompts="$(grep "for the next screen" "$out/log")"
  waiting="$(grep -c . <<<"$prompts")"
  [ -n "$prompts" ] || waiting=0
  if [ "$waiting" -gt "$screens" ]; then
    # Each screen in turn: the demo shows the next only after this one ends.
    prompt="$(sed -n "$((screens + 1))p" <<<"$prompts")"
    echo "$(date +%s.%N) $prompt" >>"$out/acted"
    sleep 0.3
    case "$prompt" in
      *"moving sprites"*)
        # Shown for a second: the balls move meanwhile (the demo counts
        # the frames presented when the screen ends).
        sleep 1
        xdotool mousemove $((ox + 20)) $((oy + 20)) click 1 mousemove 5 5
        ;;
      *"click the picture"*)
        [ -s "$out/opened" ] && fail "a link was opened before the picture was clicked"
        # The dialog was dragged to (260, 170); its picture stands 20, 48 in.
        xdotool mousemove $((ox + 370)) $((oy + 280))
        sleep 0.5
        xdotool click 1
        sleep 0.5
        xdotool mousemove 5 5 key Escape
        ;;
      *"GIF and PNG"*)
        # The next screen's script hovers the Cancel button, whose timer asks
        # where the real pointer is: it waits there, so the screenshot shows
        # the hover as the headless one does.
        xdotool mousemove $((ox + 400)) $((oy + 314)) key Escape
        ;;
      *"fields and buttons"*)
        xdotool key Escape
        ;;
      *)
        xdotool mousemove 5 5 key Escape
        ;;
    esac
    screens=$((screens + 1))
  fi
  sleep 0.1
done
sleep 0.5
# Click the first tile of the panel, then end with Escape.
xdotool mousemove $((ox + 407)) $((oy + 137)) click 1 sleep 0.3 key Escape
for _ in $(seq 1 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
  fail "the demo did not end on Escape"
fi
wait "$pid"
status=$?
tail -n 5 "$out/log"
moving="$(grep -A 1 "moving sprites; Escape" "$out/log" | sed -n 's/.* \([0-9]*\) frames presented$/\1/p' | head -n 1)"
[ "${moving:-0}" -ge 10 ] || fail "the sprites stood still while the frames screen showed (${moving:-no} frames)"
[ "$(grep -c . "$out/opened")" = 1 ] && grep -q "^https://kestrel.example/" "$out/opened" ||
  fail "the picture's click opened $(grep -c . "$out/opened") links"
grep -q "control 11: clicked" "$out/log" || fail "the click did not reach the tile"
[ "$(tr -d '\000' <"$out/audio.raw" | wc -c)" -gt 0 ] || fail "no hover sound was played"
[ "$screens" -ge 9 ] || fail "only $screens screens waited for the user"
# The screenshots are those of the headless demo, but boxes-2, which says
# that the link waits for the user's click (and the contact sheet with it).
"$demo" "$out/headless" >/dev/null 2>&1 || fail "the headless demo failed"
for shot in "$out"/headless/*.png; do
  name="$(basename "$shot")"
  case "$name" in boxes-2.png | contact-sheet.png) continue ;; esac
  cmp -s "$shot" "$out/$name" || fail "$name differs from the headless one (or is missing)"
done
rm -rf "$out"
exit $status
