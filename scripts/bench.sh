#!/usr/bin/env bash
# Runs every benchmark program built into build/bin (bench_*), the peak
# memory of hostile files (bench/memory-bombs.sh), then the whole-batch
# comparison with the peer tools (bench/peer-comparison.sh) and the cost of
# splitting a run into shards (bench/cluster-shards.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
found=0
for exe in build/bin/bench_*; do
  [ -x "$exe" ] || continue
  found=1
  echo "== $(basename "$exe")"
  "$exe"
done
[ "$found" -eq 1 ] || echo "bench: no benchmarks built yet"
echo "== memory-bombs"
bench/memory-bombs.sh
echo "== peer-comparison"
bench/peer-comparison.sh
echo "== cluster-shards"
bench/cluster-shards.sh
