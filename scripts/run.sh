#!/usr/bin/env bash
# The main job: build the tool and update a module.
#
# With no module attached (no USB serial adapter on this machine), a
# simulated module (kv9sim) is started on a pseudo-terminal and published as
# COM1, the port the tool preselects, and the update runs against it: in the
# desktop window when a display is there (press "Open", then "アップデート"),
# otherwise with kv9flash, which prints the log and exits 0 when the update
# succeeded.
#
#   bash scripts/run.sh           simulated module unless an adapter is plugged in
#   bash scripts/run.sh --sim     always the simulated module
#   bash scripts/run.sh --real    the machine's own ports (kv9update, or kv9flash --auto)
set -euo pipefail
cd "$(dirname "$0")/.."
echo "Building kv9update, kv9flash and kv9sim (the first build takes a few minutes)..." >&2
bash scripts/build.sh kv9update kv9flash kv9sim >/dev/null

mode=auto
case "${1:-}" in
  --sim) mode=sim; shift ;;
  --real) mode=real; shift ;;
esac
if [ "$mode" = auto ]; then
  if compgen -G "/dev/ttyUSB*" >/dev/null || compgen -G "/dev/ttyACM*" >/dev/null; then mode=real; else mode=sim; fi
fi
have_display() { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }

if [ "$mode" = real ]; then
  if have_display; then exec build/app/kv9update "$@"; fi
  exec build/cli/kv9flash --auto "$@"
fi

portdir=$(mktemp -d /tmp/kv9-demo-XXXXXX)
export KV9_PORT_DIR="$portdir"
build/sim/kv9sim --com 1 --pace >"$portdir/kv9sim.log" 2>&1 &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null; rm -rf "$portdir"' EXIT
for _ in $(seq 50); do grep -q "ready on" "$portdir/kv9sim.log" && break; sleep 0.1; done
echo "Simulated module: $(cat "$portdir/kv9sim.log")" >&2

if have_display; then
  build/app/kv9update "$@"
else
  echo "No display: running the update with kv9flash against COM1." >&2
  build/cli/kv9flash --port COM1 "$@"
fi
