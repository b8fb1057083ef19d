#!/usr/bin/env bash
# Replays one hostile file through pellora-batch, at full size and fitted
# within 1000 pixels, in a home of its own. Each run must end cleanly: either
# status 0 with one JPEG written, or status 1 with the "*** Error writing" line
# and nothing at all (not even a hidden temporary file) left in the
# destination. A crash, a sanitizer's abort or a run of more than five
# minutes fails the test.
# Usage: replay.sh PELLORA-BATCH FILE
set -uo pipefail
batch="$1"
input="$2"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config"
mkdir -p "$HOME"

failed=0
fail() {
  echo "FAIL ($1): $2"
  sed 's/^/  | /' "$scratch/stderr"
  failed=1
}

for method in "--method full" "--side 1000"; do
  out="$scratch/out"
  rm -rf "$out"
  # shellcheck disable=SC2086 # the method is two words
  timeout 300 "$batch" $method --format jpeg --no-overwrite -o "$out" "$input" >"$scratch/stdout" 2>"$scratch/stderr"
  status=$?
  left="$(ls -A "$out" 2>/dev/null)"
  case "$status" in
  0)
    written=("$out"/*.jpg)
    if [ "$(printf '%s\n' "$left" | wc -l)" -ne 1 ] || [ ! -s "${written[0]}" ] ||
      [ "$(head -c 2 "${written[0]}" | od -An -tx1 | tr -d ' ')" != ffd8 ]; then
      fail "$method" "reported success without exactly one JPEG in the destination: ${left:-nothing}"
    fi
    ;;
  1)
    grep -q '^\*\*\* Error writing ' "$scratch/stderr" || fail "$method" "failed without the error line"
    [ -z "$left" ] || fail "$method" "failed but left files behind: $left"
    ;;
  *) fail "$method" "ended with status $status" ;;
  esac
  echo "$method: status $status"
done
exit "$failed"
