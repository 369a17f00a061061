#!/usr/bin/env bash
# Removes this desktop's pairing: revokes it at the platform, stops the connector, and takes
# the relay token and workspace out of the env file. When the platform cannot be reached the
# pairing is kept, so that it can still be revoked later.
set -u
root="$(cd "$(dirname "$0")/../.." && pwd)"
env_file="${CONFIG_ENV_FILE:-$root/config/.env}"

if ! grep -q '^[[:space:]]*RELAY_TOKEN[[:space:]]*=[[:space:]]*[^[:space:]]' "$env_file" 2>/dev/null; then
  bash "$root/runner/connector_stop.sh" >/dev/null
  echo "no desktop pairing to remove"
  exit 0
fi
node "$root/scripts/platform-call.mjs" --revoke --env-file "$env_file" || exit 1
bash "$root/runner/connector_stop.sh"
sed -i.bak '/^[[:space:]]*RELAY_TOKEN[[:space:]]*=/d;/^[[:space:]]*CONNECTOR_WORKSPACE[[:space:]]*=/d' "$env_file" && rm -f "$env_file.bak"
echo "desktop pairing removed"
