#!/usr/bin/env bash
# The tray application idle with its panel hidden, under Xvfb with a real tray host, twice: with
# keeping online off and no runtime, and with keeping online on over a started copy of the
# reference runtime, so that each 30 s pass runs the runtime's real status script. For each run:
# the CPU time it takes over SECONDS (its own, and its children's: the status scripts), and how
# often its threads wake (poll calls), against the same count for the tray host in the same span.
# Then its resident memory 12 s after start, its panel never opened, against a minimal tray
# application (an icon with a two-entry menu) started beside it under the same tray host.
# Usage: bench/idle_bench.sh SKERRIN_BINARY [SECONDS] [MINIMAL_TRAY_BINARY]
set -euo pipefail
skerrin="$(realpath "$1")"
seconds="${2:-60}"
minimal_tray="$(realpath "${3:-$(dirname "$skerrin")/../bench/minimal_tray}")"
reference_runtime="$(cd "$(dirname "$0")/.." && pwd)/tools/reference-runtime"
work="$(mktemp -d "${TMPDIR:-/tmp}/skerrin-idle.XXXXXX")"
export SKERRIN_PLATFORM_BASE_URL=http://127.0.0.1:9
pids=()
connectors=()
cleanup() {
  for pid in "${pids[@]}" "${connectors[@]}"; do kill "$pid" 2>/dev/null || true; done
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

ticks="$(getconf CLK_TCK)"
own_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
child_ticks() { awk '{print $16 + $17}' "/proc/$1/stat"; } # children it has waited for
wakeups() {
  { timeout -s INT "$seconds" strace -f -c -e trace=poll,ppoll -p "$1" 2>&1 >/dev/null || true; } \
    | awk '$NF ~ /^p?poll$/ {sum += $4} END {print sum + 0}'
}

# One idle span in a home of its own; leaves "wall own_cpu children_cpu app_wakeups host_wakeups"
# in the variable named by NAME.
idle_run() {
  local name="$1" watching="$2" home="$work/$1" app before_own before_child started ended app_wakeups
  mkdir -p "$home/.config" "$home/run"
  chmod 700 "$home/run"
  export HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$home/run"
  if [ "$watching" = on ]; then
    mkdir -p "$home/.brevant"
    cp -R "$reference_runtime" "$home/.brevant/brevant-runtime"
    rm -rf "$home/.brevant/brevant-runtime/state" "$home/.brevant/brevant-runtime/config/.env"
    "$skerrin" watch on </dev/null >"$work/$name-watch.log" 2>&1
    "$skerrin" start </dev/null >"$work/$name-start.log" 2>&1
    connectors+=("$(cat "$home/.brevant/brevant-runtime/state/connector.pid")")
  fi
  "$skerrin" </dev/null >"$work/$name-app.log" 2>&1 &
  app=$!
  pids+=("$app")
  sleep 5 # start-up and the first refresh pass are not idling

  before_own="$(own_ticks "$app")"
  before_child="$(child_ticks "$app")"
  started="$(date +%s.%N)"
  wakeups "$tray" >"$work/$name-tray.wakeups" &
  app_wakeups="$(wakeups "$app")"
  wait $! || true
  ended="$(date +%s.%N)"
  if ! kill -0 "$app" 2>/dev/null; then
    echo "skerrin ended during the idle span ($name); its log:" >&2
    cat "$work/$name-app.log" >&2
    exit 1
  fi
  printf -v "$name" '%s' "$(awk -v s="$started" -v e="$ended" -v t="$ticks" \
    -v o="$(($(own_ticks "$app") - before_own))" -v c="$(($(child_ticks "$app") - before_child))" \
    -v w="$app_wakeups" -v tw="$(cat "$work/$name-tray.wakeups")" \
    'BEGIN { printf "%.2f %.3f %.3f %d %d", e - s, o / t, c / t, w, tw }')"
  kill "$app"
  wait "$app" 2>/dev/null || true
  if [ "$watching" = on ]; then "$skerrin" stop </dev/null >"$work/$name-stop.log" 2>&1 || true; fi
}

idle_run off off
idle_run on on
# shellcheck disable=SC2154 # both set by idle_run
awk -v off="$off" -v on="$on" 'BEGIN {
    split(off, a, " "); split(on, b, " ")
    printf "idle_seconds: %.1f (keep online off), %.1f (keep online on)\n", a[1], b[1]
    printf "idle_cpu_seconds: off %.2f (%.3f %% of wall; goal <= 0.1 %%), on %.2f (%.3f %%) + status scripts %.2f (%.3f %%)\n",
      a[2], 100 * a[2] / a[1], b[2], 100 * b[2] / b[1], b[3], 100 * b[3] / b[1]
    printf "idle_poll_wakeups_per_minute: off %.1f, on %.1f; tray host %.1f, %.1f (a pass every 30 s)\n",
      60 * a[4] / a[1], 60 * b[4] / b[1], 60 * a[5] / a[1], 60 * b[5] / b[1]
  }'

# Resident memory after 12 s: Skerrin and the minimal tray application side by side, median of 3.
rss_kib() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status"; }
export HOME="$work/memory" XDG_CONFIG_HOME="$work/memory/.config" XDG_RUNTIME_DIR="$work/memory/run"
mkdir -p "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
app_rss=() floor_rss=()
for _ in 1 2 3; do
  "$skerrin" </dev/null >>"$work/memory-app.log" 2>&1 &
  app=$!
  "$minimal_tray" </dev/null >>"$work/memory-floor.log" 2>&1 &
  floor=$!
  pids+=("$app" "$floor")
  sleep 12
  app_rss+=("$(rss_kib "$app")")
  floor_rss+=("$(rss_kib "$floor")")
  kill "$app" "$floor"
  wait "$app" "$floor" 2>/dev/null || true
done
median3() { printf '%s\n' "$@" | sort -n | sed -n 2p; }
awk -v a="$(median3 "${app_rss[@]}")" -v f="$(median3 "${floor_rss[@]}")" 'BEGIN {
    printf "idle_tray_rss_kib: skerrin %d, minimal tray %d; ratio %.2f (goal <= 1.3)\n", a, f, a / f
  }'
