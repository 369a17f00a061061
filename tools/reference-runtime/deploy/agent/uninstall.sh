#!/usr/bin/env bash
root="$(cd "$(dirname "$0")/../.." && pwd)"
bash "$root/runner/connector_stop.sh"
echo "would remove $root and $2"
