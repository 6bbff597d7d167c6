#!/usr/bin/env bash
# The README's package list for a library-only build, checked against what
# the CMake files look for in such a build: a configure with the tests and
# the demo off is traced, every find_package and pkg_check_modules of the
# project's own files is mapped to the Debian package that provides it, and
# the README's list must hold exactly those packages, plus the tools and the
# fonts the library needs at run time. A new dependency without its package
# in the README fails here, as does a name this script cannot map.
#
# usage: library_packages.sh <source folder>
set -euo pipefail
source="$(cd "$1" && pwd)"
readme="$source/README.md"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# What CMake looks for -> the Debian package that provides it. Threads and
# iconv come with the C library (build-essential).
declare -A provider=(
  [PkgConfig]=pkg-config
  [PNG]=libpng-dev
  [JPEG]=libjpeg62-turbo-dev
  [TIFF]=libtiff-dev
  [ZLIB]=zlib1g-dev
  [Threads]=build-essential
  [Iconv]=build-essential
  [Freetype]=libfreetype-dev
  [Fontconfig]=libfontconfig-dev
  [SDL2]=libsdl2-dev
  [libzip]=libzip-dev
  [libopenjp2]=libopenjp2-7-dev
)
# Not found by CMake, needed all the same: the compiler, CMake itself, and
# the faces the platform's fonts are matched to at run time.
always="build-essential cmake fonts-dejavu-core fonts-wqy-microhei"

# The packages of the README's block marked library-packages: every word of
# its apt-get line after "install".
listed="$(awk '
    $0 == "<!-- install-test: library-packages -->" { found = 1; next }
    found && !inside && /^```/ { inside = 1; next }
    inside && /^```/ { exit }
    inside { print }
  ' "$readme" | sed -n 's/.*apt-get install\( -y\)\? //p' | tr ' ' '\n' | sed '/^$/d' | sort -u)"
if [ -z "$listed" ]; then
  echo "library_packages: README has no apt-get line in a block marked library-packages" >&2
  exit 1
fi

cmake -S "$source" -B "$work/build" -DKESTREL_TESTS=OFF -DKESTREL_DEMO=OFF -DKESTREL_BENCH=OFF \
      --trace-expand --trace-format=json-v1 --trace-redirect="$work/trace.json" \
      >"$work/configure.log" 2>&1 || {
  cat "$work/configure.log" >&2
  echo "library_packages: the library-only configure failed" >&2
  exit 1
}
# One name a line: find_package's package, or pkg_check_modules' modules.
looked="$(python3 - "$work/trace.json" "$source/" <<'PY'
import json, sys
trace, root = sys.argv[1], sys.argv[2]
words = {"REQUIRED", "QUIET", "IMPORTED_TARGET", "GLOBAL", "NO_CMAKE_PATH",
         "NO_CMAKE_ENVIRONMENT_PATH", "CONFIG", "MODULE"}
names = set()
for line in open(trace):
    try:
        entry = json.loads(line)
    except ValueError:
        continue
    if not entry.get("file", "").startswith(root):
        continue
    cmd, args = entry.get("cmd", "").lower(), entry.get("args", [])
    if cmd == "find_package" and args:
        names.add(args[0])
    elif cmd == "pkg_check_modules" and args:
        names.update(a.split(">")[0].split("=")[0].split("<")[0]
                     for a in args[1:] if a not in words)
print("\n".join(sorted(names)))
PY
)"

needed="$( {
  for name in $looked; do
    if [ -z "${provider[$name]:-}" ]; then
      echo "library_packages: the build looks for $name; add its Debian package to this script and the README" >&2
      echo "!unmapped"
    else
      echo "${provider[$name]}"
    fi
  done
  tr ' ' '\n' <<<"$always"
} | sort -u)"
if grep -q '^!unmapped$' <<<"$needed"; then
  exit 1
fi

missing="$(comm -23 <(echo "$needed") <(echo "$listed"))"
extra="$(comm -13 <(echo "$needed") <(echo "$listed"))"
if [ -n "$missing" ] || [ -n "$extra" ]; then
  [ -z "$missing" ] || echo "library_packages: the README's list lacks:" $missing >&2
  [ -z "$extra" ] || echo "library_packages: the README lists what the build does not use:" $extra >&2
  exit 1
fi
# The names must be Debian's: on a Debian machine each is installed (the
# configure above found what they provide) or at least known to apt.
if command -v dpkg-query >/dev/null 2>&1; then
  for package in $listed; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" &&
       ! apt-cache show "$package" >/dev/null 2>&1; then
      echo "library_packages: $package is no Debian package" >&2
      exit 1
    fi
  done
fi
echo "library_packages: the README's list matches what a library-only build looks for:" $looked
