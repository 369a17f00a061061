#!/usr/bin/env bash
env_file="${CONFIG_ENV_FILE:?}"
[ -f "$env_file" ] && sed -i '/^RELAY_TOKEN=/d;/^CONNECTOR_WORKSPACE=/d' "$env_file"
echo "desktop pairing removed"
