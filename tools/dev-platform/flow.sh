# shellcheck shell=bash
# SPDX-License-Identifier: MIT
# The whole desktop flow against the development platform, one function per step, shared by
# script/run and the end-to-end test. Source it with SKERRIN (the built binary) set, and HOME
# and XDG_CONFIG_HOME already pointing into a throwaway folder.
#
# Every step is one of Skerrin's own commands; flow_runtime_script only stops a connector left
# running when the demo is cut short.

FLOW_TOOLS="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# What Skerrin gives every runtime script as PATH.
FLOW_SEARCH_PATH=/opt/homebrew/bin:/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin
RUNTIME_ROOT="$HOME/.brevant/brevant-runtime"

# Starts a platform on a free port; sets PLATFORM_PID and PLATFORM_URL. Arguments go to the
# server (e.g. --code-ttl 1). Its request log goes to $1.
flow_start_platform() {
  local log="$1" url_file
  shift
  url_file="$(mktemp)"
  node "$FLOW_TOOLS/server.mjs" 0 "$@" </dev/null >"$url_file" 2>>"$log" &
  PLATFORM_PID=$!
  PLATFORM_URL=
  for _ in $(seq 50); do
    PLATFORM_URL="$(head -n 1 "$url_file")"
    [ -n "$PLATFORM_URL" ] && break
    kill -0 "$PLATFORM_PID" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$url_file"
  if [ -z "$PLATFORM_URL" ]; then
    echo "the development platform did not start; its log: $log" >&2
    return 1
  fi
}

# Ends a platform by pid and reaps it, so that nothing is left behind; one that ignores the
# request is killed after 3 s.
flow_stop_platform() {
  local pid="$1" state
  [ -n "$pid" ] && kill "$pid" 2>/dev/null || return 0
  for _ in $(seq 30); do
    state="$(sed -n 's/^State:[[:space:]]*\([A-Z]\).*/\1/p' "/proc/$pid/status" 2>/dev/null || true)"
    [ -z "$state" ] || [ "$state" = Z ] && break
    sleep 0.1
  done
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}

# Points Skerrin at a platform: the manifest, the status endpoint and the reachability probe.
flow_use_platform() {
  export SKERRIN_MANIFEST_URL="$1/brevant/runtime-manifest.json"
  export SKERRIN_PLATFORM_BASE_URL="$1"
  export SKERRIN_CHATGPT_URL="$1/"
}

# A runtime script, run the way Skerrin runs it.
flow_runtime_script() {
  (cd "$RUNTIME_ROOT" && CONFIG_ENV_FILE="$RUNTIME_ROOT/config/.env" PATH="$FLOW_SEARCH_PATH" \
    /bin/bash "$RUNTIME_ROOT/$1" "${@:2}" </dev/null)
}

# A key of the runtime's env file (the last one wins), empty when absent.
flow_env_value() {
  { sed -n "s/^[[:space:]]*$1[[:space:]]*=[[:space:]]*//p" "$RUNTIME_ROOT/config/.env" 2>/dev/null || true; } | tail -n 1
}

# Skerrin's own command: the state on standard output, the reason of a failed action on standard
# error, and an exit status that says whether the action succeeded.
flow_skerrin() { "$SKERRIN" "$@" </dev/null; }

flow_install() { flow_skerrin install; }
flow_pair_start() { flow_skerrin pair; }
flow_pair_wait() { flow_skerrin finish-pairing; }

# The phone scanning the QR code and confirming, through the platform's JSON call.
flow_phone_confirm() {
  node "$FLOW_TOOLS/client.mjs" confirm "$SKERRIN_PLATFORM_BASE_URL" "$1" </dev/null
}

# The pending setup code and what its QR code holds, from the session file the start step left.
flow_session_value() {
  node -e 'const s = require(process.argv[1]); console.log(s[process.argv[2]] ?? "")' \
    "$RUNTIME_ROOT/state/pairing/desktop_pairing_session.json" "$1" </dev/null
}
