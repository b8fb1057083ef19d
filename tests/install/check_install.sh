#!/usr/bin/env bash
# Installs the build into a temporary staging folder, as packagers do with
# DESTDIR, and checks the freedesktop layout: the programs, the desktop entry
# (valid for desktop-file-validate), the AppStream metainfo (valid for
# appstreamcli) and the icon at every size.
# Usage: check_install.sh BUILD_DIR
set -euo pipefail
build=$1
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

DESTDIR="$stage" cmake --install "$build" --prefix /usr >/dev/null
root=$stage/usr
id=org.pellora.Pellora
status=0
fail() { echo "check_install: $*" >&2; status=1; }

for program in pellora pellora-batch; do
  [ -x "$root/bin/$program" ] || fail "bin/$program missing or not executable"
done

entry=$root/share/applications/$id.desktop
if [ -f "$entry" ]; then
  desktop-file-validate "$entry" || fail "$entry does not validate"
  grep -qx 'Exec=pellora %F' "$entry" || fail "Exec line is not 'pellora %F'"
  grep -qx "Icon=$id" "$entry" || fail "Icon is not $id"
  for type in image/jpeg image/png image/tiff image/gif image/bmp image/webp image/heif image/jp2; do
    grep -q "^MimeType=.*$type;" "$entry" || fail "MimeType lacks $type"
  done
else
  fail "share/applications/$id.desktop missing"
fi

metainfo=$root/share/metainfo/$id.metainfo.xml
if [ -f "$metainfo" ]; then
  appstreamcli validate --no-net "$metainfo" >/dev/null || fail "$metainfo does not validate"
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fail "the metainfo does not launch $id.desktop"
else
  fail "share/metainfo/$id.metainfo.xml missing"
fi

[ -f "$root/share/icons/hicolor/scalable/apps/$id.svg" ] || fail "scalable icon missing"
for size in 16 22 24 32 48 64 128 256 512; do
  icon=$root/share/icons/hicolor/${size}x${size}/apps/$id.png
  if [ -f "$icon" ]; then
    file "$icon" | grep -q "PNG image data, $size x $size" || fail "$icon is not a ${size}x$size PNG"
  else
    fail "${size}x$size icon missing"
  fi
done

# Nothing lands outside the prefix.
outside=$(find "$stage" -mindepth 1 -maxdepth 1 ! -name usr)
[ -z "$outside" ] || fail "installed outside the prefix: $outside"
exit $status
