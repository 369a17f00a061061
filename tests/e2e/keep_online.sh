#!/usr/bin/env bash
# Keeping the desktop service online, end to end: the built application over a copy of the
# reference runtime, paired with the development platform, with a real notification daemon (dunst)
# on a private session bus and display, and a real tray host (trayer).
#
#   - a headless `skerrin watch` sees the connector killed, says so on the desktop, and brings the
#     service back;
#   - a second watcher waits for the first and never recovers anything itself;
#   - the tray application shows the service's state in its icon's tooltip (read through the
#     accessibility bus, the way a screen reader reads it);
#   - a stop asked for in a shell pauses watching: nothing starts the service again;
#   - a start script that keeps failing is retried with back-off, and the desktop hears of it;
#   - the relay token is in no output, and no process outlives the test.
#
# Usage: keep_online.sh SKERRIN_BINARY SOURCE_DIR
set -euo pipefail
SKERRIN="$(realpath "$1")"
SOURCE="$2"

work="$(mktemp -d "${TMPDIR:-/tmp}/skerrin-online.XXXXXX")"
out="$work/outputs" # every output of the run, searched for the token at the end
mkdir -p "$out" "$work/home/.config" "$work/run"
touch "$out/watch1.log" "$out/watch2.log" "$out/notify.log" # polled before their writers start
chmod 700 "$work/run"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/run"
export LANGUAGE=en LC_ALL=C.UTF-8 QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
# For tests only: every span of keeping the service online divided by 10, so a status period is
# 3 s, the back-off after failed recoveries 6, 12, 24 ... s and a repeated notification waits 1 min.
export SKERRIN_WATCH_TEST_SCALE=10
period=3
# Marks every process this test starts, also those the session bus starts on demand, so that the
# end can prove none is left.
export SKERRIN_KEEP_ONLINE_RUN="$work"
# shellcheck source=tools/dev-platform/flow.sh
source "$SOURCE/tools/dev-platform/flow.sh"
PYTHON=/usr/bin/python3 # Debian's, which has pyatspi

