#!/usr/bin/env bash
# The serial round trip of bench-serial-echo (a byte in, its echo out) on a pseudo-terminal.
#   bench/serial_roundtrip.sh [build-dir] [rounds]
# BENCH_PROGRAM=wine runs bench-serial-echo.exe of BENCH_WINDOWS_BUILD (default build-windows)
# under Wine, on the terminal mapped as COM<port>.
set -euo pipefail
build=${1:-build}
rounds=${2:-1000}
port=${BENCH_PORT:-44}
here=$(dirname "$0")
work=$(mktemp -d)
cleanup() { rm -rf "$work"; }
trap cleanup EXIT
export XDG_CONFIG_HOME=$work/config
mkdir -p "$XDG_CONFIG_HOME/Quarnel/ports"

if [ "${BENCH_PROGRAM:-}" = wine ]; then
  windows=$(cd "${BENCH_WINDOWS_BUILD:-build-windows}" && pwd)
  source "$here/wine_session.sh"
  wine_session "$windows" "$port" "$work/line"
  python3 "$here/serial_roundtrip.py" "$work/line" "$rounds" -- wine "$windows/bench-serial-echo.exe" "$port"
else
  python3 "$here/serial_roundtrip.py" "$XDG_CONFIG_HOME/Quarnel/ports/com$port" "$rounds" -- \
    "$build/bench-serial-echo" "$port"
fi
