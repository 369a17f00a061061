#!/usr/bin/env bash
# `skerrin install` of a 50 MB archive of incompressible content served from loopback, against a
# baseline in the same run: curl to a file, sha256sum and tar -xzf of the same archive. Prints the
# median wall-time ratio, and the peak resident memory of `skerrin install` with the 50 MB archive
# minus that with a 1 MB one.
# Usage: install_bench.sh SKERRIN_BINARY SOURCE_DIR [ROUNDS]
set -euo pipefail
SKERRIN="$(realpath "$1")"
SOURCE="$(realpath "$2")"
ROUNDS="${3:-5}"
work="$(mktemp -d "${TMPDIR:-/tmp}/skerrin-install-bench.XXXXXX")"
server_pid=
finish() {
  # The server ends by SIGTERM: its status (143) must not become the benchmark's.
  if [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null; then wait "$server_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap finish EXIT
mkdir -p "$work/serve"

# A static file server on a free loopback port.
node -e '
  const http = require("http"), fs = require("fs"), path = require("path");
  const server = http.createServer((req, res) => {
    const file = path.join(process.argv[1], path.basename(req.url));
    fs.stat(file, (error, stat) => {
      if (error) { res.writeHead(404); res.end(); return; }
      res.writeHead(200, { "Content-Length": stat.size });
      fs.createReadStream(file).pipe(res);
    });
  });
  server.listen(0, "127.0.0.1", () => console.log(server.address().port));
' "$work/serve" >"$work/port" </dev/null &
server_pid=$!
for _ in $(seq 50); do [ -s "$work/port" ] && break; sleep 0.1; done
base="http://127.0.0.1:$(cat "$work/port")"

# The reference runtime plus MiB of random bytes, and a manifest naming it with its digest.
make_archive() {
  local mib="$1" dir="$work/src-$1"
  mkdir -p "$dir"
  cp -R "$SOURCE/tools/reference-runtime" "$dir/brevant-runtime"
  head -c "${mib}M" /dev/urandom >"$dir/brevant-runtime/payload.bin"
  tar -czf "$work/serve/rt-$mib.tar.gz" -C "$dir" brevant-runtime
  printf '{"tarball_url":"%s/rt-%s.tar.gz","sha256_tar_gz":"%s"}' "$base" "$mib" \
    "$(sha256sum "$work/serve/rt-$mib.tar.gz" | cut -d' ' -f1)" >"$work/serve/manifest-$mib.json"
}
make_archive 1
make_archive 50

# Wall seconds and peak KiB of `skerrin install` in a fresh home.
skerrin_install() {
  rm -rf "${work:?}/home"
  mkdir -p "$work/home/.config"
  HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" SKERRIN_MANIFEST_URL="$base/manifest-$1.json" \
    SKERRIN_PLATFORM_BASE_URL="$base" SKERRIN_CHATGPT_URL="$base/chat" \
    /usr/bin/time -f '%e %M' -o "$work/time" "$SKERRIN" install </dev/null >"$work/out" 2>&1
  grep -q '^Message: Desktop runtime installed.$' "$work/out" || { cat "$work/out" >&2; exit 1; }
  cat "$work/time"
}
baseline() {
  rm -rf "$work/plain" && mkdir -p "$work/plain"
  # shellcheck disable=SC2016 # expanded by the inner bash
  /usr/bin/time -f '%e %M' -o "$work/time" bash -c \
    'curl -sSf -o "$2/rt.tar.gz" "$1" && sha256sum "$2/rt.tar.gz" >/dev/null && tar -xzf "$2/rt.tar.gz" -C "$2"' \
    bash "$base/rt-50.tar.gz" "$work/plain"
  cat "$work/time"
}
median() { sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

for _ in $(seq "$ROUNDS"); do # interleaved, so drift on a shared machine hits both alike
  skerrin_install 50 >>"$work/skerrin-50"
  baseline >>"$work/baseline"
  skerrin_install 1 >>"$work/skerrin-1"
done
s_wall="$(cut -d' ' -f1 "$work/skerrin-50" | median)"
b_wall="$(cut -d' ' -f1 "$work/baseline" | median)"
m50="$(cut -d' ' -f2 "$work/skerrin-50" | median)"
m1="$(cut -d' ' -f2 "$work/skerrin-1" | median)"
printf 'install 50 MB: skerrin %.2f s, curl + sha256sum + tar %.2f s, median ratio %.2f (aim <= 1.2)\n' \
  "$s_wall" "$b_wall" "$(awk -v a="$s_wall" -v b="$b_wall" 'BEGIN { print a / b }')"
printf 'peak memory: 50 MB archive %d KiB, 1 MB archive %d KiB, difference %.1f MiB (aim <= 8)\n' \
  "$m50" "$m1" "$(awk -v a="$m50" -v b="$m1" 'BEGIN { print (a - b) / 1024 }')"
