#!/usr/bin/env bash
# Retakes the README's screenshots on a virtual X display (Xvfb), from the
# build's readme_screenshots program (tools/readme_screenshots.cpp):
# docs/main-window.png and docs/viewer.png from pictures it paints, and
# docs/export-check.png and docs/export-report.png from real photographs.
# Those are the wallpapers of the Debian package lomiri-wallpapers-20.04
# (scripts/install-deps.sh --bench installs it; another folder of them with
# PELLORA_SCREENSHOT_PHOTOS), copied small into a temporary folder, never into
# the repository.
set -euo pipefail
cd "$(dirname "$0")/.."
source_photos=${PELLORA_SCREENSHOT_PHOTOS:-/usr/share/backgrounds}
anna=(Bridge_by_Sander_Klootwijk Dragonfly_by_Bolly Kleiber_by_Lukas_Baubkus
      aitzgorri_by_Aitzol_Berasategi life_by_Aitzol_Berasategi picosdeeuropa_by_Aitzol_Berasategi)
ben=(Wine_by_Jakkub_Mede friends_by_Aitzol_Berasategi)
for name in "${anna[@]}" "${ben[@]}"; do
  if [ ! -f "$source_photos/$name.jpg" ]; then
    echo "readme-screenshots: $source_photos/$name.jpg is missing (scripts/install-deps.sh --bench installs it)" >&2
    exit 1
  fi
done

photos=$(mktemp -d)
trap 'rm -rf "$photos"' EXIT
# Two cameras' folders whose file names overlap, and in one of them a file cut short.
mkdir "$photos/Anna" "$photos/Ben"
copy_small() {  # copy_small FOLDER NAME...: IMG_0001.jpg, IMG_0002.jpg, ... at most 1600 pixels a side
  local folder=$1 number=1
  shift
  for name in "$@"; do
    convert "$source_photos/$name.jpg" -resize '1600x1600>' -quality 85 "$folder/$(printf 'IMG_%04d.jpg' "$number")"
    number=$((number + 1))
  done
}
copy_small "$photos/Anna" "${anna[@]}"
copy_small "$photos/Ben" "${ben[@]}"
head -c 40000 "$photos/Anna/IMG_0002.jpg" > "$photos/Anna/IMG_0007.jpg"

mkdir -p docs
xvfb-run -a -s "-screen 0 1280x800x24" build/bin/readme_screenshots docs "$photos"
echo "readme-screenshots: wrote docs/main-window.png, docs/viewer.png, docs/export-check.png and docs/export-report.png"
