#!/usr/bin/env bash
# usage: host_quiet_run.sh HOST_EXE COMMAND...
# Runs a host's quiet run (COMMAND) and checks that it says every mandatory case passed
# (exit 0) and that the version record beside HOST_EXE gained a line with this build's size.
set -euo pipefail
host=$1
shift
record="$(dirname "$host")/$(basename "$host" | sed 's/\.[^.]*$//')_Test_Ver.txt"
before=0
[ -f "$record" ] && before=$(grep -c "^$(stat -c %s "$host")," "$record" || true)
"$@"
after=$(grep -c "^$(stat -c %s "$host")," "$record" 2>/dev/null || true)
if [ "${after:-0}" -le "$before" ]; then
  echo "host_quiet_run: $record has no new line for this build of $host" >&2
  exit 1
fi
