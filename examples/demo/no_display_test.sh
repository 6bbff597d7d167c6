#!/usr/bin/env bash
# The demo asked for a screen where there is none: it says that no display
# could be opened and plays every scene headless, writing its screenshots,
# instead of waiting on a window nobody sees.
set -uo pipefail
demo="$1"
out="$(mktemp -d)"
env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER timeout 120 "$demo" --window "$out" \
  >"$out/log" 2>&1
status=$?
fail() {
  echo "demo.no_display: $1"
  cat "$out/log"
  rm -rf "$out"
  exit 1
}
[ "$status" -eq 0 ] || fail "the demo ended with status $status"
grep -q "^demo: no display could be opened: .*; running headless$" "$out/log" ||
  fail "the demo did not say that no display could be opened"
[ -s "$out/contact-sheet.png" ] || fail "the demo wrote no contact sheet"
rm -rf "$out"
exit 0
