#!/usr/bin/env bash
# Stops the connector named by the pid file.
set -u
root="$(cd "$(dirname "$0")/.." && pwd)"
pidfile="$root/state/connector.pid"
if [ -f "$pidfile" ]; then
  kill "$(cat "$pidfile")" 2>/dev/null || true
  rm -f "$pidfile"
  echo "connector stopped"
else
  echo "connector was not running"
fi
