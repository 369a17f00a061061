#!/usr/bin/env bash
# Reports the connector's state with the markers the desktop app reads.
set -u
root="$(cd "$(dirname "$0")/.." && pwd)"
pidfile="$root/state/connector.pid"
. "$root/lib/connector.sh"
echo "runtime: $root"
if [ ! -f "$pidfile" ]; then
  echo "connector process not running"
elif connector_alive "$(cat "$pidfile")"; then
  echo "connector pid: $(cat "$pidfile")"
else
  echo "pid file exists but process is not running"
fi
