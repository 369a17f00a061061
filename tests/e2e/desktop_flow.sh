#!/usr/bin/env bash
# The built application through the whole desktop flow against the development platform:
# install, pair, the phone's confirmation, keep online, setup, doctor, stop, unpair, uninstall
# (the last five through Skerrin's own commands).
# Afterwards the relay token must be in no output, and no process may be left behind.
# Usage: desktop_flow.sh SKERRIN_BINARY SOURCE_DIR
set -euo pipefail
SKERRIN="$(realpath "$1")"
SOURCE="$2"

work="$(mktemp -d "${TMPDIR:-/tmp}/skerrin-e2e.XXXXXX")"
out="$work/outputs" # every output of the run, searched for the token at the end
mkdir -p "$out" "$work/home/.config"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" LANGUAGE=en LC_ALL=C.UTF-8
# shellcheck source=tools/dev-platform/flow.sh
source "$SOURCE/tools/dev-platform/flow.sh"
PLATFORM_PID=
platforms=()
connector_pid=

finish() {
  set +e # clean-up goes all the way, whatever fails in it
  [ -f "$RUNTIME_ROOT/state/connector.pid" ] && connector_pid="$(cat "$RUNTIME_ROOT/state/connector.pid")"
  [ -n "$connector_pid" ] && kill "$connector_pid" 2>/dev/null
  for pid in "${platforms[@]}"; do flow_stop_platform "$pid"; done
  rm -rf "$work"
}
trap finish EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
expect() { # description, then a command that must succeed
  "${@:2}" || fail "$1"
}
# A step that must succeed; its output is kept in $out/NAME and shown when it fails.
step() {
  local name="$1"
  shift
  "$@" >"$out/$name" 2>&1 || {
    cat "$out/$name" >&2
    fail "$name exited with status $?"
  }
}
# Skerrin with --json; the state lands in $out/NAME.json, standard error beside it.
skerrin_json() {
  local name="$1"
  shift
  "$SKERRIN" "$@" --json >"$out/$name.json" 2>"$out/$name.err" </dev/null ||
    fail "skerrin $* exited with status $?: $(cat "$out/$name.err")"
}
field() { # file, JavaScript expression on the state `s`
  node -e 'const s = JSON.parse(require("fs").readFileSync(process.argv[1], "utf8")); console.log(eval(process.argv[2]))' "$1" "$2"
}
# The platform's status answer for the relay token stored in a file: "200 seen" once the
# connector has beaten, "200 unseen" before, else the status and the body.
platform_status() {
  node -e '
    const p = require(process.argv[1]);
    const token = require("fs").readFileSync(process.argv[2], "utf8").trim();
    p.platformRequest("GET", p.joinUrl(process.argv[3], "/v1/desktop/runtime/status"), { token }).then((a) =>
      console.log(a.status, a.status === 200 ? (a.body.desktop_pairing.last_seen_at ? "seen" : "unseen") : JSON.stringify(a.body)));
  ' "$SOURCE/tools/reference-runtime/lib/platform.cjs" "$1" "$PLATFORM_URL"
}
# Running, as opposed to ended (gone, or a zombie nobody has reaped yet).
alive() {
  [ -r "/proc/$1/status" ] && ! grep -q '^State:[[:space:]]*Z' "/proc/$1/status"
}
ended() { ! alive "$1"; }

flow_start_platform "$out/platform.log"
platforms+=("$PLATFORM_PID")
flow_use_platform "$PLATFORM_URL"

# Install: the archive the manifest names, checked against its digest, is a runtime Skerrin accepts.
step install flow_install
skerrin_json installed refresh
expect "installed runtime is Skerrin's runtime root" test "$(field "$out/installed.json" s.runtimeRoot)" = "$RUNTIME_ROOT"
expect "installed runtime reports Stopped" test "$(field "$out/installed.json" s.statusSummary)" = Stopped

# Two desktops pairing at once get their own codes. The second is another user's standard runtime.
second_home="$work/home2"
second="$second_home/.brevant/brevant-runtime"
mkdir -p "$second_home/.config" "$(dirname "$second")"
cp -R "$RUNTIME_ROOT" "$second"
as_second() { (HOME="$second_home" XDG_CONFIG_HOME="$second_home/.config" RUNTIME_ROOT="$second" "$@"); }
flow_pair_start >"$out/pair-start" 2>&1 &
first_start=$!
as_second flow_pair_start >"$out/pair-start-second" 2>&1 || fail "second pairing start: $(cat "$out/pair-start-second")"
wait "$first_start" || fail "pairing start: $(cat "$out/pair-start")"
code="$(flow_session_value setup_code)"
second_code="$(RUNTIME_ROOT="$second" flow_session_value setup_code)"
expect "two pairings got distinct codes ($code, $second_code)" test -n "$code" -a "$code" != "$second_code"

# Interrupted while waiting for the phone: the wait is cancelled, the state printed, 130, and no
# pairing script is left running.
HOME="$second_home" XDG_CONFIG_HOME="$second_home/.config" "$SKERRIN" finish-pairing --json >"$out/interrupted.json" 2>"$out/interrupted.err" </dev/null &
waiting=$!
for _ in $(seq 50); do
  pgrep -f -- "$second/scripts/desktop-pairing.mjs" >/dev/null && break
  sleep 0.1
done
kill -INT "$waiting"
status=0
wait "$waiting" || status=$?
expect "interrupted wait exits 130 (got $status)" test "$status" = 130
expect "interrupted wait says so" test "$(field "$out/interrupted.json" s.transientMessage)" = "Action cancelled."
expect "no pairing script outlives the interrupted wait" \
  test -z "$(pgrep -f -- "$second/scripts/desktop-pairing.mjs" || true)"

