#!/usr/bin/env bash
# Runs every fuzz target for the given seconds, two at a time, each from its seed corpus (copied,
# so the repository's corpus only changes by hand). Fails when a target finds a fault, and says
# where the reproducer lies.
#   fuzz/run.sh <fuzz build folder> <seconds per target> [parallel runs]
set -uo pipefail
build=$(realpath "$1")
seconds=$2
parallel=${3:-2}
source_dir=$(cd "$(dirname "$0")" && pwd)
targets=(fuzz_settings_file fuzz_language_file fuzz_rich_text fuzz_command_line fuzz_gateway fuzz_simulator)

run_one() {
  local target=$1 work=$build/fuzz/work/$1 limits=(-max_len=4096)
  case $target in
  fuzz_rich_text) limits=(-max_len=16384) ;; # the shipped read-me is 7 KB
  # A turn's change needs a few bytes, and the first turns only start after the gateway's header:
  # long inputs from the start, or the data phase is reached late.
  fuzz_gateway) limits=(-max_len=1024 -len_control=0) ;;
  esac
  rm -rf "$work/findings" && mkdir -p "$work/corpus" "$work/findings"
  cp "$source_dir/corpus/$target"/* "$work/corpus/"
  (cd "$work" && QT_QPA_PLATFORM=offscreen "$build/fuzz/$target" -max_total_time="$seconds" "${limits[@]}" \
     -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix=findings/ corpus >log.txt 2>&1)
  local status=$?
  local runs
  runs=$(grep -m1 'stat::number_of_executed_units' "$work/log.txt" | awk '{print $2}')
  # One write per target, so that parallel runs do not mix their lines.
  local report
  if [ $status -eq 0 ]; then
    report="$target: ${runs:-?} runs in ${seconds} s, nothing found"
  else
    local reproducer
    reproducer=$(ls "$work"/findings/* 2>/dev/null | head -1)
    report="$target: FAILED after ${runs:-?} runs ($(grep -m1 -o 'Seed: [0-9]*' "$work/log.txt")); reproducer: $reproducer
$(grep -m3 -E 'property failed|ERROR:|runtime error' "$work/log.txt" | sed 's/^/  /')
  log: $work/log.txt (replay: $build/fuzz/$target <reproducer>; keep it in fuzz/corpus/$target/)"
    # The machine that found it may be gone: its bytes go into the output, to be rebuilt with
    # base64 -d.
    if [ -n "$reproducer" ] && [ "$(stat -c %s "$reproducer")" -le 16384 ]; then
      report="$report
  reproducer in base64: $(base64 -w0 "$reproducer")"
    fi
  fi
  echo "$report"
  return $status
}
export -f run_one
export build seconds source_dir

printf '%s\n' "${targets[@]}" | xargs -P "$parallel" -I{} bash -c 'run_one {}'
