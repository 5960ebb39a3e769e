#!/usr/bin/env bash
# Builds and runs every test (GoogleTest suites, Qt Test suites on the
# offscreen platform, end-to-end runs against the simulated module).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
ctest --test-dir build --output-on-failure -j "$(nproc)"
