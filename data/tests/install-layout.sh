#!/usr/bin/env bash
# cmake --install puts exactly `skerrin`, the tray application, the command line's, the network
# and the notifications modules, the desktop entry, the icons, the metadata and the watcher's systemd user
# unit under the prefix: into a prefix with spaces, and staged with DESTDIR.
# Usage: install-layout.sh BUILD_DIR APP_ID
set -euo pipefail
build="$1"
id="$2"
work="$(mktemp -d "${TMPDIR:-/tmp}/skerrin-install.XXXXXX")"
trap 'rm -rf "$work"' EXIT

expected="$work/expected"
{
  echo bin/skerrin
  echo libexec/skerrin/skerrin-tray
  echo libexec/skerrin/skerrin-cli.so
  echo libexec/skerrin/skerrin-network.so
  echo libexec/skerrin/skerrin-notifications.so
  echo "share/applications/$id.desktop"
  echo "share/metainfo/$id.metainfo.xml"
  echo share/systemd/user/skerrin-watch.service
  echo "share/icons/hicolor/scalable/apps/$id.svg"
  for size in 16 22 24 32 48 64 128 256; do echo "share/icons/hicolor/${size}x$size/apps/$id.png"; done
  for state in busy running stopped; do echo "share/icons/hicolor/symbolic/apps/$id-$state-symbolic.svg"; done
} | sort >"$expected"

check() { # ROOT LABEL INSTALLED_PREFIX
  (cd "$1" && find . -type f -o -type l | sed 's#^\./##' | sort) >"$work/actual"
  if ! diff -u "$expected" "$work/actual"; then
    echo "FAIL: $2 installs other files than expected (diff above)" >&2
    exit 1
  fi
  [ -x "$1/bin/skerrin" ] || { echo "FAIL: $2: bin/skerrin is not executable" >&2; exit 1; }
  # ... and the command line it loads.
  HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" SKERRIN_PLATFORM_BASE_URL=http://127.0.0.1:9 \
    "$1/bin/skerrin" state --json </dev/null >"$work/state.json" 2>&1 && grep -q '"appVersionText"' "$work/state.json" ||
    { echo "FAIL: $2: skerrin state --json: $(head -c 300 "$work/state.json")" >&2; exit 1; }
  # `skerrin` finds the tray application it becomes from where it is installed.
  QT_QPA_PLATFORM=offscreen HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
    DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent "$1/bin/skerrin" --windowed >"$work/tray.log" 2>&1 &
  local tray=$! program=
  for _ in $(seq 50); do
    program="$(readlink "/proc/$tray/exe" 2>/dev/null || true)"
    [[ "$program" == */skerrin-tray ]] && break
    sleep 0.1
  done
  kill "$tray" 2>/dev/null || true
  wait "$tray" 2>/dev/null || true
  [ "$program" = "$(realpath "$1")/libexec/skerrin/skerrin-tray" ] ||
    { echo "FAIL: $2: skerrin --windowed ran '$program', not libexec/skerrin/skerrin-tray: $(cat "$work/tray.log")" >&2; exit 1; }
  # The unit starts the installed binary, wherever the prefix is.
  grep -qxF "ExecStart=\"$3/bin/skerrin\" watch" "$1/share/systemd/user/skerrin-watch.service" ||
    { echo "FAIL: $2: the unit's ExecStart is not $3/bin/skerrin watch" >&2; exit 1; }
}

cmake --install "$build" --prefix "$work/my prefix" >/dev/null
check "$work/my prefix" "a prefix with spaces" "$work/my prefix"
if command -v systemd-analyze >/dev/null; then
  # The unit as the user's service manager reads it, quoting of the spaces included; the manager
  # it sets up for this wants a runtime folder of its own.
  mkdir -m 700 "$work/runtime"
  XDG_RUNTIME_DIR="$work/runtime" systemd-analyze verify --user --man=no \
    "$work/my prefix/share/systemd/user/skerrin-watch.service" ||
    { echo "FAIL: systemd-analyze verify rejects the watcher's unit" >&2; exit 1; }
fi

DESTDIR="$work/stage" cmake --install "$build" --prefix /usr >/dev/null
check "$work/stage/usr" "DESTDIR staging" /usr
[ "$(ls -A "$work/stage")" = usr ] || { echo "FAIL: DESTDIR staging wrote outside usr/" >&2; exit 1; }
echo "install layout: ok"
