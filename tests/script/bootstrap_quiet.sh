#!/usr/bin/env bash
# script/bootstrap against stand-ins for dpkg-query, apt-get and id on PATH: silent when nothing is
# missing, one line when it installs, the end of apt's log when apt fails.
# Usage: bootstrap_quiet.sh SOURCE_DIR
set -euo pipefail
source_dir="$(realpath "$1")"
work="$(mktemp -d "${TMPDIR:-/tmp}/skerrin-bootstrap-test.XXXXXX")"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$work/bin"
cat >"$work/bin/dpkg-query" <<'STUB'
#!/usr/bin/env bash
# The last argument is the package; those in $MISSING are not installed.
for p in $MISSING; do [ "$p" = "${!#}" ] && exit 1; done
printf 'install ok installed'
STUB
cat >"$work/bin/apt-get" <<'STUB'
#!/usr/bin/env bash
# As chatty as the real one; fails on install when $APT_FAILS is set.
for i in $(seq 1 60); do echo "Get:$i http://deb.example/debian bookworm/main package-$i"; done
if [ "$1" = install ] && [ -n "${APT_FAILS:-}" ]; then
  echo "E: Unable to locate package $APT_FAILS"
  exit 100
fi
echo "Setting up $*"
STUB
printf '#!/bin/sh\necho 0\n' >"$work/bin/id"
chmod +x "$work/bin"/*

run() { # prints the combined output to $work/out, the status to $work/status
  local status=0
  env PATH="$work/bin:$PATH" TMPDIR="$work" "$@" bash "$source_dir/script/bootstrap" >"$work/out" 2>&1 || status=$?
  echo "$status" >"$work/status"
}

run env MISSING=
[ "$(cat "$work/status")" = 0 ] || fail "nothing missing: status $(cat "$work/status")"
[ ! -s "$work/out" ] || fail "nothing missing, yet it said: $(cat "$work/out")"

run env MISSING="xdotool trayer"
[ "$(cat "$work/status")" = 0 ] || fail "install: status $(cat "$work/status"): $(cat "$work/out")"
[ "$(wc -l <"$work/out")" = 1 ] || fail "install: not one line: $(cat "$work/out")"
grep -q "trayer xdotool\|xdotool trayer" "$work/out" || fail "install: the packages are not named: $(cat "$work/out")"
log="$(grep -o "$work/[^ )]*\.log" "$work/out")" || fail "install: no log named: $(cat "$work/out")"
grep -q "Get:60" "$log" && grep -q "Setting up install" "$log" || fail "install: apt's output is not in $log"

run env MISSING="xdotool" APT_FAILS=xdotool
[ "$(cat "$work/status")" != 0 ] || fail "apt failed, yet the status is 0"
grep -q "E: Unable to locate package xdotool" "$work/out" || fail "apt failed: its error is not shown: $(cat "$work/out")"
! grep -q "Get:1 " "$work/out" || fail "apt failed: the whole log was shown, not its end"
echo "bootstrap quiet: ok"
