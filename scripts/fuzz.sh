#!/usr/bin/env bash
# Replays each fuzz target's committed corpus, then fuzzes every target for its
# share of a bounded total time. Any crash, leak or time-out fails.
# Usage: fuzz.sh BUILD_DIR TOTAL_SECONDS
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
total=${2:-100}
targets=()
for exe in "$build"/bin/fuzz_*; do
  [ -x "$exe" ] && targets+=("$exe")
done
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz: no fuzz targets in $build/bin" >&2
  exit 1
fi
per_target=$(( total / ${#targets[@]} ))
[ "$per_target" -ge 5 ] || per_target=5
passed=0
for exe in "${targets[@]}"; do
  name=$(basename "$exe"); name=${name#fuzz_}
  seeds=fuzz/corpus/$name
  work=$build/fuzz-work/$name
  mkdir -p "$work" "$seeds"
  echo "fuzz: $name: replaying $(ls "$seeds" | wc -l) corpus files"
  "$exe" -runs=0 -timeout=10 -rss_limit_mb=2048 "$seeds" 2>&1 | tail -n 2
  echo "fuzz: $name: fuzzing for $per_target s"
  # The first folder receives new inputs: keep it in the build tree.
  "$exe" -max_total_time="$per_target" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
         -artifact_prefix="$work/" "$work" "$seeds" 2>&1 | tail -n 3
  passed=$((passed + 1))
done
echo "fuzz: $passed passed, 0 failed"
