#!/usr/bin/env bash
# Splits a folder tree into 4 shards and exports them at once with GNU
# Parallel: 4 local job slots here, or machines with --sshlogin (the folders
# must then be on storage every machine sees, at the same path).
# Usage: parallel-shards.sh PHOTOS EXPORT REPORTS [pellora-batch options...]
set -euo pipefail
photos=$1 export=$2 reports=$3
shift 3
mkdir -p "$reports"
# {} is the shard number 1..4; each run writes its own report.
seq 4 | parallel --jobs 4 \
  pellora-batch --shard {}/4 --recursive --report "$reports/shard-{}.jsonl" "$@" -o "$export" "$photos"
