#!/usr/bin/env bash
# Peak memory of pellora-batch on files whose headers claim huge images: each
# bomb alone and three copies in one run, at full size and fitted within 1000
# pixels. Prints the peak resident set (GNU time's %M) and the exit status;
# the bombs are made by bench/make-memory-bombs.py into a scratch folder.
# Usage: bench/memory-bombs.sh [path/to/pellora-batch]
set -euo pipefail
cd "$(dirname "$0")/.."
batch="${1:-build/bin/pellora-batch}"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
python3 bench/make-memory-bombs.py "$scratch/bombs"
export HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config"

printf '%-22s %-6s %-6s %12s %6s %8s\n' bomb size copies "peak MiB" status seconds
for bomb in screen-bomb.gif progressive-bomb.jpg deep-bomb.png; do
  for copies in 1 3; do
    inputs=()
    for n in $(seq "$copies"); do
      mkdir -p "$scratch/in$n"
      cp "$scratch/bombs/$bomb" "$scratch/in$n/$n-$bomb"
      inputs+=("$scratch/in$n/$n-$bomb")
    done
    for size in full fitted; do
      if [ "$size" = full ]; then method=(--method full); else method=(--side 1000); fi
      rm -rf "$scratch/out"
      status=0
      /usr/bin/time -f '%M %e' -o "$scratch/time" \
        "$batch" "${method[@]}" --format jpeg --overwrite -o "$scratch/out" "${inputs[@]}" \
        >/dev/null 2>"$scratch/log" || status=$?
      read -r kib seconds < <(tail -n 1 "$scratch/time")
      printf '%-22s %-6s %-6s %12d %6d %8s\n' "$bomb" "$size" "$copies" $((kib / 1024)) "$status" "$seconds"
    done
    rm -rf "$scratch"/in*
  done
done
