# shellcheck shell=bash
# SPDX-License-Identifier: MIT
# Real tray hosts to run Skerrin under, shared by script/try-tray-hosts and script/screenshots:
#   - X11 on Xvfb: openbox as the window manager, trayer (XEmbed) or xfce4-panel's Status Tray
#     (StatusNotifierItem) on a session bus of its own, as a 30 px bar along the top;
#   - Wayland: sway headless with waybar's tray, all run as the unprivileged user nobody, since sway
#     refuses root.
# Source it with HOSTS_WORK set to a scratch folder. hosts_stop ends everything started here, last
# first; call it from the caller's EXIT trap.

# The Debian packages beyond script/bootstrap's list.
# shellcheck disable=SC2034 # read by the scripts that source this file
HOSTS_PACKAGES=(openbox xfce4-panel sway waybar grim qt6-wayland)
HOSTS_BAR=30 # every bar here is this tall, along the top
HOSTS_PIDS=()
HOSTS_BUS_PIDS=() # files holding a forked session bus's pid

hosts_wait() { # tenths of a second, command...
  local tenths="$1"
  shift
  for _ in $(seq "$tenths"); do "$@" && return 0; sleep 0.1; done
  return 1
}

# hosts_start NAME command...: a host process in the background, its output in HOSTS_WORK/NAME.log;
# its pid in HOSTS_PID.
hosts_start() {
  local name="$1"
  shift
  "$@" >>"$HOSTS_WORK/$name.log" 2>&1 &
  HOSTS_PID=$!
  HOSTS_PIDS+=("$HOSTS_PID")
}

