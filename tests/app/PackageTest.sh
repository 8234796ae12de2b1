#!/usr/bin/env bash
# The Debian package made from the built tree: its layout, its computed
# dependencies, and the desktop entry, the AppStream metadata and the
# package itself checked by their validators (each skipped with a message
# where the validator is missing).
#   PackageTest.sh BUILD_DIR [BUILD_TYPE]
# (A Debug build is not optimised, so it has no checked buffer functions:
# its hardening is not judged.)
set -euo pipefail
build=$1
build_type=${2:-}

for tool in cpack dpkg-deb dpkg-shlibdeps; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed (tools/setup.sh installs it)"
    exit 77
  fi
done

work=$(mktemp -d /tmp/tarquel-package.XXXXXX)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! cpack --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  echo "FAIL: cpack could not make the package"
  exit 1
fi
shopt -s nullglob
debs=("$work"/tarquel_*_amd64.deb)
if ((${#debs[@]} != 1)); then
  ls -l "$work"
  echo "FAIL: expected one tarquel_<version>_amd64.deb"
  exit 1
fi
deb=${debs[0]}
echo "package: $(basename "$deb"), $(stat -c %s "$deb") bytes"

# The layout: the program folder under /opt, the command, the desktop data.
dpkg-deb -c "$deb" >"$work/listing"
path_of() { awk '{ p = $6; for (i = 7; i <= NF; ++i) p = p " " $i; print p }' "$work/listing"; }
path_of >"$work/paths"
while read -r mode path; do
  line=$(grep -E " \./${path//./\\.}( |$)" "$work/listing" || true)
  if [[ -z $line ]]; then
    fail "missing ./$path"
  elif [[ $mode != - && ${line:0:10} != "$mode" ]]; then
    fail "./$path has mode ${line:0:10}, expected $mode"
  fi
done <<'LAYOUT'
-rwxr-xr-x opt/tarquel/Tarquel
-rwxr-xr-x opt/tarquel/evc.exe
-rwxr-xr-x opt/tarquel/revc.exe
-rwxr-xr-x opt/tarquel/tarquel-preview
-rw-r--r-- opt/tarquel/Res.dll
-rw-r--r-- opt/tarquel/Form.dll
-rw-r--r-- opt/tarquel/Help.html
lrwxrwxrwx usr/bin/tarquel -> /opt/tarquel/Tarquel
-rw-r--r-- usr/share/applications/io.github.tarquel.Tarquel.desktop
-rw-r--r-- usr/share/metainfo/io.github.tarquel.Tarquel.metainfo.xml
-rw-r--r-- usr/share/icons/hicolor/48x48/apps/tarquel.png
-rw-r--r-- usr/share/icons/hicolor/128x128/apps/tarquel.png
-rw-r--r-- usr/share/icons/hicolor/256x256/apps/tarquel.png
-rw-r--r-- usr/share/icons/hicolor/scalable/apps/tarquel.svg
-rw-r--r-- usr/share/doc/tarquel/copyright
-rw-r--r-- usr/share/doc/tarquel/changelog.gz
LAYOUT
# Nothing outside /opt/tarquel and /usr, and nothing the program writes.
if grep -vE '^\./(opt/(tarquel/.*)?|usr/.*)?$' "$work/paths" | grep -q .; then
  fail "files outside /opt/tarquel and /usr: $(grep -vE '^\./(opt/(tarquel/.*)?|usr/.*)?$' "$work/paths" | tr '\n' ' ')"
fi
if grep -qE '(log\.txt|VideoFile\.avs|\.ini)$' "$work/paths"; then
  fail "the package carries files the program writes"
fi

# Dependencies computed from the binaries, not a hand-made list.
depends=$(dpkg-deb -f "$deb" Depends)
echo "depends: $depends"
[[ $(dpkg-deb -f "$deb" Recommends) == *xdg-utils*qt6-wayland* ]] || fail "Recommends lacks xdg-utils and qt6-wayland"
for library in libc6 libstdc++6 libqt6widgets6 libavformat59 libavcodec59 libturbojpeg0; do
  [[ $depends == *"$library"* ]] || fail "Depends lacks $library"
done

# The icons are drawn at the size their folder names.
dpkg-deb -x "$deb" "$work/root"
for size in 48 128 256; do
  png="$work/root/usr/share/icons/hicolor/${size}x${size}/apps/tarquel.png"
  [[ -f $png ]] || continue
  read -r w1 w2 w3 w4 h1 h2 h3 h4 < <(od -An -tu1 -j16 -N8 "$png")
  width=$(((w1 << 24) | (w2 << 16) | (w3 << 8) | w4))
  height=$(((h1 << 24) | (h2 << 16) | (h3 << 8) | h4))
  [[ $width == "$size" && $height == "$size" ]] || fail "icon ${size}x${size} is ${width}x${height}"
done

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$work/root/usr/share/applications/io.github.tarquel.Tarquel.desktop" || fail "desktop-file-validate"
else
  echo "SKIPPED: desktop-file-validate is not installed"
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$work/root/usr/share/metainfo/io.github.tarquel.Tarquel.metainfo.xml" ||
    fail "appstreamcli validate"
else
  echo "SKIPPED: appstreamcli is not installed"
fi
if command -v lintian >/dev/null; then
  lintian --fail-on error,warning "$deb" || fail "lintian reports errors or warnings"
  hardening='hardening|unneeded-section'
  [[ $build_type == Debug ]] && hardening='unneeded-section'
  lintian -I "$deb" | grep -E "$hardening" && fail "lintian reports hardening or unneeded sections"
else
  echo "SKIPPED: lintian is not installed"
fi

((failures == 0)) || exit 1
echo "OK"
