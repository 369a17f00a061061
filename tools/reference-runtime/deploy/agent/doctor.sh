#!/usr/bin/env bash
# Checks what the connector needs and prints one finding per line; exits 1 when one fails.
set -u
root="$(cd "$(dirname "$0")/../.." && pwd)"
env_file="${CONFIG_ENV_FILE:-$root/config/.env}"
failed=0
ok() { echo "ok    $*"; }
fail() { echo "FAIL  $*"; failed=1; }
note() { echo "note  $*"; }

echo "doctor: runtime at $root"
if command -v node >/dev/null 2>&1; then
  ok "node $(node --version) at $(command -v node)"
else
  fail "node: not found on PATH"
fi

if [ -f "$env_file" ]; then
  ok "env file $env_file"
else
  fail "env file $env_file is missing: run the desktop setup"
fi

value() { sed -n "s/^[[:space:]]*$1[[:space:]]*=[[:space:]]*//p" "$env_file" 2>/dev/null | tail -n 1; }
if [ -n "$(value RELAY_TOKEN)" ] && [ -n "$(value CONNECTOR_WORKSPACE)" ]; then
  ok "paired: relay token present, workspace $(value CONNECTOR_WORKSPACE)"
else
  note "not paired yet: no relay token and workspace in the env file"
fi

probe() { # name, URL
  if ! command -v node >/dev/null 2>&1; then
    fail "$1: cannot be checked without node"
  elif answer="$(node "$root/scripts/platform-call.mjs" --health "$2" 2>&1)"; then
    ok "$1 $answer"
  else
    fail "$1 $answer"
  fi
}
platform="$(value PLATFORM_BASE_URL)"
relay="$(value RELAY_BASE_URL)"
if [ -n "$platform" ]; then probe platform "${platform%/}/v1/health"; else note "platform address not set yet: pairing sets PLATFORM_BASE_URL"; fi
if [ -n "$relay" ]; then probe relay "${relay%/}/healthz"; else note "relay address not set yet: pairing sets RELAY_BASE_URL"; fi

if bash "$root/runner/connector_status.sh" | grep -q "connector pid:"; then
  ok "connector running"
else
  note "connector not running"
fi
exit "$failed"
