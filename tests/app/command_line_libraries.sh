#!/usr/bin/env bash
# The command line links no GUI library, nor D-Bus: those are the tray application's and the
# notifications module's, loaded only by what needs them.
# Usage: command_line_libraries.sh SKERRIN_BINARY
set -euo pipefail
needed="$(readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')"
[ -n "$needed" ] || { echo "FAIL: readelf found no libraries in $1" >&2; exit 1; }
if banned="$(grep -E 'Qt6(Gui|Widgets|Svg|DBus)|libdbus|libxcb|libX11' <<<"$needed")"; then
  echo "FAIL: skerrin links $(tr '\n' ' ' <<<"$banned")" >&2
  exit 1
fi
echo "command line libraries: ok ($(wc -l <<<"$needed") libraries)"
