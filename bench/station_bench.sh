#!/usr/bin/env bash
# A station of simulated gateways written at once: N korvane-sim --pace gateways (reading at real
# 9600 baud), one random script, one `tamberlin-cli write --port ... --json` for all of them.
# Prints per port the data phase against its line-time bound (characters x 10 bits / 9600 baud),
# and for the CLI its CPU time over its wall time, its peak memory and how often it woke up (voluntary
# context switches per second); then the same for 1 port.
#   bench/station_bench.sh [build-dir] [gateways] [script-bytes]
set -euo pipefail
build=${1:-build}
count=${2:-8}
size=${3:-16384}
first_port=${BENCH_FIRST_PORT:-51}
export QT_QPA_PLATFORM=offscreen QT_QPA_PLATFORMTHEME=
work=$(mktemp -d)
timers=()
cleanup() {
  # Each simulator runs under /usr/bin/time; end the simulators themselves, by their parent's id.
  for t in "${timers[@]}"; do pkill -TERM -P "$t" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
export XDG_CONFIG_HOME=$work/config
head -c "$size" /dev/urandom > "$work/script.qcs"

# station N: starts N gateways, writes the script into all of them, prints the figures.
station() {
  local n=$1 run=$work/run$1 ports=() k port
  mkdir -p "$run"
  timers=()
  for ((k = 0; k < n; k++)); do
    port=$((first_port + k))
    /usr/bin/time -f '%e %U %S' -o "$run/simtime-$port.txt" \
      "$build/korvane-sim" --com "$port" --pace --restart-ms 2000 --exit-after-download --linger-ms 2500 \
      --idle-exit 120 --out "$run/received-$port.qcs" > "$run/sim-$port.txt" 2>&1 &
    timers+=($!)
    ports+=(--port "COM$port")
  done
  for ((k = 0; k < n; k++)); do
    port=$((first_port + k))
    for _ in $(seq 200); do [ -e "$XDG_CONFIG_HOME/Quarnel/ports/com$port" ] && break; sleep 0.05; done
  done

  local status=0
  /usr/bin/time -v -o "$run/cli-time.txt" "$build/tamberlin-cli" write "${ports[@]}" --json \
    "$work/script.qcs" > "$run/cli.jsonl" 2> "$run/cli-err.txt" || status=$?
  for t in "${timers[@]}"; do wait "$t" || true; done
  timers=()
  if [ "$status" -ne 0 ]; then
    echo "tamberlin-cli write ended with exit code $status" >&2
    tail -n 20 "$run/cli-err.txt" >&2
    return 1
  fi

  echo "== $n gateway(s), script $size bytes"
  printf '%-6s %10s %10s %7s %9s %s\n' port "phase s" "bound s" ratio "sim CPU" received
  local worst=
  for ((k = 0; k < n; k++)); do
    port=$((first_port + k))
    local same=no phase ms chars
    cmp -s "$work/script.qcs" "$run/received-$port.qcs" && same=yes
    phase=$(grep -o 'data phase [0-9]* ms for [0-9]* characters' "$run/sim-$port.txt" || true)
    ms=$(echo "$phase" | awk '{print $3}')
    chars=$(echo "$phase" | awk '{print $6}')
    read -r swall suser ssys < "$run/simtime-$port.txt"
    awk -v p="COM$port" -v ms="${ms:-0}" -v chars="${chars:-0}" -v same="$same" -v w="$swall" -v u="$suser" \
      -v s="$ssys" 'BEGIN {
        bound = chars * 10 / 9600
        ratio = ms > 0 ? bound / (ms / 1000) : 0
        printf "%-6s %10.2f %10.2f %7.3f %8.2f%% %s\n", p, ms / 1000, bound, ratio, 100 * (u + s) / w, same
      }'
  done
  awk -F': ' '
    /User time/ {u = $2} /System time/ {s = $2} /Maximum resident/ {rss = $2}
    /Voluntary context switches/ {sleeps = $2}
    /Elapsed \(wall clock\)/ {
      n = split($2, t, ":"); wall = 0
      for (i = 1; i <= n; i++) wall = wall * 60 + t[i]
    }
    END {
      printf "tamberlin-cli: %.2f s wall, %.2f s CPU (%.2f%% of wall), peak memory %.1f MiB, %.0f wake-ups/s\n",
        wall, u + s, 100 * (u + s) / wall, rss / 1024, sleeps / wall
    }' "$run/cli-time.txt"
}

station "$count"
[ "$count" -eq 1 ] || station 1
