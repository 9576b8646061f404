#!/usr/bin/env bash
# Starts the program. Without a display it runs offscreen for a few seconds and saves a picture
# of each window instead, so the demo also works on a headless machine.
set -euo pipefail
build=${1:-build}
export QT_QPA_PLATFORMTHEME=
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$build/tamberlin"
fi
export QT_QPA_PLATFORM=offscreen
# A throw-away settings folder keeps the demo from touching the user's settings.
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
echo "No display: running Tamberlin offscreen for 3 seconds."
status=0
XDG_CONFIG_HOME=$config timeout 3 "$build/tamberlin" 2>/dev/null || status=$?
if [ "$status" -ne 124 ]; then
  echo "Tamberlin ended early with exit code $status" >&2
  exit 1
fi
echo "Tamberlin started and ran; its settings file:"
cat "$config/Quarnel/Tamberlin.reg"
echo
echo "Pictures of its windows:"
"$build/tamberlin-screenshots" "$build/screenshots" 2>/dev/null
