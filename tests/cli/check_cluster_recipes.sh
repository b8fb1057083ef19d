#!/usr/bin/env bash
# Runs a recipe of docs/cluster.md for real on this machine and checks that
# its shards together exported every photograph of a tree exactly once, into
# the same folders, each output decodable, the reports valid line by line.
# Usage: check_cluster_recipes.sh parallel|slurm|kubernetes|sbatch BUILD_DIR
# Exits 77 (skipped) when the recipe's tool is missing.
set -euo pipefail
recipe=$1
build=$(cd "$2" && pwd)
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
recipes=$source_dir/docs/cluster
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export PATH=$build/bin:$PATH HOME=$work XDG_CONFIG_HOME=$work/.config
status=0
fail() { echo "check_cluster_recipes ($recipe): $*" >&2; status=1; }

# A tree of 13 small photographs; the same names recur in different folders.
photos=$work/data/photos
mkdir -p "$photos/2024/june" "$photos/2024/july" "$photos/scans"
for n in 1 2 3 10; do
  convert -size 24x16 "xc:rgb($((n * 20)),90,30)" "$photos/2024/june/IMG_$n.jpg"
  convert -size 24x16 "xc:rgb(30,$((n * 20)),90)" "$photos/2024/july/IMG_$n.jpg"
  convert -size 16x24 "xc:rgb(90,30,$((n * 20)))" "$photos/scans/IMG_$n.jpg"
done
convert -size 20x20 xc:gray "$photos/cover.jpg"
export_folder=$work/data/export
reports=$work/data

case $recipe in
parallel)
  command -v parallel >/dev/null || { echo "skipped: GNU Parallel is not installed (apt-get install parallel)"; exit 77; }
  "$recipes/parallel-shards.sh" "$photos" "$export_folder" "$reports" </dev/null >"$work/parallel.log" 2>&1 ||
    fail "the recipe failed: $(cat "$work/parallel.log")"
  ;;
slurm)
  # What Slurm sets for the tasks of --array=1-4 (and of --array=0-3).
  for first in 1 0; do
    rm -rf "$export_folder" "$reports"/task-*.jsonl
    for id in $(seq "$first" $((first + 3))); do
      env SLURM_ARRAY_JOB_ID=42 SLURM_ARRAY_TASK_ID="$id" SLURM_ARRAY_TASK_MIN="$first" \
        PELLORA_PHOTOS="$photos" PELLORA_EXPORT="$export_folder" PELLORA_REPORTS="$reports" \
        bash "$recipes/pellora-array.sbatch" >>"$work/slurm.log" 2>&1 || fail "task $id failed: $(cat "$work/slurm.log")"
    done
    [ "$(ls "$reports"/task-42_*.jsonl | wc -l)" = 4 ] || fail "not 4 task reports for --array=$first-$((first + 3))"
  done
  ;;
sbatch)
  # Submitted for real to a running Slurm (scripts/slurm-single-node.sh sets
  # one up; not part of the tests): the array's tasks run on its node.
  command -v sbatch >/dev/null && sinfo >/dev/null 2>&1 || { echo "skipped: no running Slurm"; exit 77; }
  sbatch --wait --chdir="$work" --output="$work/task-%A_%a.log" \
    --export="ALL,PELLORA_PHOTOS=$photos,PELLORA_EXPORT=$export_folder,PELLORA_REPORTS=$reports" \
    "$recipes/pellora-array.sbatch" >"$work/sbatch.log" 2>&1 || fail "the array failed: $(cat "$work"/*.log)"
  [ "$(ls "$reports"/task-*.jsonl | wc -l)" = 4 ] || fail "not 4 task reports: $(cat "$work"/*.log)"
  cat "$work/sbatch.log"
  ;;
kubernetes)
  # The manifest parses, is an Indexed Job whose shard count matches its
  # completions, on a shared volume; its command, run here once per index
  # with the volume at $work/data, does the work.
  /usr/bin/python3 - "$recipes/pellora-indexed-job.yaml" "$work/data" >"$work/pods.sh" <<'PYTHON'
import shlex, sys, yaml
documents = list(yaml.safe_load_all(open(sys.argv[1])))
claim = next(d for d in documents if d["kind"] == "PersistentVolumeClaim")
job = next(d for d in documents if d["kind"] == "Job")
assert "ReadWriteMany" in claim["spec"]["accessModes"], "the volume is not shared"
spec = job["spec"]
assert spec["completionMode"] == "Indexed", spec
pod = spec["template"]["spec"]
container = pod["containers"][0]
command = container["command"] + container.get("args", [])
shard = command[command.index("--shard") + 1]
assert shard == f"env:JOB_COMPLETION_INDEX/{spec['completions']}", (shard, spec["completions"])
(volume,) = pod["volumes"]
assert volume["persistentVolumeClaim"]["claimName"] == claim["metadata"]["name"]
(mount,) = container["volumeMounts"]
assert mount["name"] == volume["name"]
annotation = container["env"][0]["valueFrom"]["fieldRef"]["fieldPath"]
assert annotation == "metadata.annotations['batch.kubernetes.io/job-completion-index']", annotation
for index in range(spec["completions"]):
    words = [w.replace("$(SHARD_INDEX)", str(index)).replace(mount["mountPath"], sys.argv[2], 1) for w in command]
    print(f"JOB_COMPLETION_INDEX={index} " + " ".join(shlex.quote(w) for w in words))
PYTHON
  [ "$(wc -l <"$work/pods.sh")" = 4 ] || fail "not 4 pods: $(cat "$work/pods.sh")"
  bash -e "$work/pods.sh" >"$work/pods.log" 2>&1 || fail "a pod's command failed: $(cat "$work/pods.log")"
  ;;
*)
  echo "usage: $0 parallel|slurm|kubernetes|sbatch BUILD_DIR" >&2
  exit 2
  ;;
esac

# Every photograph exactly once, in its own folder, decodable.
expected=$(cd "$photos" && find . -type f | sort)
got=$(cd "$export_folder" && find . -type f | sort)
[ "$got" = "$expected" ] || fail "the exports differ from the photos: $(diff <(echo "$expected") <(echo "$got") || true)"
while read -r output; do
  identify "$export_folder/$output" >/dev/null 2>&1 || fail "$output does not decode"
done <<<"$got"
written=0
for report in "$reports"/*.jsonl; do
  verdict=$(/usr/bin/python3 "$source_dir/tests/cli/check_report.py" "$report") || fail "$report: $verdict"
  written=$((written + $(sed -E 's/written=([0-9]+).*/\1/' <<<"$verdict")))
done
[ "$written" = "$(wc -l <<<"$expected")" ] || fail "the reports count $written written, not $(wc -l <<<"$expected")"
exit $status
