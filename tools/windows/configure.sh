#!/usr/bin/env bash
# Configures the Windows build in folder $1 against the cached Windows Qt; $2 is the Linux build
# whose korvane-sim the tests under Wine use.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source="$(cd "$here/../.." && pwd)"
qt="$("$here/build-qt.sh" | tail -1)"
cmake -S "$source" -B "$1" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" \
  -DQT_CHAINLOAD_TOOLCHAIN_FILE="$here/mingw64.cmake" \
  -DTAMBERLIN_LINUX_BUILD="$2"
