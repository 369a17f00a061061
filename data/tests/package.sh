#!/usr/bin/env bash
# Builds the .deb from the build tree twice into a temporary folder, unpacks it with
# dpkg-deb -x (nothing is installed on the machine) and runs the unpacked skerrin from there.
# Usage: package.sh BUILD_DIR APP_ID
set -euo pipefail
build="$(realpath "$1")"
id="$2"
work="$(mktemp -d "${TMPDIR:-/tmp}/skerrin-package.XXXXXX")"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

for run in 1 2; do # a second build over the first must work and pack the same files
  cpack --config "$build/CPackConfig.cmake" -B "$work/out$run" >"$work/cpack$run.log" 2>&1 ||
    { cat "$work/cpack$run.log" >&2; fail "cpack run $run failed"; }
done
debs=("$work"/out1/skerrin_*.deb)
[ "${#debs[@]}" = 1 ] && [ -f "${debs[0]}" ] || fail "expected one skerrin_*.deb, got: ${debs[*]}"
deb="${debs[0]}"
cmp <(dpkg-deb -I "$deb" md5sums) <(dpkg-deb -I "$work"/out2/skerrin_*.deb md5sums) ||
  fail "the second package's files differ from the first's"

depends="$(dpkg-deb -f "$deb" Depends)"
[[ "$depends" == *libqt6core6* ]] || fail "Depends lacks Qt from dpkg-shlibdeps: '$depends'"
recommends="$(dpkg-deb -f "$deb" Recommends)"
[[ "$recommends" == *fonts-noto-cjk* && "$recommends" == *fonts-wqy-microhei* ]] ||
  fail "Recommends names no Chinese font: '$recommends'"

root="$work/root"
dpkg-deb -x "$deb" "$root"
for doc in doc/skerrin/copyright doc/skerrin/changelog.gz man/man1/skerrin.1.gz; do
  [ -f "$root/usr/share/$doc" ] || fail "no usr/share/$doc"
done
entry="$root/usr/share/applications/$id.desktop"
[ -f "$entry" ] || fail "no desktop entry $id.desktop"
grep -qx "Icon=$id" "$entry" || fail "the entry's Icon is not $id"
grep -qx "StartupWMClass=$id" "$entry" || fail "the entry's StartupWMClass is not $id"
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$id.svg" ] || fail "no scalable icon for Icon=$id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$root/usr/share/metainfo/$id.metainfo.xml" ||
  fail "the metainfo's launchable is not $id.desktop"

grep -qx 'ExecStart="/usr/bin/skerrin" watch' "$root/usr/share/systemd/user/skerrin-watch.service" ||
  fail "the watcher's unit does not start /usr/bin/skerrin watch"

# The tray application and the modules, with every library they need named in Depends.
[ -x "$root/usr/libexec/skerrin/skerrin-tray" ] || fail "no usr/libexec/skerrin/skerrin-tray"
[[ "$depends" == *libqt6widgets6* && "$depends" == *libqt6dbus6* && "$depends" == *libqt6network6* &&
  "$depends" == *libqt6svg6* ]] ||
  fail "Depends lacks the tray's Qt Widgets, the modules' Qt D-Bus or Qt Network, or Qt Svg: '$depends'"
while read -r name entry; do
  module="$root/usr/libexec/skerrin/$name"
  ldd "$module" >"$work/module.ldd" && ! grep -q "not found" "$work/module.ldd" ||
    fail "$name's libraries are not all found: $(cat "$work/module.ldd")"
  nm -D --defined-only "$module" | grep -qw "$entry" || fail "$name has no entry point $entry"
done <<'MODULES'
skerrin-notifications.so skerrinSessionBusNotifier
skerrin-cli.so skerrinCommandLine
skerrin-network.so skerrinQtHttpClient
MODULES

mkdir -p "$work/home/.config"
HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" LANGUAGE=en LC_ALL=C.UTF-8 \
  "$root/usr/bin/skerrin" state --json >"$work/state.json" </dev/null || fail "the packaged skerrin state --json failed"
# The binary inside must be the one this package's version was built with.
node -e '
  const s = JSON.parse(require("fs").readFileSync(process.argv[1], "utf8"));
  if (!String(s.appVersionText).startsWith(process.argv[2] + " ")) process.exit(1);
' "$work/state.json" "$(dpkg-deb -f "$deb" Version)" ||
  fail "the packaged skerrin's state is not JSON of version $(dpkg-deb -f "$deb" Version): $(head -c 300 "$work/state.json")"
echo "package: ok ($(basename "$deb"), $(stat -c %s "$deb") bytes)"
