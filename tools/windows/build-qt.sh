#!/usr/bin/env bash
# Builds the static Windows Qt (Core, Gui, Widgets, Test) once per machine from Debian's source
# package, cross-compiled with MinGW-w64, into a cache outside the checkout. Later builds and CI
# runs on the same machine reuse it. Prints the install prefix on its last line.
set -euo pipefail
QT_VERSION=6.4.2
QT_DEBIAN_VERSION=6.4.2+dfsg-10
here="$(cd "$(dirname "$0")" && pwd)"
cache="${TAMBERLIN_TOOLCHAIN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/tamberlin-toolchain}"
prefix="$cache/qt-$QT_DEBIAN_VERSION-mingw64"

if [ -f "$prefix/.complete" ]; then
  echo "Windows Qt $QT_DEBIAN_VERSION is cached in $prefix"
  echo "$prefix"
  exit 0
fi

"$here/install-deps.sh"
start=$(date +%s)
work="$cache/build-qt-$QT_DEBIAN_VERSION"
rm -rf "$work" "$prefix"
mkdir -p "$work"
cd "$work"

# The source package needs a deb-src entry for the suite the host Qt came from.
if ! apt-get source --download-only -q "qt6-base=$QT_DEBIAN_VERSION" >/dev/null 2>&1; then
  cat >/etc/apt/sources.list.d/tamberlin-src.sources <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  apt-get update -q
fi
apt-get source -q "qt6-base=$QT_DEBIAN_VERSION"
src="$(find . -maxdepth 1 -type d -name 'qt6-base-*' | head -1)"

"$src/configure" -prefix "$prefix" -platform win32-g++ -xplatform win32-g++ \
  -qt-host-path /usr -release -static -static-runtime \
  -no-opengl -no-dbus -no-icu -no-feature-sql -no-feature-network -no-feature-tabletevent \
  -no-feature-printsupport -no-feature-concurrent -no-feature-xml \
  -qt-zlib -qt-pcre -qt-libpng -qt-libjpeg -qt-freetype -qt-harfbuzz \
  -nomake examples -nomake tests -- \
  -DCMAKE_TOOLCHAIN_FILE="$here/mingw64.cmake" \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -G Ninja
cmake --build . --parallel "$(nproc)"
cmake --install .
touch "$prefix/.complete"
cd /
rm -rf "$work"
echo "Windows Qt built in $(( ($(date +%s) - start) / 60 )) min, installed in $prefix"
echo "$prefix"
