#!/usr/bin/env bash
# Cross-builds the Windows programs into build-windows/: kv9core, the window
# kv9update.exe (Win32, win32/), kv9flash.exe and the Windows test suites,
# with Debian's mingw-w64 (installed by scripts/install-deps.sh), and then
# the setup program kv9update-<version>-setup.exe (make-windows-setup.sh,
# with makensis) when the whole build was asked for. GoogleTest is built
# first from Debian's googletest source package, with the same compiler.
# No Qt, no simulator.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build-windows
toolchain=$root/cmake/mingw-w64-x86_64.cmake
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi

gtest=$out/googletest
if [ ! -f "$gtest/install/lib/cmake/GTest/GTestConfig.cmake" ]; then
  cmake -S /usr/src/googletest -B "$gtest/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DINSTALL_GTEST=ON -Dgtest_disable_pthreads=OFF \
    -DCMAKE_INSTALL_PREFIX="$gtest/install" "${launcher[@]}" >/dev/null
  cmake --build "$gtest/build"
  cmake --install "$gtest/build" >/dev/null
fi

[ -f "$out/build.ninja" ] || cmake -S . -B "$out" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKV9_BUILD_GUI=OFF -DKV9_TEST_DIRS="shared;windows" \
  -DCMAKE_PREFIX_PATH="$gtest/install" -DGTest_DIR="$gtest/install/lib/cmake/GTest" "${launcher[@]}"
cmake --build "$out" "$@"
# Arguments name single targets; the setup program needs both programs.
if [ $# -eq 0 ]; then
  if command -v makensis >/dev/null; then
    bash scripts/make-windows-setup.sh
  else
    echo "build-windows: makensis is missing (package nsis): no setup program"
  fi
fi
