#!/usr/bin/env bash
# Installs the Debian packages that the build, the tests, the fuzz targets (clang and its libFuzzer
# runtime) and the demo need, if any is missing; given packages as arguments, those instead.
set -euo pipefail
packages=(cmake ninja-build g++ make pkg-config qt6-base-dev qt6-serialport-dev libudev-dev libgl-dev
          fonts-dejavu-core dbus
          # the fuzz targets: clang and its libFuzzer runtime
          clang libclang-rt-dev
          # the Debian package and its checks: dpkg-shlibdeps, file (CPack finds the programs
          # with it), the desktop entry's and AppStream validators, the manual pages' formatter
          dpkg-dev file desktop-file-utils appstream groff-base
          # the USB adapter tests: the emulator, the guest's shell and the kernel modules' index
          qemu-system-x86 busybox-static kmod
          # the station window driven from the keyboard on an X server
          xvfb xdotool)
if [ $# -gt 0 ]; then packages=("$@"); fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
