#!/usr/bin/env bash
# Desktop setup: prepares config/.env and the state folders. Safe to run again: an existing
# env file is kept as it is.
set -u
root="$(cd "$(dirname "$0")/../.." && pwd)"
env_file="${CONFIG_ENV_FILE:-$root/config/.env}"

if [ "$#" -ne 2 ] || [ "$1" != "--target" ] || [ "$2" != "desktop" ]; then
  echo "usage: install.sh --target desktop"
  exit 2
fi

echo "desktop setup for the runtime at $root"
if command -v node >/dev/null 2>&1; then
  echo "node: $(node --version)"
else
  echo "node: missing; install Node.js, then run the setup again"
  exit 1
fi

mkdir -p "$root/state/pairing" "$root/state/relay_setup" "$(dirname "$env_file")" || exit 1
echo "state folder: $root/state"
if [ -f "$env_file" ]; then
  echo "env file: $env_file (kept)"
else
  cp "$root/config/.env.example" "$env_file" && chmod 600 "$env_file" || exit 1
  echo "env file: $env_file (created from .env.example)"
fi
if grep -q '^RELAY_TOKEN=.' "$env_file"; then
  echo "pairing: this desktop is paired"
else
  echo "pairing: not paired yet; pair with the phone app next"
fi
echo "desktop setup complete"