# Skerrin shows the pending session, and its QR image really scans to what the phone needs.
skerrin_json pending refresh
expect "Skerrin shows the setup code" test "$(field "$out/pending.json" s.pairingSession?.setupCode)" = "$code"
qr="$(field "$out/pending.json" s.pairingSession?.qrPath)"
expect "QR image decodes to the pairing link" \
  test "$(zbarimg --quiet --raw "$qr" 2>/dev/null)" = "$(flow_session_value pairing_url)"

# The phone confirms once; a second confirmation of the same code is refused.
step confirm flow_phone_confirm "$code"
if flow_phone_confirm "$code" >"$out/confirm-again" 2>&1; then fail "a second confirmation was accepted"; fi
expect "second confirmation names the reason" grep -q "already confirmed" "$out/confirm-again"

step pair-wait flow_pair_wait
expect "pairing wrote the platform address" test "$(flow_env_value PLATFORM_BASE_URL)" = "$PLATFORM_URL"
expect "pairing wrote the relay address" test "$(flow_env_value RELAY_BASE_URL)" = "$PLATFORM_URL/relay"
expect "pairing wrote the workspace" test "$(flow_env_value CONNECTOR_WORKSPACE)" = main
expect "pairing removed the session file and QR image" \
  test ! -e "$RUNTIME_ROOT/state/pairing/desktop_pairing_session.json" -a ! -e "$qr"
# Kept out of every output: only files hold it.
flow_env_value RELAY_TOKEN >"$work/token"
token="$(cat "$work/token")"
expect "pairing wrote a relay token" test -n "$token"

# Keep online: the connector runs and beats with the token; the platform knows the phone.
skerrin_json online keep-online
expect "service is Running" test "$(field "$out/online.json" s.statusSummary)" = Running
expect "phone summary" test "$(field "$out/online.json" s.currentPhoneSummary)" = "Demo Phone • iOS • 2.1.0"
expect "pairing summary" test "$(field "$out/online.json" s.currentPairingSummary)" = "$(node -p 'require("os").hostname()') • main"
connector_pid="$(cat "$RUNTIME_ROOT/state/connector.pid")"
expect "connector process is alive" alive "$connector_pid"
for _ in $(seq 50); do
  [ "$(platform_status "$work/token")" = "200 seen" ] && break
  sleep 0.1
done
expect "the connector's heartbeat reached the platform" test "$(platform_status "$work/token")" = "200 seen"
echo wrong-token >"$work/wrong-token"
expect "an unknown token gets 401 {\"ok\":false}" test "$(platform_status "$work/wrong-token")" = '401 {"ok":false}'

skerrin_json setup setup
expect "desktop setup completed" test "$(field "$out/setup.json" s.transientMessage)" = "Desktop setup completed."
skerrin_json doctor doctor
expect "doctor found the platform" grep -q "^ok    platform reachable" <(field "$out/doctor.json" s.latestActionOutput)

skerrin_json stopped stop
expect "service is stopped" test "$(field "$out/stopped.json" s.isRunning)" = false
expect "connector process has ended" ended "$connector_pid"
cp "$RUNTIME_ROOT/state/connector.log" "$out/connector.log"

# Unpair: revoked at the platform, gone from the env file, and Skerrin sees it.
skerrin_json unpair unpair
expect "Skerrin says the pairing is removed" test "$(field "$out/unpair.json" s.transientMessage)" = "Current desktop pairing removed."
expect "the token no longer works at the platform" test "$(platform_status "$work/token" | cut -c1-3)" = 401
expect "token and workspace left the env file" test -z "$(flow_env_value RELAY_TOKEN)$(flow_env_value CONNECTOR_WORKSPACE)"
skerrin_json unpaired refresh
expect "Skerrin sees no pairing" test "$(field "$out/unpaired.json" s.isPairingConfigured)" = false

# An expired code ends the wait with one clear line and a failure status.
main_url="$PLATFORM_URL"
main_pid="$PLATFORM_PID"
flow_start_platform "$out/short-platform.log" --code-ttl 1
platforms+=("$PLATFORM_PID")
short() { SKERRIN_PLATFORM_BASE_URL="$PLATFORM_URL" as_second "$@"; }
step short-start short flow_pair_start
if short flow_pair_wait >"$out/expired" 2>&1; then fail "a wait on an expired code succeeded"; fi
expect "expired code: the message says so" grep -q "^Message: .*expired" "$out/expired"
flow_stop_platform "$PLATFORM_PID"
expect "the second platform has ended" ended "$PLATFORM_PID"
PLATFORM_PID="$main_pid" PLATFORM_URL="$main_url"

# Uninstall removes the runtime but never the application.
skerrin_json uninstall uninstall
expect "runtime folder removed" test ! -e "$RUNTIME_ROOT"
expect "the application is left in place" test -x "$SKERRIN"
expect "uninstall says what it left at the application's path" grep -qF "$SKERRIN" <(field "$out/uninstall.json" s.latestActionOutput)
expect "Skerrin forgot the runtime" test -z "$(field "$out/uninstall.json" s.runtimeRoot)"
skerrin_json after-uninstall state
expect "Skerrin finds no runtime" test "$(field "$out/after-uninstall.json" s.statusSummary)" = "Not configured"

flow_stop_platform "$PLATFORM_PID"
expect "the platform has ended" ended "$PLATFORM_PID"
PLATFORM_PID=

# Nowhere in what was printed or logged, nor in Skerrin's settings.
leaks="$(grep -rlF -- "$token" "$out" "$XDG_CONFIG_HOME" || true)"
expect "relay token appears in: $leaks" test -z "$leaks"
echo "desktop flow passed"
