#!/usr/bin/env bash
# Makes a delay-import library for a system DLL from MinGW's import library of it: the same
# functions, but the DLL is loaded at the first call instead of at the program's start.
# Usage: delay-import-lib.sh NM DLLTOOL IMPORT_LIBRARY DLL_NAME OUTPUT
set -euo pipefail
nm="$1" dlltool="$2" import="$3" dll="$4" output="$5"
def="$output.def"
{
  echo "LIBRARY $dll"
  echo "EXPORTS"
  "$nm" "$import" | sed -n 's/^.* I __imp_//p' | sort -u
} >"$def"
if [ "$(wc -l <"$def")" -le 2 ]; then
  echo "delay-import-lib.sh: $import has no functions of $dll" >&2
  exit 1
fi
rm -f "$output"
"$dlltool" --input-def "$def" --dllname "$dll" --output-delaylib "$output"
