#!/usr/bin/env bash
# The main job: builds the tool and starts the desktop window. Without a
# display it says so and shows how to run it under a virtual one.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "kv9update needs a display, and this machine has none."
  echo "Run it under a virtual display:  xvfb-run -a build/app/kv9update"
  echo "or without any display at all:   QT_QPA_PLATFORM=offscreen build/app/kv9update"
  exit 0
fi
exec build/app/kv9update "$@"
