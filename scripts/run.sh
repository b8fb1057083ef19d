#!/usr/bin/env bash
# Launches the desktop application from the build, or says in one line why not.
set -euo pipefail
cd "$(dirname "$0")/.."
gui=build/bin/pellora
if [ ! -x "$gui" ]; then
  echo "run: build/bin/pellora is not built (is PELLORA_BUILD_GUI off?); build/bin/pellora-batch works without a window" >&2
  exit 1
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "run: no display found; for batch work without a window use build/bin/pellora-batch --help" >&2
  exit 1
fi
exec "$gui" "$@"
