#!/usr/bin/env bash
# What each program loads at start. `skerrin` loads only the C library before it becomes the tray
# application or loads the command line. The command line links no GUI library, nor D-Bus: those
# are the tray application's and the notifications module's. Neither the command line nor the tray
# application links Qt Network or Qt Svg: HTTP is the network module's, loaded with the first
# request, and SVG pictures load Qt Svg through its image plugin when first drawn.
# Usage: program_libraries.sh SKERRIN COMMAND_LINE_MODULE TRAY_APPLICATION
set -euo pipefail
needed() {
  local found
  found="$(readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')"
  [ -n "$found" ] || { echo "FAIL: readelf found no libraries in $1" >&2; exit 1; }
  echo "$found"
}
refuse() { # what, libraries, pattern
  local banned
  if banned="$(grep -E "$3" <<<"$2")"; then
    echo "FAIL: $1 links $(tr '\n' ' ' <<<"$banned")" >&2
    exit 1
  fi
}
# The sanitizer build adds its runtimes to every program.
refuse skerrin "$(needed "$1" | grep -vE '^(libc\.so\.6|libasan\.so\.[0-9]+|libubsan\.so\.[0-9]+)$' || true)" '.'
module="$(needed "$2")"
grep -q 'Qt6Core' <<<"$module" || { echo "FAIL: $2 is not the command line: no Qt Core" >&2; exit 1; }
refuse "the command line" "$module" 'Qt6(Gui|Widgets|Svg|DBus|Network)|QCoro6Network|libdbus|libxcb|libX11'
tray="$(needed "$3")"
grep -q 'Qt6Widgets' <<<"$tray" || { echo "FAIL: $3 is not the tray application: no Qt Widgets" >&2; exit 1; }
refuse "the tray application" "$tray" 'Qt6(Svg|Network)|QCoro6Network'
echo "program libraries: ok (skerrin: $(needed "$1" | wc -l), the command line: $(wc -l <<<"$module"), the tray: $(wc -l <<<"$tray"))"
