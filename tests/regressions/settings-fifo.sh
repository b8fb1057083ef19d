#!/usr/bin/env bash
# A FIFO where the settings file belongs, made here (a FIFO cannot be checked
# in): pellora-batch must not block on it, must leave it where it is, and must
# export on the defaults. Usage: settings-fifo.sh PELLORA-BATCH
set -uo pipefail
batch="$1"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config"
mkdir -p "$XDG_CONFIG_HOME/pellora" "$scratch/in"
mkfifo "$XDG_CONFIG_HOME/pellora/Pellora.plist"
convert -size 64x48 xc:red "$scratch/in/red.png"

timeout 30 "$batch" --format jpeg -o "$scratch/out" "$scratch/in/red.png" >"$scratch/stdout" 2>"$scratch/stderr"
status=$?
failed=0
[ "$status" -eq 0 ] || { echo "FAIL: status $status (124: it blocked on the FIFO)"; failed=1; }
[ -p "$XDG_CONFIG_HOME/pellora/Pellora.plist" ] || { echo "FAIL: the FIFO was moved or replaced"; failed=1; }
[ -s "$scratch/out/red.jpg" ] || { echo "FAIL: nothing exported on the defaults"; failed=1; }
[ "$failed" -eq 0 ] || sed 's/^/  | /' "$scratch/stderr"
exit "$failed"
