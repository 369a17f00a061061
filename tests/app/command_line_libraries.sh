#!/usr/bin/env bash
# `skerrin` loads only the C library before it becomes the tray application or loads the command
# line, and the command line links no GUI library, nor D-Bus: those are the tray application's and
# the notifications module's, loaded only by what needs them.
# Usage: command_line_libraries.sh SKERRIN_BINARY COMMAND_LINE_MODULE
set -euo pipefail
needed() {
  local found
  found="$(readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')"
  [ -n "$found" ] || { echo "FAIL: readelf found no libraries in $1" >&2; exit 1; }
  echo "$found"
}
# The sanitizer build adds its runtimes to every program.
if extra="$(needed "$1" | grep -vE '^(libc\.so\.6|libasan\.so\.[0-9]+|libubsan\.so\.[0-9]+)$')"; then
  echo "FAIL: skerrin links more than the C library: $(tr '\n' ' ' <<<"$extra")" >&2
  exit 1
fi
module="$(needed "$2")"
if banned="$(grep -E 'Qt6(Gui|Widgets|Svg|DBus)|libdbus|libxcb|libX11' <<<"$module")"; then
  echo "FAIL: the command line links $(tr '\n' ' ' <<<"$banned")" >&2
  exit 1
fi
grep -q 'Qt6Core' <<<"$module" || { echo "FAIL: $2 is not the command line: no Qt Core" >&2; exit 1; }
echo "command line libraries: ok (skerrin: $(needed "$1" | wc -l), the command line: $(wc -l <<<"$module"))"
