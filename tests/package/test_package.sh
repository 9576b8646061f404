#!/usr/bin/env bash
# The Debian package as a technician gets it: built by CPack from this build (no second
# compile), unpacked into a scratch root with dpkg -x, its metadata validated, and its programs
# run from there: both versions, and the demo (/P + /F against the installed korvane-sim).
set -euo pipefail
build=$1
source=$2
version=$3
for tool in cpack dpkg-deb dpkg-shlibdeps desktop-file-validate appstreamcli; do
  command -v "$tool" >/dev/null || { echo "FAIL: $tool is missing (tools/install-deps.sh installs it)" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

echo "== cpack"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$work/out" > "$work/cpack.txt" 2>&1 ||
  { cat "$work/cpack.txt" >&2; echo "FAIL: cpack" >&2; exit 1; }
deb=$(find "$work/out" -maxdepth 1 -name "tamberlin_${version}_*.deb")
[ -f "$deb" ] || { cat "$work/cpack.txt" >&2; echo "FAIL: no tamberlin_${version}_*.deb" >&2; exit 1; }
echo "$(basename "$deb"), $(stat -c %s "$deb") bytes"

echo "== control"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# Found by dpkg-shlibdeps in the programs: Qt's libraries and libudev, with versions.
names=$(sed -e 's/ ([^)]*)//g' -e 's/, /\n/g' <<<"$depends")
for lib in libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 libqt6dbus6 libudev1 libc6 libstdc++6; do
  grep -qxF "$lib" <<<"$names" || fail "Depends lacks $lib"
done
grep -qE 'libqt6core6 \(>= [0-9.]+\)' <<<"$depends" || fail "Depends has no version for libqt6core6"
grep -q "dialout" <<<"$(dpkg-deb -f "$deb" Description)" || fail "the description has no dialout note"
[ "$(dpkg-deb -f "$deb" Package)" = tamberlin ] || fail "package name"
# Nothing pulled in beyond the libraries: Wayland's plugin is only suggested.
[ -z "$(dpkg-deb -f "$deb" Recommends)" ] || fail "the package recommends $(dpkg-deb -f "$deb" Recommends)"
grep -qw qt6-wayland <<<"$(dpkg-deb -f "$deb" Suggests)" || fail "qt6-wayland is not suggested"

echo "== contents"
root=$work/root
dpkg -x "$deb" "$root"
for file in usr/bin/tamberlin usr/bin/tamberlin-cli usr/bin/korvane-sim \
  usr/share/tamberlin/lang/english_en_gb.ini usr/share/tamberlin/readme.rtf usr/share/tamberlin/lastCommits.ini \
  usr/share/applications/com.quarnel.Tamberlin.desktop usr/share/metainfo/com.quarnel.Tamberlin.metainfo.xml \
  usr/share/icons/hicolor/scalable/apps/tamberlin.svg usr/share/icons/hicolor/48x48/apps/tamberlin.png \
  usr/share/icons/hicolor/256x256/apps/tamberlin.png usr/share/doc/tamberlin/copyright \
  usr/share/man/man1/tamberlin.1.gz usr/share/man/man1/tamberlin-cli.1.gz usr/share/man/man1/korvane-sim.1.gz; do
  [ -f "$root/$file" ] || fail "$file is not in the package"
done
for page in "$root"/usr/share/man/man1/*.gz; do gzip -t "$page" || fail "$page is not gzipped"; done
cmp -s "$source/data/lang/english_en_gb.ini" "$root/usr/share/tamberlin/lang/english_en_gb.ini" ||
  fail "the installed language file differs from data/lang/english_en_gb.ini"
[ -s "$root/usr/share/tamberlin/lastCommits.ini" ] || fail "the change log is empty"

echo "== desktop entry and metainfo"
desktop-file-validate "$root/usr/share/applications/com.quarnel.Tamberlin.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/com.quarnel.Tamberlin.metainfo.xml" || fail "appstreamcli validate"
icon=$(sed -n 's/^Icon=//p' "$root/usr/share/applications/com.quarnel.Tamberlin.desktop")
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "the desktop entry's icon $icon is not installed"

echo "== versions"
out=$("$root/usr/bin/tamberlin" --version) || fail "tamberlin --version failed"
[ "$out" = "Tamberlin $version" ] || fail "tamberlin --version said: $out"
out=$("$root/usr/bin/tamberlin-cli" --version) || fail "tamberlin-cli --version failed"
grep -q "$version" <<<"$out" || fail "tamberlin-cli --version said: $out"
echo "tamberlin-cli --version: $out"

echo "== the installed demo"
# The demo writes the example script into the installed korvane-sim with the installed tamberlin.
if ! (cd "$source" && tools/demo.sh "$root/usr/bin") > "$work/demo.txt" 2>&1; then
  cat "$work/demo.txt" >&2
  fail "the demo with the installed programs"
else
  tail -n 3 "$work/demo.txt"
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures failed" >&2
  exit 1
fi
echo "package: all checks passed"
