#!/usr/bin/env bash
# Stops what scripts/slurm-up.sh started, as its state folder records it, in reverse
# order, and removes the state folder. Anything it did not start is left alone.
set -euo pipefail

dir=${CORVALA4_SLURM_DIR:-/tmp/corvala4-slurm}
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)

if [ ! -f "$dir/started" ]; then
  echo "slurm-down: nothing recorded in $dir"
  exit 0
fi

stop_pid_file() {
  local pid_file=$1 pid
  [ -f "$pid_file" ] || return 0
  pid=$(cat "$pid_file")
  [ -n "$pid" ] || return 0
  "${sudo_cmd[@]}" kill "$pid" 2>/dev/null || return 0
  for _ in $(seq 1 50); do
    "${sudo_cmd[@]}" kill -0 "$pid" 2>/dev/null || return 0
    # A zombie waiting for a late reaper is gone for every purpose.
    [ "$(ps -o stat= -p "$pid" 2>/dev/null | cut -c1)" = "Z" ] && return 0
    sleep 0.1
  done
  "${sudo_cmd[@]}" kill -9 "$pid" 2>/dev/null || true
}

tac "$dir/started" | while read -r what arg; do
  case "$what" in
    slurmd | slurmctld | munged) stop_pid_file "$arg" ;;
    link) "${sudo_cmd[@]}" rm -f "$arg" ;;
  esac
done
"${sudo_cmd[@]}" rm -rf "$dir"
echo "slurm-down: stopped"