started=()
fail() {
  echo "FAIL: $*" >&2
  for log in "$out"/watch*.log; do
    [ -f "$log" ] && { echo "--- $log" >&2; cat "$log" >&2; }
  done
  exit 1
}
expect() { # description, then a command that must succeed
  "${@:2}" || fail "$1"
}
# Polls a command every 0.2 s for at most BOUND seconds.
within() {
  local bound="$1" deadline
  shift
  deadline=$(($(date +%s%N) + ${bound%.*} * 1000000000))
  until "$@"; do
    [ "$(date +%s%N)" -lt "$deadline" ] || return 1
    sleep 0.2
  done
}
now() { date +%s%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.1f", (b - a) / 1e9 }'; }

alive() { # running, as opposed to gone or a zombie nobody has reaped
  [ -r "/proc/$1/status" ] && ! grep -qs '^State:[[:space:]]*Z' "/proc/$1/status"
}
ended() { ! alive "$1"; }
# Every live process carrying this run's mark (but the grep that looks, which goes without it).
marked() {
  local file pid
  # grep fails on the processes it may not read, and on those that ended while it looked.
  { env -u SKERRIN_KEEP_ONLINE_RUN grep -lsazxF "SKERRIN_KEEP_ONLINE_RUN=$work" /proc/[0-9]*/environ || true; } |
    while read -r file; do
      pid="${file#/proc/}"
      pid="${pid%/environ}"
      if alive "$pid"; then echo "$pid"; fi
    done
}
nothing_marked() { [ -z "$(marked)" ]; }
stop_pid() { # SIGTERM, then SIGKILL 3 s later
  local pid="$1"
  kill "$pid" 2>/dev/null || return 0
  within 3 ended "$pid" || kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
# Ends what the test started, last first; leaves in `leftovers` whatever still ran after that.
stop_everything() {
  local pid
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do stop_pid "${started[$i]}"; done
  started=()
  [ -f "$RUNTIME_ROOT/state/connector.pid" ] && stop_pid "$(cat "$RUNTIME_ROOT/state/connector.pid")"
  # What the bus started on demand (the accessibility bus and its registry) ends with the bus.
  within 5 nothing_marked || true
  leftovers="$(marked)"
  for pid in $leftovers; do kill -KILL "$pid" 2>/dev/null || true; done
}
finish() {
  local status=$?
  set +e # clean-up goes all the way, whatever fails in it
  stop_everything
  rm -rf "$work"
  exit "$status"
}
trap finish EXIT

# The watcher's lines: ISO time, event, status.
events() { awk -F'\t' -v e="$2" '$2 == e' "$1"; }
count() { events "$1" "$2" | wc -l; }
has_event() { [ "$(count "$1" "$2")" -gt "${3:-0}" ]; }
# The app name and summary of every Notify call dbus-monitor saw, one "app|summary" a line.
notifications() {
  awk '/member=Notify$/ { n = 0; app = ""; next }
       /^   string "/ { n++; s = substr($0, 12, length($0) - 12); if (n == 1) app = s; if (n == 3) print app "|" s }' \
    "$out/notify.log"
}
notified() { notifications | grep -qxF "Skerrin|$1"; }
status_line() { flow_runtime_script runner/connector_status.sh | sed -n 2p; }
service_running() { status_line | grep -q '^connector pid: '; }
service_stopped() { ! service_running; }
connector_pid() { cat "$RUNTIME_ROOT/state/connector.pid"; }

# --- The platform, the runtime, a pairing (so that a relay token exists to be kept secret).
flow_start_platform "$out/platform.log"
started+=("$PLATFORM_PID")
flow_use_platform "$PLATFORM_URL"
mkdir -p "$(dirname "$RUNTIME_ROOT")"
cp -R "$SOURCE/tools/reference-runtime" "$RUNTIME_ROOT"
rm -rf "$RUNTIME_ROOT/state" "$RUNTIME_ROOT/config/.env"
flow_pair_start >"$out/pair-start" 2>&1 || fail "pairing start: $(cat "$out/pair-start")"
flow_phone_confirm "$(flow_session_value setup_code)" >"$out/confirm" 2>&1 || fail "confirm: $(cat "$out/confirm")"
flow_pair_wait >"$out/pair-wait" 2>&1 || fail "pairing: $(cat "$out/pair-wait")"
token="$(flow_env_value RELAY_TOKEN)"
expect "pairing wrote a relay token" test -n "$token"

# Each run of the status script leaves the pid of whoever ran it, so the test can count a
# watcher's looks rather than guess them from the clock.
mv "$RUNTIME_ROOT/runner/connector_status.sh" "$RUNTIME_ROOT/runner/connector_status.orig.sh"
cat >"$RUNTIME_ROOT/runner/connector_status.sh" <<EOF
#!/usr/bin/env bash
echo "\$PPID" >>'$work/status-runs'
exec /bin/bash "\$(dirname "\$0")/connector_status.orig.sh"
EOF
chmod +x "$RUNTIME_ROOT/runner/connector_status.sh"
looks_by() { grep -cxF "$1" "$work/status-runs" 2>/dev/null || true; }
looked() { [ "$(looks_by "$1")" -ge "$2" ]; } # pid, at least this many looks

# --- A display, a private session bus, the notification daemon, its recorder, a tray host.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x800x24 3>"$work/display" >"$out/xvfb.log" 2>&1 &
started+=($!)
within 10 test -s "$work/display" || fail "Xvfb did not start: $(cat "$out/xvfb.log")"
DISPLAY=":$(head -n 1 "$work/display")"
export DISPLAY
dbus-daemon --session --nofork --print-address=3 3>"$work/bus" >"$out/bus.log" 2>&1 &
started+=($!)
within 10 test -s "$work/bus" || fail "the session bus did not start: $(cat "$out/bus.log")"
DBUS_SESSION_BUS_ADDRESS="$(head -n 1 "$work/bus")"
export DBUS_SESSION_BUS_ADDRESS
dbus-monitor --session "type='method_call',interface='org.freedesktop.Notifications',member='Notify'" \
  >"$out/notify.log" 2>&1 &
started+=($!)
dunst >"$out/dunst.log" 2>&1 &
started+=($!)
has_owner() {
  gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.NameHasOwner "$1" 2>/dev/null | grep -q true
}
within 10 has_owner org.freedesktop.Notifications || fail "dunst did not start: $(cat "$out/dunst.log")"
within 10 grep -q NameAcquired "$out/notify.log" || fail "dbus-monitor did not start: $(cat "$out/notify.log")"
trayer --edge top --align right --widthtype request --height 28 >"$out/trayer.log" 2>&1 &
started+=($!)
# The accessibility bus, started before the tray application so that it is seen at once.
gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus --method org.a11y.Bus.GetAddress \
  >/dev/null || fail "no accessibility bus (at-spi2-core)"

# --- Keep online on; the service running; a headless watcher, and a second one that must wait.
flow_skerrin watch on >"$out/watch-on" 2>&1 || fail "watch on: $(cat "$out/watch-on")"
flow_skerrin start >"$out/start" 2>&1 || fail "start: $(cat "$out/start")"
first_connector="$(connector_pid)"
"$SKERRIN" watch </dev/null >"$out/watch1.log" 2>"$out/watch1.err" &
watcher=$!
started+=("$watcher")
within 10 has_event "$out/watch1.log" running || fail "the watcher never saw the service running"
expect "the watcher holds the lock" has_event "$out/watch1.log" watching
"$SKERRIN" watch </dev/null >"$out/watch2.log" 2>"$out/watch2.err" &
second=$!
started+=("$second")
within 10 has_event "$out/watch2.log" waiting || fail "the second watcher did not wait"
expect "the second watcher names the first" \
  grep -qF "Already kept online by another Skerrin (pid $watcher, headless)." <(events "$out/watch2.log" waiting)

# --- The connector dies: offline within a period or so, a notification, and the service back.
kill "$first_connector"
dropped="$(now)"
within 15 has_event "$out/watch1.log" offline || fail "no offline line within 15 s of the drop"
offline_after="$(since "$dropped")"
within 10 notified "Desktop service went offline" || fail "no notification of the drop: $(notifications)"
within 20 has_event "$out/watch1.log" recovered || fail "not recovered within 20 s of going offline"
recovered_after="$(since "$dropped")"
expect "the recovery was announced first" has_event "$out/watch1.log" recovering
expect "the service runs again: $(status_line)" service_running
expect "a new connector runs" test "$(connector_pid)" != "$first_connector"

# --- The tray application over the running service: its icon's tooltip, as the accessibility
# bus gives it once the pointer rests on the icon. The headless watcher keeps the lock.
QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$SKERRIN" </dev/null >"$out/tray.log" 2>&1 &
tray=$!
started+=("$tray")
tray_icon() { # the tray application's window that is on screen and icon-sized (the panel is hidden)
  local window
  for window in $(xdotool search --pid "$tray" 2>/dev/null); do
    xwininfo -id "$window" 2>/dev/null | awk '/Width:/ { w = $2 } /Map State:/ { m = $3 }
      END { exit !(m == "IsViewable" && w <= 64) }' && echo "$window" && return
  done
  return 0
}
icon_shown() { [ -n "$(tray_icon)" ]; }
within 20 icon_shown || fail "the tray icon never showed: $(cat "$out/tray.log")"
icon="$(tray_icon)"
tooltip() {
  "$PYTHON" - "$tray" <<'EOF' 2>/dev/null
import sys, pyatspi
for app in pyatspi.Registry.getDesktop(0):
    if app is None or app.get_process_id() != int(sys.argv[1]):
        continue
    for window in app:
        if window is not None and window.getRole() == pyatspi.ROLE_TOOL_TIP:
            print(window.name.replace("\n", "\\n"))
EOF
}
tooltip_shown() { [ -n "$(tooltip)" ]; }
# Rests the pointer on the icon afresh and reads the tooltip. A shown tooltip keeps its text, and
# one shows only after the pointer moves within the icon, not on entering alone.
tray_reads() {
  xdotool mousemove 640 500
  sleep 0.3
  xdotool mousemove --window "$icon" 10 12
  sleep 0.1
  xdotool mousemove --window "$icon" 11 12
  within 2 tooltip_shown && [ "$(tooltip)" = "$1" ]
}
tray_started="$(now)"
within 5 tray_reads 'Skerrin\nRunning' || fail "the tray does not read Running: $(tooltip)"
tray_running_after="$(since "$tray_started")"

# --- A stop asked for in a shell: the watcher pauses, the tray reads Stopped, and over the next
# looks nothing starts the service again.
flow_skerrin stop >"$out/stop" 2>&1 || fail "stop: $(cat "$out/stop")"
stopped="$(now)"
looks_before="$(looks_by "$watcher")"
within 10 tray_reads 'Skerrin\nStopped' || fail "the tray does not read Stopped: $(tooltip)"
tray_stopped_after="$(since "$stopped")"
within 10 has_event "$out/watch1.log" paused || fail "no paused line after a stop in a shell"
within 20 looked "$watcher" $((looks_before + 3)) || fail "the watcher stopped looking"
expect "nothing recovered the stopped service" test "$(count "$out/watch1.log" recovering)" = 1
expect "the service stays stopped: $(status_line)" service_stopped
stop_pid "$tray"

# --- A start in a shell lifts the pause.
seen_running="$(count "$out/watch1.log" running)"
flow_skerrin start >"$out/start-again" 2>&1 || fail "start again: $(cat "$out/start-again")"
within 10 has_event "$out/watch1.log" resumed || fail "no resumed line after a start in a shell"
within 10 has_event "$out/watch1.log" running "$seen_running" || fail "the watcher did not see the service again"

# --- A start script that always fails: at most three attempts in what is the first five minutes
# unscaled, and the desktop hears that recovery failed.
cat >"$RUNTIME_ROOT/runner/connector_start.sh" <<'EOF'
#!/usr/bin/env bash
echo "cannot start the connector: broken on purpose"
exit 1
EOF
kill "$(connector_pid)"
within 15 has_event "$out/watch1.log" recovering 1 || fail "no recovery attempt after the second drop"
window_start="$(now)"
second_looks="$(looks_by "$second")"
within 15 has_event "$out/watch1.log" recovery-failed || fail "the failed recovery was not reported"
within 10 notified "Desktop service recovery failed" || fail "no notification of the failure: $(notifications)"
sleep "$(awk -v s="$(since "$window_start")" -v p="$period" 'BEGIN { r = 10 * p - s; print (r > 0 ? r : 0) }')"
attempts=$(($(count "$out/watch1.log" recovering) - 1))
expect "2 or 3 attempts in $((10 * period)) s, not $attempts" test "$attempts" -ge 2 -a "$attempts" -le 3
expect "the service is still offline: $(status_line)" service_stopped
# The second watcher saw the service offline all along, and left every recovery to the first.
expect "the second watcher saw the drop" has_event "$out/watch2.log" offline
expect "the second watcher kept looking (half its looks at least)" test "$(looks_by "$second")" -ge $((second_looks + 5))
expect "the second watcher never recovered" test "$(count "$out/watch2.log" recovering)" = 0

# --- The watcher ends on SIGTERM with a last line; nothing is left behind.
kill "$watcher"
status=0
wait "$watcher" || status=$?
expect "the watcher exits 143 on SIGTERM (got $status)" test "$status" = 143
expect "the watcher's last line says it stopped" test "$(tail -n 1 "$out/watch1.log" | cut -f2)" = stopped
stop_everything
expect "processes left behind: $leftovers" test -z "$leftovers"

leaks="$(grep -rlF -- "$token" "$out" "$XDG_CONFIG_HOME" || true)"
expect "relay token appears in: $leaks" test -z "$leaks"

echo "drop: offline after ${offline_after} s, recovered after ${recovered_after} s"
echo "tray: Running after ${tray_running_after} s, Stopped ${tray_stopped_after} s after the stop"
echo "the watcher's lines:"
cat "$out/watch1.log"
echo "keep online passed"
