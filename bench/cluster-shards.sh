#!/usr/bin/env bash
# cluster-shards.sh [CORPUS_DIR [OUT_DIR]]
#
# Does splitting a run into shards cost anything? The batch job "fit within
# 1024 x 768, JPEG quality 80, metadata kept, turned upright" over the 24
# photographs (6000 x 4000) of the shared benchmark corpus, run two ways on
# this machine, rounds alternating:
#   shards: seq 4 | parallel --jobs 4 pellora-batch --shard {}/4 ... (4
#           processes at once, each with its default job count)
#   one:    pellora-batch --jobs 2 ... (one process, one job per core)
# Prints each way's wall times, their medians and the ratio shards / one
# (the docs/cluster.md recipe should stay within 10% of one run).
# The corpus is built once as bench/peer-comparison.sh builds it (needs
# PELLORA_BENCH_SHARED, default ../shared/bench beside the clone); skipped
# without it or without GNU Parallel. Env: ROUNDS (default 3).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
SHARED=${PELLORA_BENCH_SHARED:-$ROOT/../shared/bench}
CORPUS=${1:-$ROOT/build/bench-corpus}
OUT=${2:-$ROOT/build/bench-shards}
ROUNDS=${ROUNDS:-3}
BATCH=$ROOT/build/bin/pellora-batch

skip() { echo "cluster-shards skipped: $*"; exit 0; }
[ -x "$BATCH" ] || skip "build/bin/pellora-batch is not built"
command -v parallel >/dev/null || skip "GNU Parallel missing (Debian package parallel)"
if [ ! -f "$CORPUS/jpeg/IMG_0024.jpg" ]; then
  [ -f "$SHARED/make-corpus.sh" ] || skip "no corpus and no $SHARED/make-corpus.sh"
  echo "building the corpus in $CORPUS (once)"
  bash "$SHARED/make-corpus.sh" "$CORPUS" >/dev/null
fi
count=$(ls "$CORPUS"/jpeg/IMG_*.jpg | wc -l)

SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/pellora-shards.XXXXXX")
trap 'rm -rf "$SCRATCH"' EXIT
export HOME=$SCRATCH XDG_CONFIG_HOME=$SCRATCH/.config XDG_DATA_HOME=$SCRATCH/.local/share
export BATCH
JOB=(--width 1024 --height 768 --format jpeg --quality 80 --metadata --rotate)

# run WAY: one timed pass into OUT/WAY; prints the wall time in seconds.
run() {
  local way=$1 d=$OUT/$1 start end
  rm -rf "$d"; mkdir -p "$d"
  start=$(date +%s.%N)
  case $way in
    shards) seq 4 | parallel --jobs 4 "$BATCH" --shard {}/4 "${JOB[@]}" -o "$d" "$CORPUS/jpeg" >/dev/null ;;
    one)    "$BATCH" --jobs 2 "${JOB[@]}" -o "$d" "$CORPUS/jpeg" >/dev/null ;;
  esac
  end=$(date +%s.%N)
  [ "$(ls "$d" | grep -cv '^\.')" = "$count" ] || { echo "cluster-shards: $way wrote $(ls "$d" | wc -l) of $count" >&2; exit 1; }
  awk -v end="$end" -v start="$start" 'BEGIN { print end - start }'
}
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "cluster-shards: $count photographs, $(nproc) processors, $ROUNDS rounds alternating"
echo "  shards: seq 4 | parallel --jobs 4 pellora-batch --shard {}/4 ${JOB[*]} -o OUT $CORPUS/jpeg"
echo "  one:    pellora-batch --jobs 2 ${JOB[*]} -o OUT $CORPUS/jpeg"
shards=() one=()
for round in $(seq "$ROUNDS"); do
  shards+=("$(run shards)")
  one+=("$(run one)")
  printf '  round %d: shards %.2f s, one %.2f s\n' "$round" "${shards[-1]}" "${one[-1]}"
done
m_shards=$(median "${shards[@]}")
m_one=$(median "${one[@]}")
awk -v shards="$m_shards" -v one="$m_one" 'BEGIN {
  ratio = shards / one
  printf "cluster-shards: median wall time: shards %.2f s, one run %.2f s; shards / one = %.3f (%s)\n",
         shards, one, ratio, ratio <= 1.10 ? "within 10%" : "MORE THAN 10% SLOWER" }'
