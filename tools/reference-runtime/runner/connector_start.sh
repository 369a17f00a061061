#!/usr/bin/env bash
# Starts the connector in the background, leaving a pid file in state/.
set -u
root="$(cd "$(dirname "$0")/.." && pwd)"
pidfile="$root/state/connector.pid"
. "$root/lib/connector.sh"
mkdir -p "$root/state"
if [ -f "$pidfile" ] && connector_alive "$(cat "$pidfile")"; then
  echo "connector already running (pid $(cat "$pidfile"))"
  exit 0
fi
if ! command -v node >/dev/null 2>&1; then
  echo "cannot start the connector: node is not installed"
  exit 1
fi
# Detached from our caller's pipes and input, so the caller's wait ends when this script does.
nohup node "$root/runner/chat_connector.js" </dev/null >>"$root/state/connector.log" 2>&1 &
echo $! >"$pidfile"
echo "started connector with nohup pid: $!"
