#!/usr/bin/env bash
# Builds the Debian package of the tool (kv9update, kv9flash, kv9sim with
# their desktop entry, icon, metainfo and manual pages) and puts the .deb
# into build/. The build has its own folder, build-package/ (Release, GUI on,
# tests off), so it never disturbs the configuration in build/.
#
#   bash scripts/package.sh          prints the path of the .deb last
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS

# Debian's own compiler and linker flags, so that the programs carry the
# hardening every Debian package has; -g and -O2 are left out because the
# package holds stripped Release binaries.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags=" $(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS) "
cxxflags=$(printf '%s' "$cxxflags" | sed -e 's/ -g / /g' -e 's/ -O2 / /g' -e 's/^ *//' -e 's/ *$//')
ldflags=$(dpkg-buildflags --get LDFLAGS)

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DKV9_BUILD_GUI=ON -DKV9_BUILD_TESTS=OFF "${launcher[@]}" \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
# Only what the package holds (no benchmarks); cpack then installs without
# building everything else first.
cmake --build build-package --target kv9update kv9flash kv9sim kv9man
rm -f build-package/*.deb
(cd build-package && cpack -G DEB)

mkdir -p build
deb=$(ls build-package/*.deb)
cp "$deb" build/
echo "package.sh: built in $((SECONDS - start)) s: build/$(basename "$deb")"
