#!/usr/bin/env bash
# Drives the real pellora program on a virtual X display (Xvfb) with a window
# manager (openbox), as a user would, through xdotool: keys, clicks on the
# window's close box, and what the program leaves behind (its exit status,
# its settings file, the files it wrote).
#
# Usage: run.sh PELLORA_BINARY [CASE...]
# Runs every case_* function of cases/*.sh (or the ones named), each with a
# fresh home, configuration, data and runtime folder. Exits 77 (CTest's skip)
# when Xvfb, openbox or xdotool is missing.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
PELLORA=${1:?usage: run.sh PELLORA_BINARY [CASE...]}
shift
TEST_DATA=$(cd "$here/../../data" && pwd)

missing=()
for tool in Xvfb openbox xdotool xwininfo xprop xclip; do
  command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "desktop tests skipped: ${missing[*]} not installed (scripts/install-deps.sh installs them)"
  exit 77
fi

# shellcheck source=lib.sh
source "$here/lib.sh"
for cases in "$here"/cases/*.sh; do
  # shellcheck disable=SC1090
  source "$cases"
done

session_start || exit 1
trap session_stop EXIT

if [ $# -gt 0 ]; then
  selected=("$@")
else
  mapfile -t selected < <(declare -F | awk '$3 ~ /^case_/ {print $3}')
fi

failures=0
for name in "${selected[@]}"; do
  # Called on its own, not as a condition, so that `set -e` inside the case stops it at the first failure.
  run_case "$name"
  status=$?
  if [ $status -eq 0 ]; then
    echo "PASS   $name"
  else
    echo "FAIL   $name"
    failures=$((failures + 1))
  fi
done
echo "desktop tests: ${#selected[@]} run, $failures failed"
[ "$failures" -eq 0 ]
