#!/usr/bin/env bash
echo "desktop setup: $*"
echo "env file: ${CONFIG_ENV_FILE:-unset}"
