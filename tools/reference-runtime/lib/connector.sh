# Sourced by the runner scripts: whether the connector with a given pid is alive.
#
# kill -0 alone is not enough. Where nothing reaps orphans (PID 1 in some containers does not), a
# connector that was killed stays a zombie, and kill -0 still succeeds for it forever.
connector_alive() {
  local pid="$1" stat
  case "$pid" in '' | *[!0-9]*) return 1 ;; esac
  kill -0 "$pid" 2>/dev/null || return 1
  # Without /proc (not Linux) kill -0 has the last word.
  stat="$(cat "/proc/$pid/stat" 2>/dev/null)" || return 0
  # The state follows the command name, which may itself hold spaces and parentheses.
  stat="${stat##*) }"
  case "${stat%% *}" in Z | X) return 1 ;; esac
  return 0
}
