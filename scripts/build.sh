#!/usr/bin/env bash
# Configures (once) and builds into build/: every target, or the ones named.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/build.ninja ] || cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
if [ $# -gt 0 ]; then
  targets=()
  for t in "$@"; do targets+=(--target "$t"); done
  cmake --build build "${targets[@]}"
else
  cmake --build build
fi
