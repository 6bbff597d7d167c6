#!/usr/bin/env bash
# The README's steps for a game, run as a new user would run them: the
# library installed from the build into a scratch prefix, then the README's
# own game.cpp built with pkg-config and with CMake's find_package, in a clean
# environment (no LD_LIBRARY_PATH, no compiler or pkg-config variables), and
# each program must run and write its screenshot.
#
# usage: install_host.sh <build folder> <source folder>
set -euo pipefail
build="$(cd "$1" && pwd)"
source="$(cd "$2" && pwd)"
readme="$source/README.md"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# The fenced block that follows the marker line <!-- install-test: NAME -->.
block() {
  awk -v want="<!-- install-test: $1 -->" '
    $0 == want { found = 1; next }
    found && !inside && /^```/ { inside = 1; next }
    inside && /^```/ { exit }
    inside { print }
  ' "$readme"
}

for name in game.cpp CMakeLists.txt private-install private-host; do
  if [ -z "$(block "$name")" ]; then
    echo "install_host: README has no block marked $name" >&2
    exit 1
  fi
done

# The clone's folder holds the build the README installs from; the game's
# folder holds game.cpp and its CMakeLists.txt.
mkdir -p "$work/home" "$work/clone" "$work/game"
ln -s "$build" "$work/clone/build"
block game.cpp > "$work/game/game.cpp"
block CMakeLists.txt > "$work/game/CMakeLists.txt"
{
  echo 'set -euo pipefail'
  echo 'cd "$CLONE"'
  block private-install
  echo 'cd "$GAME"'
  block private-host
} > "$work/steps.sh"

env -i HOME="$work/home" PATH="/usr/local/bin:/usr/bin:/bin" CLONE="$work/clone" \
    GAME="$work/game" bash "$work/steps.sh" > "$work/steps.log" 2>&1 || {
  cat "$work/steps.log" >&2
  echo "install_host: the README's steps failed" >&2
  exit 1
}

# A second host, which reaches the image library and the desktop's pixels
# too, built the same way against the prefix the README's steps made.
pc="$(find "$work/home" -name kestrel.pc | head -n 1)"
libdir="$(dirname "$(dirname "$pc")")"
env -i HOME="$work/home" PATH="/usr/local/bin:/usr/bin:/bin" PKG_CONFIG_PATH="$(dirname "$pc")" \
    bash -euo pipefail -c '
  g++ -std=c++17 "$1" $(pkg-config --cflags --libs kestrel) -Wl,-rpath,"$2" -o "$3"
  "$3"' host "$source/tests/e2e/install/host.cpp" "$libdir" "$work/host"

# A screen host, linked through kestrel-screen.pc as the README says; with no
# display in the clean environment it must say why and go on headless.
env -i HOME="$work/home" PATH="/usr/local/bin:/usr/bin:/bin" PKG_CONFIG_PATH="$(dirname "$pc")" \
    bash -euo pipefail -c '
  g++ -std=c++17 "$1" $(pkg-config --cflags --libs kestrel-screen) -Wl,-rpath,"$2" -o "$3"
  "$3"' host "$source/tests/e2e/install/screen_host.cpp" "$libdir" "$work/screen-host" \
    > "$work/screen-host.log" 2>&1 || {
  cat "$work/screen-host.log" >&2
  echo "install_host: the screen host did not build or run through kestrel-screen.pc" >&2
  exit 1
}
if ! grep -q "^screen host: .*display" "$work/screen-host.log"; then
  cat "$work/screen-host.log" >&2
  echo "install_host: the screen host did not say why it ran headless" >&2
  exit 1
fi

# No program may need the loader told where the libraries are: every
# library of the family is found through run paths alone.
for program in "$work/game/game" "$work/game/build/game" "$work/host" "$work/screen-host"; do
  if env -i ldd "$program" | grep -q "not found"; then
    env -i ldd "$program" >&2
    echo "install_host: $program misses a library" >&2
    exit 1
  fi
done

# The screenshot shows the frame: the red box of the README's example.
png="$work/game/game.png"
if [ ! -s "$png" ]; then
  echo "install_host: no screenshot" >&2
  exit 1
fi
if command -v convert >/dev/null 2>&1; then
  size="$(convert "$png" -format '%wx%h' info:)"
  red="$(convert "$png" -format '%[pixel:p{100,100}]' info:)"
  if [ "$size" != "640x480" ] || { [ "$red" != "srgb(255,0,0)" ] && [ "$red" != "red" ]; }; then
    echo "install_host: screenshot $size, pixel (100,100) $red" >&2
    exit 1
  fi
fi
echo "install_host: the README's game built with pkg-config and with CMake, ran, and wrote game.png; the second host and the screen host (kestrel-screen.pc) ran"
