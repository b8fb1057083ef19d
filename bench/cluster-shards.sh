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
# (the docs/cluster.md recipe should stay within 10% of one run), and the CPU
# time of each, the steadier figure on a shared machine.
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
[ -x /usr/bin/time ] || skip "/usr/bin/time missing (Debian package time)"
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

# run WAY: one timed pass into OUT/WAY; prints its wall time and CPU time
# (user + system of every process, the steadier figure on a busy machine).
run() {
  local way=$1 d=$OUT/$1 command
  rm -rf "$d"; mkdir -p "$d"
  case $way in
    shards) command=(parallel --jobs 4 "$BATCH" --shard {}/4 "${JOB[@]}" -o "$d" "$CORPUS/jpeg") ;;
    one)    command=("$BATCH" --jobs 2 "${JOB[@]}" -o "$d" "$CORPUS/jpeg") ;;
  esac
  seq 4 | /usr/bin/time -f '%e %U %S' -o "$SCRATCH/time" "${command[@]}" >/dev/null
  [ "$(ls "$d" | grep -cv '^\.')" = "$count" ] || { echo "cluster-shards: $way wrote $(ls "$d" | wc -l) of $count" >&2; exit 1; }
  awk '{ print $1, $2 + $3 }' "$SCRATCH/time"
}
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

echo "cluster-shards: $count photographs, $(nproc) processors, $ROUNDS rounds alternating"
echo "  shards: seq 4 | parallel --jobs 4 pellora-batch --shard {}/4 ${JOB[*]} -o OUT $CORPUS/jpeg"
echo "  one:    pellora-batch --jobs 2 ${JOB[*]} -o OUT $CORPUS/jpeg"
shards=() one=() shards_cpu=() one_cpu=()
for round in $(seq "$ROUNDS"); do
  read -r wall cpu < <(run shards); shards+=("$wall"); shards_cpu+=("$cpu")
  read -r wall cpu < <(run one); one+=("$wall"); one_cpu+=("$cpu")
  printf '  round %d: shards %.2f s (CPU %.2f s), one %.2f s (CPU %.2f s)\n' "$round" "${shards[-1]}" \
    "${shards_cpu[-1]}" "${one[-1]}" "${one_cpu[-1]}"
done
awk -v shards="$(median "${shards[@]}")" -v one="$(median "${one[@]}")" \
    -v shards_cpu="$(median "${shards_cpu[@]}")" -v one_cpu="$(median "${one_cpu[@]}")" 'BEGIN {
  ratio = shards / one
  printf "cluster-shards: medians: shards %.2f s wall, %.2f s CPU; one run %.2f s wall, %.2f s CPU;\n", shards, shards_cpu, one, one_cpu
  printf "cluster-shards: shards / one (wall) = %.3f (%s)\n", ratio, ratio <= 1.10 ? "within 10%" : "MORE THAN 10% SLOWER" }'
