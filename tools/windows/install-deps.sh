#!/usr/bin/env bash
# The Debian packages the Windows build and its tests under Wine need, if any is missing:
# the host Qt (its tools drive the cross build), MinGW-w64, Wine, NSIS, wixl for the MSI (msitools
# reads it in the tests), osslsigncode and openssl for signing, and the source tools.
set -euo pipefail
exec "$(dirname "$0")/../install-deps.sh" cmake ninja-build make perl dpkg-dev qt6-base-dev \
  qt6-base-dev-tools qt6-serialport-dev g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix \
  binutils-mingw-w64-x86-64 wine wine64 nsis wixl msitools osslsigncode openssl gcc python3 zip unzip
