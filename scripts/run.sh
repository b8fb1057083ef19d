#!/usr/bin/env bash
# Launches the desktop application from the build, or says what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
gui=build/bin/pellora
if [ ! -x "$gui" ]; then
  echo "run: the desktop application (build/bin/pellora) is not built yet." >&2
  echo "run: the terminal front end will be build/bin/pellora-batch once it exists." >&2
  exit 1
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" = "" ]; then
  echo "run: no display found; for batch work without a window use build/bin/pellora-batch --help" >&2
  exit 1
fi
exec "$gui" "$@"
