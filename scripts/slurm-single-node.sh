#!/usr/bin/env bash
# Sets up a single-node Slurm on this machine from Debian's slurm-wlm and
# munge packages, submits the job array of docs/cluster/pellora-array.sbatch
# for real (tests/cli/check_cluster_recipes.sh sbatch) and stops the daemons
# it started. Not part of `make test` or CI: it needs root, writes
# /etc/slurm/slurm.conf (when none exists) and runs munged, slurmctld and
# slurmd. No systemd needed; the node uses no cgroup plugins, so it runs in
# a container too.
# Usage: scripts/slurm-single-node.sh [BUILD_DIR]   (default build)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
[ "$(id -u)" -eq 0 ] || { echo "slurm-single-node: needs root (installs packages, starts daemons)" >&2; exit 1; }
[ -x "$build/bin/pellora-batch" ] || { echo "slurm-single-node: build $build/bin/pellora-batch first" >&2; exit 1; }

missing=()
for package in slurm-wlm munge; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

node=$(hostname -s)
cpus=$(nproc)
conf=/etc/slurm/slurm.conf
if [ ! -f "$conf" ]; then
  mkdir -p /etc/slurm /var/lib/slurm/slurmctld /var/lib/slurm/slurmd /var/log/slurm
  cat >"$conf" <<CONF
ClusterName=pellora-test
SlurmctldHost=$node
SlurmUser=root
AuthType=auth/munge
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
MpiDefault=none
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
ReturnToService=2
StateSaveLocation=/var/lib/slurm/slurmctld
SlurmdSpoolDir=/var/lib/slurm/slurmd
SlurmctldPidFile=/run/slurmctld.pid
SlurmdPidFile=/run/slurmd.pid
SlurmctldLogFile=/var/log/slurm/slurmctld.log
SlurmdLogFile=/var/log/slurm/slurmd.log
NodeName=$node CPUs=$cpus State=UNKNOWN
PartitionName=main Nodes=ALL Default=YES MaxTime=INFINITE State=UP
CONF
  echo "slurm-single-node: wrote $conf for node $node with $cpus CPUs"
fi

started=()
stop() {
  for pid in "${started[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap stop EXIT
if ! pgrep -x munged >/dev/null; then
  [ -f /etc/munge/munge.key ] || { mungekey --create 2>/dev/null || /usr/sbin/create-munge-key; }
  mkdir -p /run/munge && chown munge:munge /run/munge
  runuser -u munge -- /usr/sbin/munged
  started+=("$(cat /run/munge/munged.pid)")
fi
slurmctld -D >/var/log/slurm/slurmctld.out 2>&1 &
started+=($!)
slurmd -D -N "$node" >/var/log/slurm/slurmd.out 2>&1 &
started+=($!)
for _ in $(seq 60); do
  sinfo -h -o %t 2>/dev/null | grep -qE '^(idle|mix)' && break
  sleep 1
done
sinfo || { echo "slurm-single-node: Slurm did not come up; see /var/log/slurm" >&2; exit 1; }

tests/cli/check_cluster_recipes.sh sbatch "$build"
echo "slurm-single-node: the job array ran under Slurm and exported every photograph once"
