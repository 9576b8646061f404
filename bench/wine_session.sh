# Sourced by the benchmarks: a Wine session in the Windows build's prefix with COM<port> mapped to
# a device path, its server started apart so that its CPU can be read (wineserver_pid).
#   wine_session WINDOWS_BUILD PORT DEVICE
wine_session() {
  local windows=$1 port=$2 device=$3 source
  source=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
  export WINEPREFIX=$windows/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  "$source/tools/windows/wine-prefix.sh" "$WINEPREFIX"
  # Pseudo-terminals have no modem lines; the test-only preload answers Wine's questions for them.
  local shim=$windows/ModemLinesShim.so
  [ -f "$shim" ] || gcc -shared -fPIC -O2 -o "$shim" "$source/tests/wine/ModemLinesShim.c" -ldl
  export LD_PRELOAD=$shim
  wine reg add 'HKLM\Software\Wine\Ports' /v "COM$port" /d "$device" /f >/dev/null 2>&1
  wine reg add 'HKCU\SOFTWARE\Quarnel\Tamberlin\kvSerialOptionCaption' /v PortNumber /d "COM$port" /f \
    >/dev/null 2>&1
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w
  wineserver -f -p >/dev/null 2>&1 &
  wineserver_pid=$!
  trap 'wineserver -k >/dev/null 2>&1; cleanup' EXIT
}
