#!/usr/bin/env bash
# Starts a one-node Slurm cluster on this machine for the Slurm executor's tests and
# benchmark: munged, slurmctld and slurmd, with every file in one state folder.
# scripts/slurm-down.sh stops exactly what this started. Needs root (or sudo).
#
#   scripts/slurm-up.sh            # state folder /tmp/corvala4-slurm (CORVALA4_SLURM_DIR moves it)
#   export SLURM_CONF=/tmp/corvala4-slurm/slurm.conf
#
# Clients also find the configuration through /etc/slurm/slurm.conf, which is linked
# to ours when no configuration of the machine's own is there.
set -euo pipefail
cd "$(dirname "$0")/.."

dir=${CORVALA4_SLURM_DIR:-/tmp/corvala4-slurm}
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)

scripts/install-packages.sh slurmctld slurmd slurm-client munge

if [ -f "$dir/started" ]; then
  echo "slurm-up: a cluster started from $dir is still recorded; run scripts/slurm-down.sh first" >&2
  exit 1
fi
"${sudo_cmd[@]}" mkdir -p "$dir/spool/ctld" "$dir/spool/d" "$dir/log"
"${sudo_cmd[@]}" chmod 755 "$dir"

host=$(hostname -s)
# The node line as slurmd sees this machine: real CPU count and memory.
node=$("${sudo_cmd[@]}" slurmd -C | head -n 1)
node=${node/NodeName=$host/NodeName=$host NodeAddr=127.0.0.1}

# No cgroups here: the kernel of this sandbox has no controllers, so process tracking
# and task binding use the plugins that need none.
"${sudo_cmd[@]}" tee "$dir/slurm.conf" >/dev/null <<EOF
ClusterName=corvala4
SlurmctldHost=$host(127.0.0.1)
SlurmUser=root
SlurmdUser=root
SlurmctldPort=16817
SlurmdPort=16818
AuthType=auth/munge
StateSaveLocation=$dir/spool/ctld
SlurmdSpoolDir=$dir/spool/d
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/log/slurmctld.log
SlurmdLogFile=$dir/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
MpiDefault=none
ReturnToService=2
SchedulerParameters=batch_sched_delay=0,sched_min_interval=0
MailProg=/bin/true
MinJobAge=5
KillWait=5
$node
PartitionName=main Nodes=$host Default=YES MaxTime=INFINITE State=UP
EOF

: | "${sudo_cmd[@]}" tee "$dir/started" >/dev/null
record() { echo "$1" | "${sudo_cmd[@]}" tee -a "$dir/started" >/dev/null; }

# Whatever fails from here on, stop what was started so far.
trap 'scripts/slurm-down.sh >/dev/null || true' ERR

# munged refuses to run as root; it runs as its own user with its own socket folder.
# One that answers already serves us (a process list would also show a dead one).
if ! munge -n </dev/null >/dev/null 2>&1; then
  [ -f /etc/munge/munge.key ] || "${sudo_cmd[@]}" mungekey --create
  "${sudo_cmd[@]}" mkdir -p /run/munge
  "${sudo_cmd[@]}" chown munge:munge /run/munge
  "${sudo_cmd[@]}" runuser -u munge -- munged --pid-file="/run/munge/corvala4-munged.pid"
  record "munged /run/munge/corvala4-munged.pid"
fi

if [ ! -e /etc/slurm/slurm.conf ]; then
  "${sudo_cmd[@]}" mkdir -p /etc/slurm
  "${sudo_cmd[@]}" ln -s "$dir/slurm.conf" /etc/slurm/slurm.conf
  record "link /etc/slurm/slurm.conf"
fi

export SLURM_CONF="$dir/slurm.conf"
"${sudo_cmd[@]}" env SLURM_CONF="$SLURM_CONF" slurmctld -i
record "slurmctld $dir/slurmctld.pid"
"${sudo_cmd[@]}" env SLURM_CONF="$SLURM_CONF" slurmd
record "slurmd $dir/slurmd.pid"

# Ready when the node is idle and a job step runs.
for _ in $(seq 1 60); do
  state=$(sinfo -h -N -o '%t' 2>/dev/null | head -n 1 || true)
  [ "$state" = "idle" ] && break
  sleep 0.5
done
if [ "${state:-}" != "idle" ]; then
  echo "slurm-up: the node did not become idle (state '${state:-none}'):" >&2
  tail -n 5 "$dir"/log/*.log >&2 || true
  scripts/slurm-down.sh >/dev/null || true
  exit 1
fi
if ! timeout 60 srun -n1 -t 1 true; then
  echo "slurm-up: a test job step failed:" >&2
  tail -n 5 "$dir"/log/*.log >&2 || true
  scripts/slurm-down.sh >/dev/null || true
  exit 1
fi
echo "slurm-up: one-node cluster '$host' is up; SLURM_CONF=$SLURM_CONF"
