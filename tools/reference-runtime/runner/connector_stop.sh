#!/usr/bin/env bash
# Stops the connector named by the pid file, and waits (briefly) until it is gone.
set -u
root="$(cd "$(dirname "$0")/.." && pwd)"
pidfile="$root/state/connector.pid"
if [ ! -f "$pidfile" ]; then
  echo "connector was not running"
  exit 0
fi
pid="$(cat "$pidfile")"
if kill "$pid" 2>/dev/null; then
  for _ in $(seq 30); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    kill -KILL "$pid" 2>/dev/null
    echo "connector did not stop within 3 s; killed it"
  fi
fi
rm -f "$pidfile"
echo "connector stopped"