hosts_stop() {
  local i file
  for ((i = ${#HOSTS_PIDS[@]} - 1; i >= 0; i--)); do kill "${HOSTS_PIDS[i]}" 2>/dev/null; done
  for i in "${HOSTS_PIDS[@]}"; do wait "$i" 2>/dev/null; done
  for file in "${HOSTS_BUS_PIDS[@]}"; do [ -f "$file" ] && kill "$(cat "$file")" 2>/dev/null; done
  HOSTS_PIDS=() HOSTS_BUS_PIDS=()
  return 0
}

# Builds Skerrin with the CMake preset $1 (`skerrin` builds what it starts and loads); prints the
# program's path.
hosts_build_skerrin() {
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" --target skerrin -j "$(nproc)" >&2
  echo "$PWD/build/$1/src/skerrin"
}

# Skerrin where any user may run it: the program and what ships beside it (the tray application,
# the command line's, the network and the notifications modules; beside it in a build tree, in
# libexec/skerrin/ once installed), laid out the same way. Prints the copy's path.
hosts_copy_skerrin() { # skerrin, folder
  local dir="$2" from companion
  from="$(dirname "$1")"
  mkdir -p "$dir"
  chmod 755 "$dir"
  install -m 755 "$1" "$dir/skerrin"
  for companion in skerrin-tray skerrin-cli.so skerrin-network.so skerrin-notifications.so; do
    if [ -f "$from/$companion" ]; then install -m 755 "$from/$companion" "$dir/$companion"; fi
    if [ -f "$from/../libexec/skerrin/$companion" ]; then
      install -D -m 755 "$from/../libexec/skerrin/$companion" "$dir/../libexec/skerrin/$companion"
      chmod 755 "$dir/../libexec" "$dir/../libexec/skerrin"
    fi
  done
  echo "$dir/skerrin"
}

# --- X11 -------------------------------------------------------------------------------------------

# An X display of its own, WIDTHxHEIGHT; exports DISPLAY.
hosts_start_xvfb() {
  local display=":$((90 + RANDOM % 100))"
  hosts_start xvfb Xvfb "$display" -screen 0 "${1}x24" -nolisten tcp
  export DISPLAY="$display"
  hosts_wait 50 xdpyinfo >/dev/null 2>&1
}

# A window manager: dialogs get their frames, focus moves as on a desktop, and a bar's strut keeps
# other windows out of the bar (the work area), as a desktop's own window manager does.
hosts_start_wm() {
  hosts_start openbox openbox --sm-disable
  sleep 0.5
}

hosts_start_trayer() {
  hosts_start trayer trayer --edge top --align right --widthtype request --height "$HOSTS_BAR" \
    --SetDockType true --transparent false --tint 0x202020 --distance 0
}

# A session bus of its own, for the D-Bus tray; exports DBUS_SESSION_BUS_ADDRESS. The environment
# is the one the bus starts services in (xfconfd reads the panel's settings from XDG_CONFIG_HOME).
hosts_start_session_bus() {
  local pid_file="$HOSTS_WORK/bus-${#HOSTS_BUS_PIDS[@]}.pid"
  HOSTS_BUS_PIDS+=("$pid_file")
  DBUS_SESSION_BUS_ADDRESS="$(dbus-daemon --session --fork --print-address=1 --print-pid=3 3>"$pid_file")"
  export DBUS_SESSION_BUS_ADDRESS
}

# xfce4-panel's settings in the config home $1: one 30 px bar along the top, a spacer, then the
# Status Tray at the right end.
hosts_xfce4_panel_config() {
  mkdir -p "$1/xfce4/xfconf/xfce-perchannel-xml"
  cat >"$1/xfce4/xfconf/xfce-perchannel-xml/xfce4-panel.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="$HOSTS_BAR"/>
      <property name="plugin-ids" type="array"><value type="int" value="1"/><value type="int" value="2"/></property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="separator"><property name="expand" type="bool" value="true"/></property>
    <property name="plugin-2" type="string" value="systray"/>
  </property>
</channel>
XML
}

# xfce4-panel on the current display and session bus, which must have been started with the
# panel's settings in their XDG_CONFIG_HOME; its pid in HOSTS_PANEL_PID.
hosts_start_xfce4_panel() {
  hosts_start xfce4-panel xfce4-panel --disable-wm-check
  HOSTS_PANEL_PID=$HOSTS_PID
}

# Where the Status Tray shows the one icon it has: the right end of the bar.
hosts_xfce4_icon() { # prints "x y"
  local width
  width="$(xdpyinfo | sed -n 's/.*dimensions: *\([0-9]*\)x.*/\1/p')"
  echo "$((width - 11)) $((HOSTS_BAR / 2))"
}

# The session bus's StatusNotifierItems, one bus name a line; a command to run dbus-send through
# (hosts_as_nobody) may come first.
hosts_sni_items() {
  "$@" dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
    org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher \
    string:RegisteredStatusNotifierItems 2>/dev/null | grep -o 'org.kde.StatusNotifierItem-[0-9-]*' || true
}
hosts_sni_registered() { hosts_sni_items | grep -q "StatusNotifierItem-$1-"; } # pid
# Whether a host has registered with the watcher: an application started before that opens as a
# window. A command to run dbus-send through may come first.
hosts_sni_host_ready() {
  "$@" dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
    org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher \
    string:IsStatusNotifierHostRegistered 2>/dev/null | grep -q 'boolean true'
}
hosts_no_watcher() {
  ! dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
    org.freedesktop.DBus.Peer.Ping >/dev/null 2>&1
}

# --- Wayland: sway and waybar as nobody ------------------------------------------------------------

# Sway's and waybar's settings and a runtime folder under $1, all the user nobody's; sets
# HOSTS_SWAY (the folder) and HOSTS_NOBODY, the start of a command line that runs as nobody in that
# session: "${HOSTS_NOBODY[@]}" [VAR=value...] command... (a plain exec, so that a background
# command's pid is the process's own). Files to hand nobody go into $HOSTS_SWAY/home before
# hosts_start_sway. No accessibility bus: it would be started on demand and outlive the session bus.
hosts_prepare_sway() {
  HOSTS_SWAY="$1"
  mkdir -p "$HOSTS_SWAY/home/.config/sway" "$HOSTS_SWAY/home/.config/waybar" "$HOSTS_SWAY/run"
  echo 'output HEADLESS-1 resolution 1366x768' >"$HOSTS_SWAY/home/.config/sway/config"
  printf '{ "position": "top", "height": %s, "modules-right": ["tray"], "tray": { "icon-size": 20 } }\n' \
    "$HOSTS_BAR" >"$HOSTS_SWAY/home/.config/waybar/config"
  HOSTS_NOBODY=(env -i PATH="$PATH" HOME="$HOSTS_SWAY/home" XDG_CONFIG_HOME="$HOSTS_SWAY/home/.config"
    XDG_RUNTIME_DIR="$HOSTS_SWAY/run" DBUS_SESSION_BUS_ADDRESS="unix:path=$HOSTS_SWAY/run/bus"
    WAYLAND_DISPLAY=wayland-1 QT_ACCESSIBILITY=0 NO_AT_BRIDGE=1
    setpriv --reuid=nobody --regid=nogroup --clear-groups env)
}
hosts_as_nobody() { "${HOSTS_NOBODY[@]}" "$@"; }

# The session bus and sway, as nobody; the folders above the sway folder must let nobody through.
hosts_start_sway() {
  chown -R nobody:nogroup "$HOSTS_SWAY"
  chmod 700 "$HOSTS_SWAY/run"
  HOSTS_BUS_PIDS+=("$HOSTS_SWAY/run/bus.pid")
  hosts_as_nobody sh -c "dbus-daemon --session --fork --address=unix:path=$HOSTS_SWAY/run/bus --print-pid=1 >$HOSTS_SWAY/run/bus.pid"
  hosts_start sway "${HOSTS_NOBODY[@]}" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman sway
  hosts_wait 100 test -S "$HOSTS_SWAY/run/wayland-1"
}
hosts_start_waybar() { hosts_start waybar "${HOSTS_NOBODY[@]}" waybar; }

# A command as nobody with sway's IPC socket (swaymsg, grim).
hosts_in_sway() {
  local sockets=("$HOSTS_SWAY"/run/sway-ipc.*.sock)
  hosts_as_nobody SWAYSOCK="${sockets[0]}" "$@"
}
hosts_sway_item() { hosts_sni_items hosts_as_nobody | head -n 1; }
hosts_sway_has_item() { [ -n "$(hosts_sway_item)" ]; }
hosts_sway_host_ready() { hosts_sni_host_ready hosts_as_nobody; }
# The item as waybar activates it, with where the click was (its icon at the bar's right end).
hosts_sway_activate() { # item's bus name
  hosts_as_nobody dbus-send --session --print-reply --dest="$1" /StatusNotifierItem \
    org.kde.StatusNotifierItem.Activate int32:1350 int32:"$((HOSTS_BAR / 2))" >/dev/null
}
# How many windows Skerrin has on sway's outputs.
hosts_sway_skerrin_windows() { hosts_in_sway swaymsg -t get_tree | grep -c '"app_id": "app.brevant.Skerrin"' || true; }
# The whole output as a PNG at $1.
hosts_sway_grim() {
  hosts_in_sway grim "$HOSTS_SWAY/run/shot.png" && cp "$HOSTS_SWAY/run/shot.png" "$1"
}
