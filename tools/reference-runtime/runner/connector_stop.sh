#!/usr/bin/env bash
# Stops the connector named by the pid file, and waits (briefly) until it is gone.
set -u
root="$(cd "$(dirname "$0")/.." && pwd)"
pidfile="$root/state/connector.pid"
. "$root/lib/connector.sh"
if [ ! -f "$pidfile" ]; then
  echo "connector was not running"
  exit 0
fi
pid="$(cat "$pidfile")"
if connector_alive "$pid" && kill "$pid" 2>/dev/null; then
  for _ in $(seq 30); do
    connector_alive "$pid" || break
    sleep 0.1
  done
  if connector_alive "$pid"; then
    kill -KILL "$pid" 2>/dev/null
    echo "connector did not stop within 3 s; killed it"
  fi
fi
rm -f "$pidfile"
echo "connector stopped"
