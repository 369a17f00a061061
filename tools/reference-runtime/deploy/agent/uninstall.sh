#!/usr/bin/env bash
# Removes this runtime: revokes its pairing when it can, stops the connector and deletes the
# runtime folder. The application named by --remove-app-bundle is never deleted here: only a
# packaged runtime that installed it may do that, so this one says what that would remove.
set -u
root="$(cd "$(dirname "$0")/../.." && pwd)"
env_file="${CONFIG_ENV_FILE:-$root/config/.env}"

if [ "$#" -ne 2 ] || [ "$1" != "--remove-app-bundle" ] || [ -z "$2" ]; then
  echo "usage: uninstall.sh --remove-app-bundle PATH"
  exit 2
fi
app_bundle="$2"

# Refuse anything that does not look like a runtime: a wrong root must never be deleted.
for required in runner/chat_connector.js runner/connector_start.sh scripts/desktop-pairing.mjs; do
  if [ ! -f "$root/$required" ]; then
    echo "refusing to uninstall: $root does not look like a Brevant runtime"
    exit 1
  fi
done

if grep -q '^[[:space:]]*RELAY_TOKEN[[:space:]]*=[[:space:]]*[^[:space:]]' "$env_file" 2>/dev/null; then
  node "$root/scripts/platform-call.mjs" --revoke --env-file "$env_file" ||
    echo "warning: the pairing could not be revoked at the platform; remove it from the phone app"
fi
bash "$root/runner/connector_stop.sh"
cd / && rm -rf -- "$root" || exit 1
echo "removed the runtime at $root"
echo "a packaged runtime would also remove the application at $app_bundle; this one leaves it in place"
