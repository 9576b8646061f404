#!/usr/bin/env bash
# Creates a Wine prefix for the tests once: headless (Wine's null graphics driver), without the
# Mono and Gecko installers. Safe when several tests start at the same moment.
set -euo pipefail
prefix="$1"
[ -f "$prefix/.tamberlin-ready" ] && exit 0
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.tamberlin-ready" ] && exit 0
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wineboot -i >/dev/null 2>&1 || true
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
wineserver -w
touch "$prefix/.tamberlin-ready"
