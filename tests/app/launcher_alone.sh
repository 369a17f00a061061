#!/usr/bin/env bash
# `skerrin` copied without what ships beside it says which file is missing and fails, for a
# command and for the tray application alike, rather than crash or fall back to another install.
# Usage: launcher_alone.sh SKERRIN_BINARY
set -euo pipefail
work="$(mktemp -d "${TMPDIR:-/tmp}/skerrin-alone.XXXXXX")"
trap 'rm -rf "$work"' EXIT
cp "$1" "$work/skerrin"
expect() { # what it should say, then the arguments
  local said status=0
  said="$(HOME="$work" "$work/skerrin" "${@:2}" 2>&1 >/dev/null)" || status=$?
  [ "$status" = 1 ] || { echo "FAIL: skerrin $* exited $status, not 1" >&2; exit 1; }
  [[ "$said" == *"$1"*"is not installed with $work/skerrin"* ]] ||
    { echo "FAIL: skerrin ${*:2} said: $said" >&2; exit 1; }
}
expect "the command line (skerrin-cli.so)" state
expect "the tray application (skerrin-tray)" --windowed
echo "skerrin alone: ok"
