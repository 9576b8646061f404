#!/usr/bin/env bash
# The main job against the simulated gateway: korvane-sim publishes a pseudo-terminal as a COM
# port, Tamberlin writes the example script into it from the command line (/P and /F), and the
# bytes that the gateway received are compared with the script.
set -euo pipefail
build=${1:-build}
script=${2:-examples/example.qcs}
port=${DEMO_PORT:-42}
export QT_QPA_PLATFORMTHEME=
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then export QT_QPA_PLATFORM=offscreen; fi

# A throw-away settings folder: the demo must not touch the user's settings or ports.
work=$(mktemp -d)
sim_pid=
cleanup() { [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
export XDG_CONFIG_HOME=$work/config

echo "== Simulated KORVANE gateway on COM$port (configuration interface, 9600 baud pacing)"
"$build/korvane-sim" --com "$port" --out "$work/received.qcs" --pace --restart-ms 1500 \
  --exit-after-download --idle-exit 60 > "$work/sim.txt" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do
  [ -e "$XDG_CONFIG_HOME/Quarnel/ports/com$port" ] && break
  sleep 0.05
done
cat "$work/sim.txt"

mkdir -p "$XDG_CONFIG_HOME/Quarnel"
printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\Quarnel\\Tamberlin\\kvSerialOptionCaption]\r\n"PortNumber"="COM%s"\r\n' \
  "$port" > "$XDG_CONFIG_HOME/Quarnel/Tamberlin.reg"

echo "== tamberlin /P$port /F$script ($(stat -c %s "$script") bytes)"
status=0
TAMBERLIN_LOG=$work/tamberlin.log "$build/tamberlin" "/P$port" "/F$script" 2>/dev/null || status=$?
echo "-- log of the state window:"
sed 's/^/   /' "$work/tamberlin.log"
wait "$sim_pid" || true
sim_pid=
echo "-- gateway: $(tail -n 1 "$work/sim.txt")"

echo "== Outcome"
ok=true
if [ "$status" -eq 1 ]; then
  echo "exit code 1: the script was written and the gateway restarted"
else
  echo "exit code $status: the download did not succeed" >&2
  ok=false
fi
if cmp -s "$script" "$work/received.qcs"; then
  echo "the gateway received the script byte for byte"
else
  echo "the gateway received other bytes than the script" >&2
  ok=false
fi
$ok
