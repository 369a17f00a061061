#!/usr/bin/env bash
# The tray application idle with its panel hidden, under Xvfb with a real tray host: the CPU time
# it takes over 60 s, and how often its threads wake (poll calls), against the same counts for
# the tray host itself in the same minute.
# Usage: bench/idle_bench.sh SKERRIN_BINARY [SECONDS]
set -euo pipefail
skerrin="$1"
seconds="${2:-60}"
work="$(mktemp -d "${TMPDIR:-/tmp}/skerrin-idle.XXXXXX")"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/run"
export SKERRIN_PLATFORM_BASE_URL=http://127.0.0.1:9
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

display=:$((200 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY="$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
trayer --edge top --align right --widthtype request --height 28 >/dev/null 2>&1 &
tray=$!
pids+=("$tray")
sleep 1
"$skerrin" >"$work/app.log" 2>&1 &
app=$!
pids+=("$app")
sleep 5 # start-up and the first refresh pass are not idling

cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
wakeups() {
  { timeout -s INT "$seconds" strace -f -c -e trace=poll,ppoll -p "$1" 2>&1 >/dev/null || true; } \
    | awk '$NF ~ /^p?poll$/ {sum += $4} END {print sum + 0}'
}
before="$(cpu_ticks "$app")"
started="$(date +%s.%N)"
wakeups "$tray" >"$work/tray.wakeups" &
app_wakeups="$(wakeups "$app")"
wait $! || true
ended="$(date +%s.%N)"
after="$(cpu_ticks "$app")"
ticks="$(getconf CLK_TCK)"
awk -v c=$((after - before)) -v t="$ticks" -v s="$started" -v e="$ended" -v w="$app_wakeups" \
  -v tw="$(cat "$work/tray.wakeups")" 'BEGIN {
    wall = e - s; cpu = c / t
    printf "idle_seconds: %.1f\n", wall
    printf "idle_cpu_seconds: %.2f (%.3f %% of wall; goal <= 0.1 %%)\n", cpu, 100 * cpu / wall
    printf "idle_poll_wakeups: skerrin %d, tray host %d (%.2f per second; the refresh loop runs every 30 s)\n", w, tw, w / wall
  }'
kill -0 "$app" 2>/dev/null || { echo "skerrin ended during the idle minute; its log:" >&2; cat "$work/app.log" >&2; exit 1; }
