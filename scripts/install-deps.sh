#!/usr/bin/env bash
# Installs the Debian 12 packages Pellora needs to build, test and run.
# Idempotent: asks apt only for the packages that are not installed yet.
set -euo pipefail

packages=(
  # build tools; clang and its runtimes for the sanitizer and fuzzing builds
  cmake ninja-build g++ make pkg-config clang libclang-rt-14-dev
  # GUI
  qt6-base-dev qt6-base-dev-tools
  # codecs, metadata, colour
  libjpeg62-turbo-dev libturbojpeg0-dev libpng-dev libtiff-dev libopenjp2-7-dev
  libgif-dev libwebp-dev libheif-dev libexiv2-dev liblcms2-dev
  # update check, XML property lists, formatting
  libcurl4-openssl-dev libpugixml-dev libfmt-dev
  # tests: GoogleTest, a virtual display for GUI tests, and independent
  # reference tools (ImageMagick decodes, exiftool reads metadata back)
  libgtest-dev libgmock-dev xvfb xauth imagemagick libimage-exiftool-perl
  # tests: GLib's `gio launch` starts our autostart entries the way a desktop
  # session does at login, checking that their Exec lines run the right program
  libglib2.0-bin
  # tests: GLib's own bookmark parser reads back the recent-files list we
  # write (a small helper links glib-2.0); desktop-file-validate checks the
  # installed desktop entry
  libglib2.0-dev desktop-file-utils
  # tests: GNU Parallel runs the sharded recipe of docs/cluster.md and the
  # shard benchmark (its test skips with a message where it is missing)
  parallel
  # tests: the desktop suite (tests/gui/desktop) runs the real program on Xvfb
  # under a real window manager, whose close box and key handling are what
  # users meet; xdotool types and clicks, xwininfo and xprop find the windows,
  # xclip reads what the program copied (the export report)
  openbox xdotool x11-utils xclip
  # tests: appstreamcli validates the AppStream metainfo that software
  # centres read to list Pellora
  appstream
  # tests: `file` checks each installed icon is a PNG of its size
  # (tests/install); groff renders the manual page and warns on faults
  # (tests/cli/check_batch_docs.sh); Python reads the batch reports back
  # (tests/cli/check_report.py) and YAML parses the Kubernetes recipe of
  # docs/cluster. The tests also call coreutils, util-linux (setpriv, taskset),
  # libc-bin (ldd) and bash, which every Debian system has.
  file groff-base python3 python3-yaml
  # maintainers only: rsvg-convert renders the committed icon PNGs from the
  # SVG (scripts/render-icons.sh)
  librsvg2-bin
)

# Benchmarks only (`make bench` passes --bench): vipsthumbnail, the peer
# bench_write_jpeg and bench/peer-comparison.sh time beside ours; /usr/bin/time
# for the peak memory of each batch; Pillow and NumPy for the shared quality
# scorer's float reference; the photographs the shared corpus script builds from;
# GraphicsMagick, the third peer of the comparison (ImageMagick is there for the tests).
if [ "${1:-}" = "--bench" ]; then
  packages+=(libvips-tools time python3-pil python3-numpy lomiri-wallpapers-16.04 lomiri-wallpapers-20.04
             graphicsmagick)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all ${#packages[@]} packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then
    sudo_cmd=(sudo)
  else
    echo "install-deps: need root to install: ${missing[*]}" >&2
    echo "install-deps: run as root: apt-get install ${missing[*]}" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
if ! "${sudo_cmd[@]}" apt-get update -qq ||
   ! "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"; then
  echo "install-deps: apt-get failed; Pellora needs these Debian 12 packages: ${missing[*]}" >&2
  exit 1
fi
