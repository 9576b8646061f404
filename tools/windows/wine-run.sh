#!/usr/bin/env bash
# Runs a Windows program under Wine, headless, in the Wine prefix of the build folder it lies in
# (created on first use). Its exit code is the program's.
set -euo pipefail
program="$1"
shift
build="${TAMBERLIN_WINDOWS_BUILD:-}"
if [ -z "$build" ]; then
  build="$(cd "$(dirname "$program")" && pwd)"
  while [ "$build" != / ] && [ ! -f "$build/CMakeCache.txt" ]; do build="$(dirname "$build")"; done
fi
export WINEPREFIX="${WINEPREFIX:-$build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
"$(dirname "$0")/wine-prefix.sh" "$WINEPREFIX"
exec wine "$program" "$@"
