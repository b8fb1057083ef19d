#!/usr/bin/env bash
# Retakes docs/main-window.png and docs/viewer.png on a virtual X display
# (Xvfb), from the build's readme_screenshots program.
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p docs
xvfb-run -a -s "-screen 0 1280x800x24" build/bin/readme_screenshots docs
echo "readme-screenshots: wrote docs/main-window.png and docs/viewer.png"
