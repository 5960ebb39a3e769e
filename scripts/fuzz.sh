#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/, clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) into build-fuzz/ and runs each for SECONDS
# (default 30), starting from its seed corpus fuzz/corpus/<target>/ and the
# inputs of fixed crashes in fuzz/regressions/<target>/. New corpus entries
# go to build-fuzz/corpus/<target>/, not into the repository. A crash or a
# broken invariant fails the run and leaves its input as
# build-fuzz/crashes/<target>-crash-*: once fixed, copy it into
# fuzz/regressions/<target>/, where the ordinary suites replay it.
#
#   bash scripts/fuzz.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
t0=$SECONDS
if [ ! -f build-fuzz/build.ninja ]; then
  cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    "${launcher[@]}" -DKV9_FUZZ=ON -DKV9_BUILD_GUI=OFF -DKV9_BUILD_TESTS=OFF >/dev/null
fi
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  mapfile -t targets < <(sed -n 's/^set(KV9_FUZZ_NAMES \(.*\))$/\1/p' fuzz/targets.cmake | tr ' ' '\n')
fi
build_targets=()
for t in "${targets[@]}"; do build_targets+=(--target "fuzz_$t"); done
cmake --build build-fuzz "${build_targets[@]}"
echo "== fuzz: build took $((SECONDS - t0)) s"

# Longest input worth trying, per target.
max_len() {
  case $1 in
    hex_fields) echo 128 ;;
    boot_replies) echo 300 ;;
    cli_options) echo 256 ;;
    link_replies) echo 1024 ;;
    sim_frames) echo 8192 ;;
    *) echo 4096 ;;
  esac
}

export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
failed=()
mkdir -p build-fuzz/crashes
for t in "${targets[@]}"; do
  t1=$SECONDS
  work=build-fuzz/corpus/$t
  mkdir -p "$work" "fuzz/regressions/$t"
  log=build-fuzz/fuzz_$t.log
  if build-fuzz/fuzz/fuzz_"$t" "$work" "fuzz/corpus/$t" "fuzz/regressions/$t" \
      -max_total_time="$seconds" -max_len="$(max_len "$t")" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="build-fuzz/crashes/$t-" >"$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "== fuzz: $t clean, ${runs:-?} inputs in $((SECONDS - t1)) s"
  else
    echo "== fuzz: $t FAILED after $((SECONDS - t1)) s; its log:"
    tail -n 60 "$log"
    failed+=("$t")
  fi
done
echo "== fuzz: all targets took $((SECONDS - t0)) s"
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: failures in ${failed[*]}; inputs in build-fuzz/crashes/" >&2
  exit 1
fi
