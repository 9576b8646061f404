#!/usr/bin/env bash
# Writes a 16 KiB script through korvane-sim reading at real 9600 baud, with handshake, and prints:
# the data phase's wall time against the line-time bound (every character of the phase x 10 bits
# / 9600 baud), and the program's CPU time over its wall time for the whole run.
#   bench/download_bench.sh [build-dir] [script-bytes]
# BENCH_PROGRAM=wine runs tamberlin.exe of BENCH_WINDOWS_BUILD (default build-windows) under Wine
# on the port mapped as COM<port>, and shows Wine's server's CPU apart from the program's.
# BENCH_SIM_OPTIONS adds korvane-sim options, e.g. "--adapter-latency 16" for a USB adapter's
# latency timer.
set -euo pipefail
build=${1:-build}
size=${2:-16384}
port=${BENCH_PORT:-43}
export QT_QPA_PLATFORM=offscreen QT_QPA_PLATFORMTHEME=
work=$(mktemp -d)
sim_pid=
cleanup() { [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
export XDG_CONFIG_HOME=$work/config

head -c "$size" /dev/urandom > "$work/script.qcs"
# shellcheck disable=SC2086 # the options are words
"$build/korvane-sim" --com "$port" --pace --restart-ms 2000 --exit-after-download --linger-ms 2500 \
  --out "$work/received.qcs" ${BENCH_SIM_OPTIONS:-} > "$work/sim.txt" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do [ -e "$XDG_CONFIG_HOME/Quarnel/ports/com$port" ] && break; sleep 0.05; done
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Quarnel\\Tamberlin\\kvSerialOptionCaption]\r\n"PortNumber"="COM%s"\r\n' \
  "$port" > "$XDG_CONFIG_HOME/Quarnel/Tamberlin.reg"

TIMEFORMAT='%R %U %S'
status=0
server_cpu() { awk '{print ($14 + $15) / 100}' "/proc/$1/stat"; }
# BENCH_PROGRAM=plain: the plain protocol script instead of the program, as the baseline.
if [ "${BENCH_PROGRAM:-tamberlin}" = plain ]; then
  device=$(readlink -f "$XDG_CONFIG_HOME/Quarnel/ports/com$port")
  { time python3 "$(dirname "$0")/plain_download.py" "$device" "$work/script.qcs" || status=$?; } 2> "$work/time.txt"
elif [ "${BENCH_PROGRAM:-}" = wine ]; then
  windows=$(cd "${BENCH_WINDOWS_BUILD:-build-windows}" && pwd)
  source "$(dirname "$0")/wine_session.sh"
  wine_session "$windows" "$port" "$(readlink -f "$XDG_CONFIG_HOME/Quarnel/ports/com$port")"
  before=$(server_cpu "$wineserver_pid")
  { time wine "$windows/tamberlin.exe" "/P$port" "/FZ:${work//\//\\}\\script.qcs" >/dev/null 2>&1 || status=$?; } 2> "$work/time.txt"
  server=$(awk -v a="$before" -v b="$(server_cpu "$wineserver_pid")" 'BEGIN {print b - a}')
else
  { time "$build/tamberlin" "/P$port" "/F$work/script.qcs" 2>/dev/null || status=$?; } 2> "$work/time.txt"
fi
wait "$sim_pid" || true
sim_pid=
[ "$status" -eq 1 ] || { echo "download failed (exit code $status)" >&2; cat "$work/sim.txt" >&2; exit 1; }
cmp -s "$work/script.qcs" "$work/received.qcs" || { echo "the gateway received other bytes" >&2; exit 1; }

read -r wall user sys < <(tail -n 1 "$work/time.txt")
phase=$(grep -o 'data phase [0-9]* ms for [0-9]* characters' "$work/sim.txt")
phase_ms=$(echo "$phase" | awk '{print $3}')
chars=$(echo "$phase" | awk '{print $6}')
awk -v ms="$phase_ms" -v chars="$chars" -v wall="$wall" -v user="$user" -v sys="$sys" -v size="$size" 'BEGIN {
  bound = chars * 10 / 9600
  printf "script %d bytes; data phase %.2f s for %d characters, line-time bound %.2f s, ratio %.3f; ", size, ms / 1000, chars, bound, bound / (ms / 1000)
  printf "whole run %.2f s wall, %.2f s CPU (%.2f%%)\n", wall, user + sys, 100 * (user + sys) / wall
}'
grep -o 'line idle: [^)]*' "$work/sim.txt" || true
[ -z "${server:-}" ] || awk -v s="$server" -v wall="$wall" 'BEGIN {
  printf "Wine server beside it: %.2f s CPU (%.2f%%)\n", s, 100 * s / wall }'
