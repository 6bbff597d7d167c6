#!/usr/bin/env bash
# Every A function and A record the Win32 headers declare has its generic
# name in win32_generic.h, so a call or record added later cannot miss it.
#
# usage: generic_names_complete.sh <platform/win32/include folder>
set -euo pipefail
include="$1"
generic="$include/win32_generic.h"
missing=0
# Win32 names that end in A without being the A form of anything.
not_a_forms=" RGNDATA "

# Functions: "WINAPI NameA(" and the inline "int NameA(" forms.
functions="$(grep -ohE '(WINAPIV?|inline int) +[A-Za-z_]+A *\(' "$include"/*.h |
             sed -E 's/^(WINAPIV?|inline int) +//; s/ *\($//' | sort -u)"
for name in $functions; do
  case "$not_a_forms" in *" $name "*) continue ;; esac
  base="${name%A}"
  if ! grep -qE "^#define $base +${name}\b|^#define $base $name$" "$generic"; then
    echo "no generic name for $name" >&2
    missing=1
  fi
done

# Records: "} NameA, *PNameA" ends a typedef of an A record.
records="$(grep -ohE '^\} *[A-Z_]+A\b' "$include"/*.h | sed -E 's/^\} *//' | sort -u)"
for name in $records; do
  case "$not_a_forms" in *" $name "*) continue ;; esac
  base="${name%A}"
  if ! grep -qE "^typedef $name $base;" "$generic"; then
    echo "no generic name for $name" >&2
    missing=1
  fi
done

[ "$missing" -eq 0 ] && echo "generic names: $(echo $functions | wc -w) functions, $(echo $records | wc -w) records"
exit "$missing"
